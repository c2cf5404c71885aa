// The Graph parameter's custom control in the effect controls: the two
// expressions as "x = ..." and "y = ...", white when they parse, grey when not.
#pragma once

#include "AE_CustomUI.h"
#include "AE_Effect.h"

#include <exception>

namespace Graph {

PF_Err HandleEvent(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[], PF_LayerDef* output,
                   PF_EventExtra* extra, int paramIndex);

}  // namespace Graph

// A Drawbot call that failed, with its error code.
class DRAWBOT_Exception : public std::exception {
public:
    explicit DRAWBOT_Exception(A_long err) : err(err) {}
    const char* what() const noexcept override { return "Drawbot call failed"; }

    A_long err;
};

// Owns at most one Drawbot object made by a supplier suite. Taking a new one
// releases the held one; destruction releases quietly (a destructor must not
// throw), while release() reports a failure.
template <class Ref>
class SharedRefImpl {
public:
    explicit SharedRefImpl(DRAWBOT_SupplierSuite1* suite) : ref(nullptr), suite(suite) {}
    ~SharedRefImpl() {
        if (ref) suite->ReleaseObject(reinterpret_cast<DRAWBOT_ObjectRef>(ref));
    }
    SharedRefImpl(const SharedRefImpl&) = delete;
    SharedRefImpl& operator=(const SharedRefImpl&) = delete;

    Ref get() const { return ref; }

    // Throws DRAWBOT_Exception when the supplier cannot release the object.
    void release() {
        Ref held = ref;
        ref = nullptr;
        if (!held) return;
        if (SPErr err = suite->ReleaseObject(reinterpret_cast<DRAWBOT_ObjectRef>(held))) throw DRAWBOT_Exception(err);
    }

protected:
    // Keeps `made`, releasing what was held before. The new object is kept
    // even when that release fails, so that it is released in turn.
    void take(Ref made) {
        if (made == ref) return;
        Ref held = ref;
        ref = made;
        if (held)
            if (SPErr err = suite->ReleaseObject(reinterpret_cast<DRAWBOT_ObjectRef>(held)))
                throw DRAWBOT_Exception(err);
    }

    Ref ref;
    DRAWBOT_SupplierSuite1* suite;
};

class DRAWBOT_BrushP : public SharedRefImpl<DRAWBOT_BrushRef> {
public:
    explicit DRAWBOT_BrushP(DRAWBOT_SupplierSuite1* suite) : SharedRefImpl(suite) {}
    void New(DRAWBOT_SupplierSuite1* maker, DRAWBOT_SupplierRef supplier, const DRAWBOT_ColorRGBA* color);
};

class DRAWBOT_FontP : public SharedRefImpl<DRAWBOT_FontRef> {
public:
    explicit DRAWBOT_FontP(DRAWBOT_SupplierSuite1* suite) : SharedRefImpl(suite) {}
    void New(DRAWBOT_SupplierSuite1* maker, DRAWBOT_SupplierRef supplier, float size);
};

// Pre-render under the simulated host: a loaded instance, the composition, and
// a stand-in for the host's parameter values that records every checkout and
// check-in in order.
#pragma once

#include "Comp.h"
#include "HostFixture.h"
#include "Parameters.h"

#include <cstring>
#include <deque>
#include <map>
#include <vector>

class FakeParams {
public:
    static FakeParams*& current() {
        static FakeParams* p = nullptr;
        return p;
    }

    void install(PF_InData& in) {
        current() = this;
        in.inter.checkout_param = checkout;
        in.inter.checkin_param = checkin;
    }
    ~FakeParams() { current() = nullptr; }

    // Values by parameter index; anything not set reads as `fill` bytes.
    unsigned char fill = 0;
    std::map<int, PF_ParamDef> values;
    std::vector<int> checkouts;
    std::vector<A_long> checkoutTimes;
    std::vector<int> checkins;
    int outstanding() const { return static_cast<int>(checkouts.size()) - static_cast<int>(checkins.size()); }

    PF_ParamDef& at(int i, PF_ParamType type) {
        PF_ParamDef& d = values[i];
        std::memset(&d, 0, sizeof d);
        d.param_type = type;
        return d;
    }
    void popup(int i, A_long v) { at(i, PF_Param_POPUP).u.pd.value = v; }
    void slider(int i, A_long v) { at(i, PF_Param_SLIDER).u.sd.value = v; }
    void floatSlider(int i, double v) { at(i, PF_Param_FLOAT_SLIDER).u.fs_d.value = v; }
    void fixedSlider(int i, double v) { at(i, PF_Param_FIX_SLIDER).u.fd.value = FLOAT2FIX(v); }
    void angle(int i, double deg) { at(i, PF_Param_ANGLE).u.ad.value = FLOAT2FIX(deg); }
    void checkbox(int i, bool v) { at(i, PF_Param_CHECKBOX).u.bd.value = v ? 1 : 0; }
    void point(int i, double x, double y) {
        PF_ParamDef& d = at(i, PF_Param_POINT);
        d.u.td.x_value = FLOAT2FIX(x);
        d.u.td.y_value = FLOAT2FIX(y);
    }
    void color(int i, A_u_char a, A_u_char r, A_u_char g, A_u_char b) {
        at(i, PF_Param_COLOR).u.cd.value = {a, r, g, b};
    }

private:
    static constexpr A_long kMarker = 0x5A000000;

    static PF_Err checkout(PF_ProgPtr, PF_ParamIndex index, A_long time, A_long, A_u_long, PF_ParamDef* def) {
        FakeParams& f = *current();
        if (PF_Err e = hostsim::Host::current()->faults().hit("checkout_param")) return e;
        auto it = f.values.find(index);
        if (it != f.values.end()) {
            *def = it->second;
        } else {
            std::memset(def, f.fill, sizeof *def);
            def->param_type = PF_Param_RESERVED;
        }
        def->unused = kMarker + index;
        f.checkouts.push_back(index);
        f.checkoutTimes.push_back(time);
        return PF_Err_NONE;
    }
    static PF_Err checkin(PF_ProgPtr, PF_ParamDef* def) {
        FakeParams& f = *current();
        if (PF_Err e = hostsim::Host::current()->faults().hit("checkin_param")) return e;
        if ((def->unused & 0xFF000000) != kMarker) {
            hostsim::Host::current()->addViolation("check-in of a parameter that was not checked out");
            return PF_Err_BAD_CALLBACK_PARAM;
        }
        f.checkins.push_back(def->unused - kMarker);
        def->unused = 0;
        return PF_Err_NONE;
    }
};

inline int shapeIndex(int shape, int k) { return 170 + 47 * shape + k; }

class PreRenderTest : public HostFixture {
protected:
    void SetUp() override {
        HostFixture::SetUp();
        startInstance();
        params.install(host.nextInData());
        params.popup(1, 6);    // Grid
        params.popup(169, 1);  // one shape
        setShape(0, 2);
    }
    void TearDown() override {
        for (hostsim::PreRenderCall& c : pending) comp.releasePreRenderData(c);
        endInstance();
        EXPECT_EQ(params.outstanding(), 0) << "parameters left checked out";
        EXPECT_TRUE(host.unloadLeaks().empty()) << joinLines(host.unloadLeaks());
        HostFixture::TearDown();
    }

    void setShape(int i, int type, int frameOffset = 0, bool clampFrame = false) {
        params.popup(shapeIndex(i, 10), type);
        params.slider(shapeIndex(i, 17), frameOffset);
        params.checkbox(shapeIndex(i, 18), clampFrame);
        params.slider(shapeIndex(i, 44), 1);
        params.popup(shapeIndex(i, 45), 1);
    }

    // Runs one pre-render; its data is handed back at the end of the test.
    hostsim::PreRenderCall& run(const PF_RenderRequest* request = nullptr) {
        pending.push_back(comp.preRender(request));
        return pending.back();
    }

    // A copy of the record the call left as its pre-render data.
    Parameters record(const hostsim::PreRenderCall& call) {
        PF_Handle h = static_cast<PF_Handle>(call.output.pre_render_data);
        EXPECT_TRUE(h != nullptr);
        EXPECT_EQ(host.handles().size(h), sizeof(Parameters));
        Parameters p;
        std::memcpy(static_cast<void*>(&p), host.handles().lock(h), sizeof p);
        host.handles().unlock(h);
        return p;
    }

    hostsim::Comp& comp = host.get<hostsim::Comp>();
    FakeParams params;
    std::deque<hostsim::PreRenderCall> pending;
};

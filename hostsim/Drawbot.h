// Stand-in Drawbot suites (draw, supplier, surface, path). They record every
// brush, font and path made, every string drawn and every release, so that
// tests can see what a custom control drew; every call can be made to fail
// through Faults (by the function's name, e.g. "NewBrush", "DrawString").
#pragma once

#include "AE_Drawbot.h"
#include "Host.h"

#include <mutex>
#include <string>
#include <vector>

namespace hostsim {

class Drawbot : public Component {
public:
    enum class Kind { Brush, Font, Path, Pen, Image };

    struct Object {
        Kind kind;
        DRAWBOT_ColorRGBA color{};  // brushes and pens
        float size = 0.0f;          // fonts and pens
        bool released = false;
    };

    struct DrawnString {
        std::u16string units;  // as handed over, without the terminating NUL
        std::string text;      // the same, one byte per unit (units above 255 as '?')
        DRAWBOT_PointF32 origin;
        DRAWBOT_TextAlignment alignment;
        DRAWBOT_TextTruncation truncation;
        float truncationWidth;
        DRAWBOT_ColorRGBA color;  // of the brush used
        float fontSize;           // of the font used
        bool knownBrush, knownFont;
    };

    void install(Host& host) override;
    void beforeCommand(Host& host, PF_Cmd cmd) override;
    void commandLeaks(std::vector<std::string>& out) const override;

    // The references the host hands out.
    DRAWBOT_DrawRef drawRef() const;
    DRAWBOT_SupplierRef supplierRef() const;
    DRAWBOT_SurfaceRef surfaceRef() const;

    std::vector<DrawnString> strings() const;
    std::vector<Object> objects() const;  // in the order made
    int live() const;                     // made and not released
    // Releases of references that were never made or released twice.
    int badReleases() const;
    void clear();

    // Callbacks of the suites (public for the C tables).
    SPErr getSupplier(DRAWBOT_DrawRef, DRAWBOT_SupplierRef*);
    SPErr getSurface(DRAWBOT_DrawRef, DRAWBOT_SurfaceRef*);
    SPErr make(const char* fn, DRAWBOT_SupplierRef, Object obj, void** out);
    SPErr release(DRAWBOT_ObjectRef);
    SPErr retain(DRAWBOT_ObjectRef);
    SPErr drawString(DRAWBOT_SurfaceRef, DRAWBOT_BrushRef, DRAWBOT_FontRef, const DRAWBOT_UTF16Char*,
                     const DRAWBOT_PointF32*, DRAWBOT_TextAlignment, DRAWBOT_TextTruncation, float);
    SPErr surfaceCall(const char* fn, DRAWBOT_SurfaceRef);
    SPErr pathCall(const char* fn, DRAWBOT_PathRef);

private:
    // Index of a made object from its reference, or -1.
    long indexOf(const void* ref) const;

    mutable std::mutex mutex_;
    std::vector<Object> objects_;
    std::vector<int> retains_;
    std::vector<DrawnString> strings_;
    int badReleases_ = 0;
    int badReleasesBefore_ = 0;  // at the start of the current command
    DRAWBOT_DrawSuite1 draw_{};
    DRAWBOT_SupplierSuite1 supplier_{};
    DRAWBOT_SurfaceSuite1 surface_{};
    DRAWBOT_PathSuite1 path_{};
};

}  // namespace hostsim

#include "VemaroExpressionUI.h"

#include "AEFX_SuiteHelper.h"
#include "AEGP_SuiteHandler.h"
#include "VemaroExpressionData.h"
#include "VemaroExpressionParser.h"

#include <string>
#include <vector>

void DRAWBOT_BrushP::New(DRAWBOT_SupplierSuite1* maker, DRAWBOT_SupplierRef supplier, const DRAWBOT_ColorRGBA* color) {
    DRAWBOT_BrushRef made = nullptr;
    if (SPErr err = maker->NewBrush(supplier, color, &made)) throw DRAWBOT_Exception(err);
    take(made);
}

void DRAWBOT_FontP::New(DRAWBOT_SupplierSuite1* maker, DRAWBOT_SupplierRef supplier, float size) {
    DRAWBOT_FontRef made = nullptr;
    if (SPErr err = maker->NewDefaultFont(supplier, size, &made)) throw DRAWBOT_Exception(err);
    take(made);
}

namespace Graph {
namespace {

constexpr float kFontSize = 12.0f;
constexpr DRAWBOT_ColorRGBA kValidColor = {1.0f, 1.0f, 1.0f, 1.0f};
constexpr DRAWBOT_ColorRGBA kInvalidColor = {0.3f, 0.3f, 0.3f, 1.0f};
constexpr float kMarginLeft = 5.0f;
constexpr float kFirstBaseline = 12.0f;
constexpr float kLineStep = 16.0f;

// The four Drawbot suites, released on every path once acquired; after a
// partial acquisition only those that were acquired.
class DrawbotSuites {
public:
    DrawbotSuites(PF_InData* in_data, PF_OutData* out_data) : in_(in_data), out_(out_data), suites_{} {
        err_ = AEFX_AcquireDrawbotSuites(in_data, out_data, &suites_);
    }
    ~DrawbotSuites() {
        if (!err_) {
            AEFX_ReleaseDrawbotSuites(in_, out_);
            return;
        }
        const std::pair<const char*, const void*> held[] = {{"DRAWBOT Draw Suite", suites_.drawbot_suiteP},
                                                            {"DRAWBOT Supplier Suite", suites_.supplier_suiteP},
                                                            {"DRAWBOT Surface Suite", suites_.surface_suiteP},
                                                            {"DRAWBOT Path Suite", suites_.path_suiteP}};
        for (const auto& h : held)
            if (h.second) AEFX_ReleaseSuite(in_, out_, h.first, 1, nullptr);
    }
    DrawbotSuites(const DrawbotSuites&) = delete;
    DrawbotSuites& operator=(const DrawbotSuites&) = delete;

    PF_Err error() const { return err_; }
    const DRAWBOT_Suites& get() const { return suites_; }

private:
    PF_InData* in_;
    PF_OutData* out_;
    DRAWBOT_Suites suites_;
    PF_Err err_;
};

// One 16-bit unit per byte; bytes above 127 are sign-extended.
std::vector<DRAWBOT_UTF16Char> widen(const std::string& text) {
    std::vector<DRAWBOT_UTF16Char> out;
    out.reserve(text.size() + 1);
    for (char c : text) out.push_back(static_cast<DRAWBOT_UTF16Char>(static_cast<signed char>(c)));
    out.push_back(0);
    return out;
}

PF_Err draw(PF_InData* in_data, const AEGP_SuiteHandler& suites, const DRAWBOT_Suites& drawbot, PF_EventExtra* extra,
            PF_ArbitraryH value) {
    DRAWBOT_DrawRef drawRef = nullptr;
    PF_Err err = suites.EffectCustomUISuite1()->PF_GetDrawingReference(extra->contextH, &drawRef);
    if (err || !drawRef) return err;
    DRAWBOT_SurfaceRef surface = nullptr;
    DRAWBOT_SupplierRef supplier = nullptr;
    err = suites.DrawbotDrawSuite1()->GetSurface(drawRef, &surface);
    if (!err) err = drawbot.drawbot_suiteP->GetSupplier(drawRef, &supplier);
    if (err) return err;

    const PF_Rect& frame = extra->effect_win.current_frame;
    std::string x, y;
    if (PF_Err readErr = readTexts(in_data, value, x, y)) return readErr;
    Expression tree;
    const bool lines[2] = {parseExpression(x, tree), parseExpression(y, tree)};
    const std::string texts[2] = {"x = " + x, "y = " + y};

    DRAWBOT_SupplierSuite1* maker = drawbot.supplier_suiteP;
    DRAWBOT_FontP font(maker);
    font.New(maker, supplier, kFontSize);
    DRAWBOT_PointF32 origin = {static_cast<float>(frame.left) + kMarginLeft,
                               static_cast<float>(frame.top) + kFirstBaseline};
    const float width = static_cast<float>(frame.right - frame.left);
    for (int line = 0; line < 2 && !err; ++line) {
        DRAWBOT_BrushP brush(maker);
        brush.New(maker, supplier, lines[line] ? &kValidColor : &kInvalidColor);
        err = suites.DrawbotSurfaceSuite1()->DrawString(surface, brush.get(), font.get(), widen(texts[line]).data(),
                                                        &origin, kDRAWBOT_TextAlignment_Left,
                                                        kDRAWBOT_TextTruncation_None, width);
        origin.y += kLineStep;
        brush.release();
    }
    font.release();
    extra->evt_out_flags = PF_EO_HANDLED_EVENT;
    return err;
}

}  // namespace

PF_Err HandleEvent(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[], PF_LayerDef*, PF_EventExtra* extra,
                   int paramIndex) {
    if (!extra) return PF_Err_BAD_CALLBACK_PARAM;
    extra->evt_out_flags = PF_EO_NONE;
    if (extra->e_type != PF_Event_DRAW) return PF_Err_NONE;
    AEGP_SuiteHandler suites(in_data->pica_basicP);
    // Never read beyond the host's parameter list.
    const bool listed = params && paramIndex >= 0 && paramIndex < in_data->num_params && params[paramIndex];
    PF_ArbitraryH value = listed ? params[paramIndex]->u.arb_d.value : nullptr;
    // The title area is the host's; only the control area is drawn.
    if ((extra->evt_in_flags & PF_EI_DONT_DRAW) || !value || extra->effect_win.area != PF_EA_CONTROL)
        return PF_Err_NONE;

    DrawbotSuites drawbot(in_data, out_data);
    if (drawbot.error()) return drawbot.error();
    try {
        return draw(in_data, suites, drawbot.get(), extra, value);
    } catch (const DRAWBOT_Exception& e) {
        // A brush or font the host could not make or release: nothing more is
        // drawn and the host hears the Drawbot error.
        return e.err;
    }
}

}  // namespace Graph

#include "CustomUI.h"

#include "Drawbot.h"

namespace hostsim {
namespace {

char g_context;

PF_Err drawingReference(const PF_ContextH context, DRAWBOT_DrawRef* out) {
    return Host::current()->get<CustomUI>().getDrawingReference(context, out);
}

}  // namespace

void CustomUI::install(Host& h) {
    suite_.PF_GetDrawingReference = drawingReference;
    h.suites().add(kPFEffectCustomUISuite, 1, &suite_);
}

PF_ContextH CustomUI::context() const { return reinterpret_cast<PF_ContextH>(&g_context); }

PF_Err CustomUI::getDrawingReference(PF_ContextH ctx, DRAWBOT_DrawRef* out) {
    Host& host = *Host::current();
    ++drawRefCalls;
    if (!out) return PF_Err_BAD_CALLBACK_PARAM;
    *out = nullptr;
    if (PF_Err e = host.faults().hit("PF_GetDrawingReference")) return e;
    if (ctx != context()) return PF_Err_BAD_CALLBACK_PARAM;
    if (!noDrawRef) *out = host.get<Drawbot>().drawRef();
    return PF_Err_NONE;
}

PF_EventExtra CustomUI::drawEvent(PF_ParamIndex index, PF_Rect frame) const {
    PF_EventExtra e{};
    e.contextH = context();
    e.e_type = PF_Event_DRAW;
    e.u.draw.update_rect = frame;
    e.u.draw.depth = 32;
    e.effect_win.param_index = index;
    e.effect_win.area = PF_EA_CONTROL;
    e.effect_win.current_frame = frame;
    e.effect_win.param_title_frame = {frame.left - 120, frame.top, frame.left, frame.bottom};
    e.evt_in_flags = PF_EI_NONE;
    // Left over from an earlier event: the effect must clear it.
    e.evt_out_flags = PF_EO_UPDATE_NOW;
    return e;
}

PF_Err CustomUI::send(Host& host, PF_EventExtra& event, PF_ParamDef** params) {
    return host.send(PF_Cmd_EVENT, &event, params);
}

}  // namespace hostsim

// The custom-UI side of the host: the "PF Effect Custom UI Suite", which hands
// out the Drawbot draw reference of an event's context, and helpers that
// build and send event records (PF_Cmd_EVENT).
#pragma once

#include "AE_CustomUI.h"
#include "Host.h"

namespace hostsim {

class CustomUI : public Component {
public:
    void install(Host& host) override;

    // The context handle of events made here.
    PF_ContextH context() const;

    // A draw event for the control area of parameter `index` whose current
    // frame is `frame`.
    PF_EventExtra drawEvent(PF_ParamIndex index, PF_Rect frame) const;
    // Sends the event; the host's answer (out flags) is left in `event`.
    PF_Err send(Host& host, PF_EventExtra& event, PF_ParamDef** params);

    // When set, the drawing reference handed out is null (with no error).
    bool noDrawRef = false;
    int drawRefCalls = 0;

    PF_Err getDrawingReference(PF_ContextH context, DRAWBOT_DrawRef* out);

private:
    PF_EffectCustomUISuite1 suite_{};
};

}  // namespace hostsim

#include "ArbData.h"
#include "Comp.h"
#include "Core.h"
#include "CustomUI.h"
#include "Drawbot.h"
#include "Iterate.h"
#include "Masks.h"
#include "Panel.h"
#include "Params.h"
#include "Sampling.h"
#include "Script.h"
#include "SmartRender.h"
#include "Streams.h"
#include "Worlds.h"

namespace hostsim {

// Every part of the simulated host, in installation order.
void installComponents(Host& host) {
    host.add<Core>();
    host.add<Params>();
    host.add<Comp>();
    host.add<ArbData>();
    host.add<Drawbot>();
    host.add<CustomUI>();
    host.add<Worlds>();
    host.add<Iterate>();
    host.add<Sampling>();
    host.add<Masks>();
    host.add<Streams>();
    host.add<Panel>();
    host.add<Script>();
    host.add<SmartRender>();
}

}  // namespace hostsim

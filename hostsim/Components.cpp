#include "ArbData.h"
#include "Comp.h"
#include "Core.h"
#include "CustomUI.h"
#include "Drawbot.h"
#include "Params.h"
#include "Script.h"

namespace hostsim {

// Every part of the simulated host, in installation order.
void installComponents(Host& host) {
    host.add<Core>();
    host.add<Params>();
    host.add<Comp>();
    host.add<ArbData>();
    host.add<Drawbot>();
    host.add<CustomUI>();
    host.add<Script>();
}

}  // namespace hostsim

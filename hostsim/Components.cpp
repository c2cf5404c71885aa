#include "Comp.h"
#include "Core.h"
#include "Params.h"

namespace hostsim {

// Every part of the simulated host, in installation order.
void installComponents(Host& host) {
    host.add<Core>();
    host.add<Params>();
    host.add<Comp>();
}

}  // namespace hostsim

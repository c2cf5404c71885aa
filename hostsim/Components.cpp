#include "Core.h"
#include "Iterate.h"
#include "Params.h"
#include "Worlds.h"

namespace hostsim {

// Every part of the simulated host, in installation order.
void installComponents(Host& host) {
    host.add<Core>();
    host.add<Params>();
    host.add<Worlds>();
    host.add<Iterate>();
}

}  // namespace hostsim

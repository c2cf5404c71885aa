#include "Core.h"
#include "Sampling.h"

namespace hostsim {

// Every part of the simulated host, in installation order.
void installComponents(Host& host) {
    host.add<Core>();
    host.add<Sampling>();
}

}  // namespace hostsim

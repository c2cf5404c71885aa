#include "Core.h"
#include "Masks.h"
#include "Sampling.h"

namespace hostsim {

// Every part of the simulated host, in installation order.
void installComponents(Host& host) {
    host.add<Core>();
    host.add<Sampling>();
    host.add<Masks>();
}

}  // namespace hostsim

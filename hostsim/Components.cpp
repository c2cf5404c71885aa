#include "Core.h"
#include "Masks.h"
#include "Params.h"
#include "Sampling.h"
#include "Streams.h"

namespace hostsim {

// Every part of the simulated host, in installation order.
void installComponents(Host& host) {
    host.add<Core>();
    host.add<Params>();
    host.add<Sampling>();
    host.add<Masks>();
    host.add<Streams>();
}

}  // namespace hostsim

// libFuzzer target: any text as a scene file, applied to a fresh instance of
// the effect in the simulated host, then every parameter read back at a few
// times. A scene may be refused (scene::Error); anything else escaping, a
// sanitizer report or misuse seen by the host is a fault.
#include "ParamList.h"
#include "Scene.h"

#include <dlfcn.h>

#include <cstdint>
#include <cstdio>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Keeps the module mapped between inputs, as a host does between
    // instances; each input still gets its own instance.
    static void* const kept = dlopen(VEMARO_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
    if (!kept) __builtin_trap();

    const std::string text(reinterpret_cast<const char*>(data), size);
    hostsim::Host host;
    std::string error;
    if (!host.load(VEMARO_MODULE_PATH, &error) || !tools::setUpParams(host, &error)) {
        std::fprintf(stderr, "instance setup failed: %s\n", error.c_str());
        __builtin_trap();
    }
    // Relative file names resolve against a directory that does not exist:
    // the fuzzer exercises the loader, not the file system.
    scene::Context context{host, "/nonexistent/fuzz.json", {}, 0};
    try {
        scene::applyText(text, context);
    } catch (const scene::Error&) {}
    const hostsim::Params& params = host.get<hostsim::Params>();
    for (A_long t : {-5, 0, 7, 1000})
        for (int i = 1; i < params.count(); ++i) (void)params.valueAt(i, A_Time{t, 24});
    if (host.globalSetdown() != PF_Err_NONE || !host.violations().empty()) __builtin_trap();
    return 0;
}

// vemaro-render: runs the effect module under the simulated host from the
// command line.
#include "DumpRecord.h"
#include "Host.h"
#include "ParamList.h"
#include "RenderFrames.h"

#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

namespace {

const char* kUsage =
    "usage: vemaro-render [--module PATH] --about\n"
    "       vemaro-render [--module PATH] [--scene FILE] --list-params [--json]\n"
    "       vemaro-render [--module PATH] [--scene FILE] --dump-record FRAME\n"
    "       vemaro-render [--module PATH] [--scene FILE] --frames A[-B] --out PATTERN [--downsample N]\n"
    "       vemaro-render [--module PATH] --version\n"
    "       vemaro-render --help\n"
    "\n"
    "  --module PATH   the effect module to load (default: the one built with this tool)\n"
    "  --about         print the effect's about text and its plug-in property list\n"
    "  --list-params   print the parameters the effect registers: key (what scenes use), name,\n"
    "                  type, default, layout or group, range or choices (--json: as JSON, with values)\n"
    "  --dump-record FRAME  run pre-render at FRAME and print the settings record it makes\n"
    "  --frames A[-B]  render frame A (or frames A to B) of the scene, or of the built-in default scene\n"
    "  --out PATTERN   where the frames go: '#'s become the frame number, zero-padded (frame_####.png);\n"
    "                  8 and 16-bit scenes are written as PNG (.png), 32-bit scenes as OpenEXR (.exr);\n"
    "                  each frame is the effect layer's size and replaces an older file only when complete\n"
    "  --downsample N  render at 1/N of the size in each direction (a quick preview)\n"
    "  --scene FILE    apply a scene file (JSON) after the effect registered its parameters\n"
    "  --version       print the effect's version and this build's\n"
    "  --help          print this text\n"
    "\n"
    "Scene files, their sections and every parameter key are described in docs/scenes.md;\n"
    "examples/ holds a scene for every layout and shape. Example:\n"
    "  vemaro-render --scene examples/grid.json --frames 0-24 --out out/grid_####.png\n";

std::string hex(uint32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08X", v);
    return buf;
}

std::string versionPair(const hostsim::PiPL& pipl, const char* key) {
    const hostsim::PiPLProperty* p = pipl.find(key);
    if (!p || p->data.size() < 4) return "?";
    int major = p->data[0] | p->data[1] << 8;
    int minor = p->data[2] | p->data[3] << 8;
    return std::to_string(major) + "." + std::to_string(minor);
}

int about(hostsim::Host& host) {
    PF_Err err = host.send(PF_Cmd_ABOUT);
    if (err) {
        std::cerr << "vemaro-render: the effect answered the about command with error " << err << "\n";
        return 1;
    }
    std::string text = host.message();
    for (char& c : text)
        if (c == '\r') c = '\n';
    const hostsim::PiPL& pipl = host.module().pipl();
    std::cout << text << "\n\n"
              << "name:          " << pipl.pascalString("name") << "\n"
              << "category:      " << pipl.pascalString("catg") << "\n"
              << "match name:    " << pipl.pascalString("eMNA") << "\n"
              << "entry point:   " << pipl.cString("8664") << "\n"
              << "version:       " << hex(pipl.long32("eVER")) << "\n"
              << "PiPL version:  " << versionPair(pipl, "ePVR") << "\n"
              << "API version:   " << versionPair(pipl, "eSVR") << "\n"
              << "out flags:     " << hex(pipl.long32("eGLO")) << "\n"
              << "out flags 2:   " << hex(pipl.long32("eGL2")) << "\n";
    return 0;
}

// The version word of the property list: major.minor.bug, stage and build.
std::string effectVersion(uint32_t v) {
    static const char* stages[] = {"development", "alpha", "beta", "release"};
    return std::to_string(v >> 19 & 0xF) + "." + std::to_string(v >> 15 & 0xF) + "." + std::to_string(v >> 11 & 0xF) +
           " (" + stages[v >> 9 & 3] + ", build " + std::to_string(v & 0x1FF) + ")";
}

int version(hostsim::Host& host) {
    const hostsim::PiPL& pipl = host.module().pipl();
    std::cout << "vemaro-render build " << VEMARO_BUILD_ID << " (" << VEMARO_BUILD_TYPE << ", "
#if defined(__clang__)
              << "clang " << __clang_major__ << "." << __clang_minor__
#elif defined(__GNUC__)
              << "gcc " << __GNUC__ << "." << __GNUC_MINOR__
#endif
              << ")\n"
              << "effect " << pipl.pascalString("name") << " " << effectVersion(pipl.long32("eVER")) << ", "
              << hex(pipl.long32("eVER")) << ", API " << versionPair(pipl, "eSVR") << "\n"
              << "module " << host.module().path() << "\n";
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::string modulePath = VEMARO_MODULE_PATH;
    bool wantAbout = false, wantVersion = false;
    bool wantParams = false, wantJson = false;
    std::string scenePath;
    long dumpFrame = -1;
    bool wantFrames = false;
    tools::RenderOptions render;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            std::cout << kUsage;
            return 0;
        } else if (a == "--version") {
            wantVersion = true;
        } else if (a == "--about") {
            wantAbout = true;
        } else if (a == "--dump-record") {
            if (!tools::parseFrame(i + 1 < argc ? argv[++i] : nullptr, dumpFrame, std::cerr)) return 2;
        } else if (a == "--frames") {
            if (!tools::parseFrameRange(i + 1 < argc ? argv[++i] : nullptr, render.first, render.last, std::cerr))
                return 2;
            wantFrames = true;
        } else if (a == "--out") {
            if (i + 1 >= argc) {
                std::cerr << "vemaro-render: --out needs a file name pattern\n";
                return 2;
            }
            render.outPattern = argv[++i];
        } else if (a == "--downsample") {
            char* end = nullptr;
            const char* v = i + 1 < argc ? argv[++i] : "";
            const long n = std::strtol(v, &end, 10);
            if (!*v || *end || n < 1 || n > 64) {
                std::cerr << "vemaro-render: --downsample needs a whole number from 1 to 64\n";
                return 2;
            }
            render.downsample = n;
        } else if (a == "--list-params") {
            wantParams = true;
        } else if (a == "--json") {
            wantJson = true;
        } else if (a == "--scene") {
            if (i + 1 >= argc) {
                std::cerr << "vemaro-render: --scene needs a file\n";
                return 2;
            }
            scenePath = argv[++i];
        } else if (a == "--module") {
            if (i + 1 >= argc) {
                std::cerr << "vemaro-render: --module needs a path\n";
                return 2;
            }
            modulePath = argv[++i];
        } else {
            std::cerr << "vemaro-render: unknown option '" << a << "' (see --help)\n";
            return 2;
        }
    }
    if (!render.outPattern.empty() && !wantFrames) {
        std::cerr << "vemaro-render: --out needs --frames A[-B]\n";
        return 2;
    }
    if (!wantAbout && !wantVersion && !wantParams && scenePath.empty() && dumpFrame < 0 && !wantFrames) {
        std::cerr << kUsage;
        return 2;
    }
    try {
        hostsim::Host host;
        std::string error;
        if (!host.load(modulePath, &error)) {
            std::cerr << "vemaro-render: " << error << "\n";
            return 1;
        }
        if (wantVersion) return version(host);
        if (wantAbout) return about(host);
        if (dumpFrame >= 0) return tools::dumpRecord(host, scenePath, dumpFrame, std::cout, std::cerr);
        if (wantFrames) {
            render.scenePath = scenePath;
            render.progress = isatty(2) != 0;
            return tools::renderFrames(host, render, std::cout, std::cerr);
        }
        return tools::listParams(host, scenePath, wantParams, wantJson, std::cout, std::cerr);
    } catch (const std::bad_alloc&) {
        std::cerr << "vemaro-render: out of memory while setting up the effect\n";
        return 1;
    } catch (const std::exception& e) {
        std::cerr << "vemaro-render: " << e.what() << "\n";
        return 1;
    }
}

// vemaro-render: runs the effect module under the simulated host from the
// command line.
#include "DumpRecord.h"
#include "Host.h"
#include "ParamList.h"
#include "RenderFrames.h"

#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <unistd.h>

namespace {

const char* kUsage =
    "usage: vemaro-render [--module PATH] --about\n"
    "       vemaro-render [--module PATH] [--scene FILE] --list-params [--json]\n"
    "       vemaro-render [--module PATH] [--scene FILE] --dump-record FRAME\n"
    "       vemaro-render [--module PATH] [--scene FILE] --frames A[-B] --out PATTERN\n"
    "       vemaro-render --help\n"
    "\n"
    "  --module PATH   the effect module to load (default: the one built with this tool)\n"
    "  --about         print the effect's about text and its plug-in property list\n"
    "  --list-params   print the parameters the effect registers (--json: as JSON, with values)\n"
    "  --dump-record FRAME  run pre-render at FRAME and print the settings record it makes\n"
    "  --frames A[-B]  render frame A (or frames A to B) of the scene, or of the built-in default scene\n"
    "  --out PATTERN   where the frames go: '#'s become the frame number, zero-padded (frame_####.png);\n"
    "                  8 and 16-bit scenes are written as PNG, 32-bit scenes as OpenEXR (.exr)\n"
    "  --scene FILE    apply a scene file (JSON) after the effect registered its parameters\n"
    "  --help          print this text\n";

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

}  // namespace

int main(int argc, char** argv) {
    std::string modulePath = VEMARO_MODULE_PATH;
    bool wantAbout = false;
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
    if (!wantAbout && !wantParams && scenePath.empty() && dumpFrame < 0 && !wantFrames) {
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
        if (wantAbout) return about(host);
        if (dumpFrame >= 0) return tools::dumpRecord(host, scenePath, dumpFrame, std::cout, std::cerr);
        if (wantFrames) {
            render.scenePath = scenePath;
            render.progress = isatty(2) != 0;
            return tools::renderFrames(host, render, std::cout, std::cerr);
        }
        return tools::listParams(host, scenePath, wantParams, wantJson, std::cout, std::cerr);
    } catch (const std::exception& e) {
        std::cerr << "vemaro-render: " << e.what() << "\n";
        return 1;
    }
}

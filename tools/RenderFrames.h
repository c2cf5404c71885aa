// --frames A[-B] --out PATTERN: renders frames of a scene (or of the built-in
// default scene) through the simulated host, as the host would, and writes
// each as an image: PNG for 8 and 16-bit scenes, OpenEXR (32-bit float) for
// 32-bit scenes.
#pragma once

#include "Host.h"
#include "World.h"

#include <ostream>
#include <string>

namespace tools {

// The scene rendered when none is given: a grid of two shapes on the default
// layer.
extern const char* const kDefaultScene;

// "A" or "A-B" with 0 <= A <= B; false with a message otherwise.
bool parseFrameRange(const char* text, long& first, long& last, std::ostream& err);

// The file of one frame: every run of '#' in the pattern is replaced by the
// frame number, zero-padded to the run's length. Without a '#' the pattern is
// the path (allowed for a single frame only).
std::string framePath(const std::string& pattern, long frame);

struct RenderOptions {
    std::string scenePath;  // empty: the default scene
    long first = 0;
    long last = 0;
    std::string outPattern;
    long downsample = 1;    // render at 1/downsample of the scene's resolution
    bool progress = false;  // a progress bar on the error stream (a terminal); else a line per frame
};

// Sets the instance up, applies the scene, renders the frames and writes
// them, each the layer's size with the effect's result at its offset. Exit
// status: 0; 1 when a step fails or the host saw misuse; 2 for a pattern that
// cannot name the frames.
int renderFrames(hostsim::Host& host, const RenderOptions& options, std::ostream& out, std::ostream& err);

}  // namespace tools

// Frame files: one rendered frame as a PNG (8 and 16-bit) or an OpenEXR file
// (32-bit float), the size of the effect's layer with the effect's result
// placed at its offset. Every file is written beside its target under a
// temporary name and renamed into place once complete, so a failed or killed
// write never leaves a truncated frame or replaces a good one.
#pragma once

#include "World.h"

#include <string>

namespace tools {

// What is written: a layer-sized image; the result world (may be null or
// empty) covers the rectangle at (left, top), everything else is transparent.
struct FrameView {
    const hostsim::World* result = nullptr;
    int left = 0, top = 0;
    int width = 0, height = 0;
    hostsim::Depth depth = hostsim::Depth::Bits8;
};

struct WriteOptions {
    // For tests: the write fails as a full disk would after this many rows
    // (-1: never).
    long failAfterRows = -1;
};

// 8-bit frames as 8-bit RGBA PNG, 16-bit frames as 16-bit RGBA PNG (host
// 0..32768 scaled to 0..65535). False with a message naming the file and the
// reason on failure; the target is then as it was.
bool writePng(const FrameView& frame, const std::string& path, std::string* error, const WriteOptions& options = {});
// Float frames as RGBA float EXR (premultiplied, as EXR stores colour).
bool writeExr(const FrameView& frame, const std::string& path, std::string* error, const WriteOptions& options = {});

// ".png" or ".exr", the extension a frame of the depth is written with.
const char* frameExtension(hostsim::Depth depth);

}  // namespace tools

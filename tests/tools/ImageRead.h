// Frames read back with the image libraries themselves.
#pragma once

#include <ImfChannelList.h>
#include <ImfFrameBuffer.h>
#include <ImfHeader.h>
#include <ImfInputFile.h>
#include <png.h>

#include <array>
#include <cstdio>
#include <string>
#include <vector>

// A decoded PNG: channels as written (RGBA), 8 or 16 bits.
struct Png {
    unsigned width = 0, height = 0;
    int bits = 0, colorType = 0;
    std::vector<std::vector<unsigned>> rows;  // 4 values a pixel
    std::array<unsigned, 4> at(unsigned x, unsigned y) const {
        const auto& r = rows[y];
        return {r[x * 4], r[x * 4 + 1], r[x * 4 + 2], r[x * 4 + 3]};
    }
};

inline bool readPng(const std::string& path, Png& png) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    png_structp p = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(p);
    if (setjmp(png_jmpbuf(p))) {
        png_destroy_read_struct(&p, &info, nullptr);
        std::fclose(f);
        return false;
    }
    png_init_io(p, f);
    png_read_png(p, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png.width = png_get_image_width(p, info);
    png.height = png_get_image_height(p, info);
    png.bits = png_get_bit_depth(p, info);
    png.colorType = png_get_color_type(p, info);
    png_bytepp rows = png_get_rows(p, info);
    const unsigned channels = png_get_channels(p, info);
    png.rows.clear();
    for (unsigned y = 0; y < png.height; ++y) {
        std::vector<unsigned> row;
        for (unsigned i = 0; i < png.width * channels; ++i)
            row.push_back(png.bits == 16 ? unsigned(rows[y][2 * i]) << 8 | rows[y][2 * i + 1] : rows[y][i]);
        png.rows.push_back(row);
    }
    png_destroy_read_struct(&p, &info, nullptr);
    std::fclose(f);
    return true;
}

// A decoded EXR: RGBA floats row by row, and its data window.
struct Exr {
    int width = 0, height = 0, left = 0, top = 0;
    std::vector<float> px;  // 4 a pixel
    std::array<float, 4> at(int x, int y) const {
        const float* p = &px[(std::size_t(y) * std::size_t(width) + std::size_t(x)) * 4];
        return {p[0], p[1], p[2], p[3]};
    }
};

inline Exr readExr(const std::string& path) {
    Imf::InputFile file(path.c_str());
    const Imath::Box2i win = file.header().dataWindow();
    Exr e;
    e.left = win.min.x;
    e.top = win.min.y;
    e.width = win.max.x - win.min.x + 1;
    e.height = win.max.y - win.min.y + 1;
    e.px.assign(std::size_t(e.width) * std::size_t(e.height) * 4, -1.0f);
    Imf::FrameBuffer fb;
    const char* names[4] = {"R", "G", "B", "A"};
    char* base = reinterpret_cast<char*>(e.px.data()) -
                 (std::ptrdiff_t(win.min.y) * e.width + win.min.x) * std::ptrdiff_t(sizeof(float) * 4);
    for (int c = 0; c < 4; ++c)
        fb.insert(names[c], Imf::Slice(Imf::FLOAT, base + sizeof(float) * std::size_t(c), sizeof(float) * 4,
                                       sizeof(float) * 4 * std::size_t(e.width)));
    file.setFrameBuffer(fb);
    file.readPixels(win.min.y, win.max.y);
    return e;
}

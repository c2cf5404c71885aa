// What Cairo paints of a path, as per-pixel coverages in [0, 1]: the
// independent picture the rasterisers' shapes are compared with. Cairo's pixel
// centres sit at half coordinates, ours on whole ones, so draw() adds 0.5.
#pragma once

#include <cairo.h>

#include <cstddef>
#include <functional>
#include <vector>

inline std::vector<double> cairoCoverage(int w, int h, const std::function<void(cairo_t*)>& draw) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_A8, w, h);
    cairo_t* cr = cairo_create(s);
    draw(cr);
    cairo_surface_flush(s);
    std::vector<double> cov(std::size_t(w) * h);
    const unsigned char* data = cairo_image_surface_get_data(s);
    const int stride = cairo_image_surface_get_stride(s);
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) cov[std::size_t(j) * w + i] = data[j * stride + i] / 255.0;
    cairo_destroy(cr);
    cairo_surface_destroy(s);
    return cov;
}

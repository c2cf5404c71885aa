#include "SceneMaps.h"

#include "Comp.h"
#include "PngImage.h"
#include "World.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <memory>

namespace scene {

using hostsim::Depth;
using hostsim::World;
using nlohmann::json;

namespace {

[[noreturn]] void fail(const std::string& where, const std::string& what) { throw Error(where + ": " + what); }

// Straight alpha, red, green, blue in 0 to 1.
using Rgba = std::array<double, 4>;

Rgba colour(const json& j, const std::string& where) {
    if (!j.is_array() || (j.size() != 3 && j.size() != 4)) fail(where, "a colour is [r, g, b] or [r, g, b, a]");
    Rgba c{1, 0, 0, 0};
    for (std::size_t i = 0; i < j.size(); ++i) {
        if (!j[i].is_number() || j[i].get<double>() < 0 || j[i].get<double>() > 255)
            fail(where, "colour channels are numbers from 0 to 255");
        double v = j[i].get<double>() / 255.0;
        if (i == 3)
            c[0] = v;
        else
            c[i + 1] = v;
    }
    return c;
}

void put(World& w, int x, int y, const Rgba& c) {
    switch (w.depth()) {
        case Depth::Bits8: {
            auto q = [](double v) { return static_cast<A_u_char>(std::lround(std::clamp(v, 0.0, 1.0) * 255)); };
            w.at<PF_Pixel>(x, y) = {q(c[0]), q(c[1]), q(c[2]), q(c[3])};
            break;
        }
        case Depth::Bits16: {
            auto q = [](double v) { return static_cast<A_u_short>(std::lround(std::clamp(v, 0.0, 1.0) * 32768)); };
            w.at<PF_Pixel16>(x, y) = {q(c[0]), q(c[1]), q(c[2]), q(c[3])};
            break;
        }
        case Depth::Float: w.at<PF_PixelFloat>(x, y) = {float(c[0]), float(c[1]), float(c[2]), float(c[3])}; break;
    }
}

std::string directoryOf(const std::string& file) {
    auto slash = file.find_last_of('/');
    return slash == std::string::npos ? "" : file.substr(0, slash + 1);
}

}  // namespace

void loadPixels(const json& section, Context& context) {
    const std::string where0 = context.source + ": \"pixels\"";
    if (!section.is_array()) fail(where0, "must be a list of entries");
    hostsim::Comp& comp = context.host.get<hostsim::Comp>();
    for (std::size_t i = 0; i < section.size(); ++i) {
        const std::string where = where0 + " entry " + std::to_string(i + 1);
        const json& e = section[i];
        const int id = entryLayer(e, {"layer", "gradient", "image"}, where, comp);
        hostsim::Comp::Layer& layer = comp.layer(id);
        if (e.contains("gradient") == e.contains("image")) fail(where, "give either \"gradient\" or \"image\"");
        if (e.contains("gradient")) {
            const json& g = e["gradient"];
            if (!g.is_object() || !g.contains("from") || !g.contains("to"))
                fail(where, "a gradient has \"from\" and \"to\" colours");
            checkKeys(g, {"from", "to", "direction"}, where + " gradient");
            const Rgba from = colour(g["from"], where + " \"from\""), to = colour(g["to"], where + " \"to\"");
            bool vertical = false;
            if (g.contains("direction")) {
                if (g["direction"] == "vertical")
                    vertical = true;
                else if (g["direction"] != "horizontal")
                    fail(where, "\"direction\" is \"horizontal\" or \"vertical\"");
            }
            layer.paint = [from, to, vertical](World& w, long) {
                const int n = vertical ? w.height() : w.width();
                for (int y = 0; y < w.height(); ++y)
                    for (int x = 0; x < w.width(); ++x) {
                        const double f = n > 1 ? double(vertical ? y : x) / (n - 1) : 0.0;
                        Rgba c;
                        for (std::size_t k = 0; k < 4; ++k) c[k] = from[k] + (to[k] - from[k]) * f;
                        put(w, x, y, c);
                    }
            };
        } else {
            if (!e["image"].is_string()) fail(where, "\"image\" is a file name");
            std::string path = e["image"].get<std::string>();
            if (!path.empty() && path[0] != '/') path = directoryOf(context.source) + path;
            // A picture keeps its own size unless the scene gave the layer one.
            const auto& sized = context.sizedLayers;
            const bool ownSize = std::find(sized.begin(), sized.end(), id) == sized.end();
            std::shared_ptr<const PngImage> img =
                PngImage::load(path, where, ownSize ? 0 : layer.width, ownSize ? 0 : layer.height);
            if (ownSize) {
                layer.width = img->width();
                layer.height = img->height();
                comp.apply();
            }
            // Nearest source pixel of each pixel of the (downsampled) layer.
            layer.paint = [img](World& w, long) {
                const auto pixels = img->pixels(w.width(), w.height());
                const unsigned char* p = pixels->data();
                for (int y = 0; y < w.height(); ++y)
                    for (int x = 0; x < w.width(); ++x, p += 4)
                        put(w, x, y, {p[3] / 255.0, p[0] / 255.0, p[1] / 255.0, p[2] / 255.0});
            };
        }
    }
}

}  // namespace scene

#include "RenderFrames.h"

#include "Comp.h"
#include "ParamList.h"
#include "Scene.h"
#include "SmartRender.h"

#include <ImfChannelList.h>
#include <ImfFrameBuffer.h>
#include <ImfHeader.h>
#include <ImfOutputFile.h>
#include <png.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace tools {

const char* const kDefaultScene = R"({
  "composition": {
    "frameDuration": [1, 25],
    "bitDepth": 8,
    "effectLayer": {"name": "background", "width": 640, "height": 360, "duration": 10}
  },
  "params": [
    {"param": "Pattern", "value": "Grid"},
    {"param": 36, "value": 64},
    {"param": 40, "value": 15},
    {"param": "Shape Number", "value": 2},
    {"param": "Size 1", "value": 40},
    {"param": "Color 1", "value": "#f2a33a"},
    {"param": "Randomize Hue 1", "value": 40},
    {"param": 227, "value": "Polygon"},
    {"param": "Size 2", "value": 34},
    {"param": "Sides 2", "value": 5},
    {"param": "Color 2", "value": "#3a7bd5"},
    {"param": "Transition Scale", "keyframes": [{"frame": 0, "value": 30}, {"frame": 50, "value": 100}]}
  ]
})";

namespace {

bool parseWhole(const char* begin, const char* end, long& v) {
    if (begin == end || !std::isdigit(static_cast<unsigned char>(*begin))) return false;
    std::string text(begin, end);
    char* stop = nullptr;
    errno = 0;
    v = std::strtol(text.c_str(), &stop, 10);
    return errno == 0 && *stop == '\0' && v <= 1000000000L;
}

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string extensionOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    return lower(path.substr(dot));
}

// libpng reports errors through longjmp; the message is kept for the caller.
void pngError(png_structp png, png_const_charp message) {
    auto* error = static_cast<std::string*>(png_get_error_ptr(png));
    if (error) *error = message;
    png_longjmp(png, 1);
}
void pngWarning(png_structp, png_const_charp) {}

// The rows of a world as big-endian RGBA bytes, 8 or 16 bits a channel.
std::vector<unsigned char> pngRows(const hostsim::World& w) {
    const bool deep = w.depth() == hostsim::Depth::Bits16;
    const std::size_t bytes = deep ? 2 : 1;
    std::vector<unsigned char> rows(std::size_t(w.width()) * std::size_t(w.height()) * 4 * bytes);
    unsigned char* o = rows.data();
    for (int y = 0; y < w.height(); ++y) {
        for (int x = 0; x < w.width(); ++x) {
            if (deep) {
                const PF_Pixel16& p = w.at<PF_Pixel16>(x, y);
                for (A_u_short c : {p.red, p.green, p.blue, p.alpha}) {
                    const unsigned v = (std::min<unsigned>(c, 32768u) * 65535u + 16384u) / 32768u;
                    *o++ = static_cast<unsigned char>(v >> 8);
                    *o++ = static_cast<unsigned char>(v & 0xFF);
                }
            } else {
                const PF_Pixel& p = w.at<PF_Pixel>(x, y);
                *o++ = p.red;
                *o++ = p.green;
                *o++ = p.blue;
                *o++ = p.alpha;
            }
        }
    }
    return rows;
}

// A text progress bar that rewrites its own line.
class Progress {
public:
    Progress(std::ostream& err, long total, bool show) : err_(err), total_(total), show_(show && total > 1) {}
    void update(long done) {
        if (!show_) return;
        constexpr int kWidth = 30;
        const int filled = static_cast<int>(kWidth * done / total_);
        err_ << "\r[" << std::string(std::size_t(filled), '#') << std::string(std::size_t(kWidth - filled), '.')
             << "] " << done << "/" << total_ << " frames" << std::flush;
        if (done == total_) err_ << "\n";
    }
    void abandon() {
        if (show_) err_ << "\n";
    }

private:
    std::ostream& err_;
    long total_;
    bool show_;
};

bool setUpDefaultOrFile(hostsim::Host& host, const std::string& scenePath, std::ostream& err) {
    if (!scenePath.empty()) return setUpScene(host, scenePath, err);
    std::string error;
    if (!setUpParams(host, &error)) {
        err << "vemaro-render: " << error << "\n";
        return false;
    }
    scene::Context context{host, "default scene", {}, 0};
    try {
        scene::applyText(kDefaultScene, context);
    } catch (const scene::Error& e) {
        err << "vemaro-render: " << e.what() << "\n";
        return false;
    }
    return true;
}

}  // namespace

bool parseFrameRange(const char* text, long& first, long& last, std::ostream& err) {
    const char* kUsage = "vemaro-render: --frames needs a frame or a range A-B of frames (0 or more, A <= B)\n";
    if (!text) {
        err << kUsage;
        return false;
    }
    const char* end = text + std::strlen(text);
    const char* dash = std::find(text, end, '-');
    bool ok = parseWhole(text, dash, first);
    if (ok) {
        if (dash == end)
            last = first;
        else
            ok = parseWhole(dash + 1, end, last) && first <= last;
    }
    if (!ok) err << kUsage;
    return ok;
}

std::string framePath(const std::string& pattern, long frame) {
    std::string out;
    for (std::size_t i = 0; i < pattern.size();) {
        if (pattern[i] != '#') {
            out += pattern[i++];
            continue;
        }
        std::size_t run = 0;
        while (i + run < pattern.size() && pattern[i + run] == '#') ++run;
        std::string digits = std::to_string(frame);
        if (digits.size() < run) digits.insert(0, run - digits.size(), '0');
        out += digits;
        i += run;
    }
    return out;
}

bool writePng(const hostsim::World& world, const std::string& path, std::string* error) {
    if (world.depth() == hostsim::Depth::Float) {
        if (error) *error = "a float world is written as EXR, not PNG";
        return false;
    }
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), std::fclose);
    if (!file) {
        if (error) *error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    std::string message;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &message, pngError, pngWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        if (error) *error = "out of memory writing " + path;
        return false;
    }
    const bool deep = world.depth() == hostsim::Depth::Bits16;
    std::vector<unsigned char> rows = pngRows(world);
    const std::size_t stride = std::size_t(world.width()) * 4 * (deep ? 2 : 1);
    std::vector<png_bytep> pointers(std::size_t(world.height()));
    for (std::size_t y = 0; y < pointers.size(); ++y) pointers[y] = rows.data() + y * stride;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        if (error) *error = "cannot write " + path + ": " + message;
        return false;
    }
    png_init_io(png, file.get());
    png_set_IHDR(png, info, png_uint_32(world.width()), png_uint_32(world.height()), deep ? 16 : 8,
                 PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, pointers.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    if (std::fflush(file.get()) != 0) {
        if (error) *error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

bool writeExr(const hostsim::World& world, const std::string& path, std::string* error) {
    if (world.depth() != hostsim::Depth::Float) {
        if (error) *error = "only float worlds are written as EXR";
        return false;
    }
    const int w = world.width(), h = world.height();
    // EXR colour is premultiplied by alpha; the host's float pixels are not.
    std::vector<float> rgba(std::size_t(w) * std::size_t(h) * 4);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const PF_PixelFloat& p = world.at<PF_PixelFloat>(x, y);
            float* o = &rgba[(std::size_t(y) * std::size_t(w) + std::size_t(x)) * 4];
            o[0] = p.red * p.alpha;
            o[1] = p.green * p.alpha;
            o[2] = p.blue * p.alpha;
            o[3] = p.alpha;
        }
    try {
        Imf::Header header(w, h);
        const char* names[4] = {"R", "G", "B", "A"};
        Imf::FrameBuffer buffer;
        for (int c = 0; c < 4; ++c) {
            header.channels().insert(names[c], Imf::Channel(Imf::FLOAT));
            buffer.insert(names[c], Imf::Slice(Imf::FLOAT, reinterpret_cast<char*>(rgba.data() + c),
                                               sizeof(float) * 4, sizeof(float) * 4 * std::size_t(w)));
        }
        Imf::OutputFile file(path.c_str(), header);
        file.setFrameBuffer(buffer);
        file.writePixels(h);
    } catch (const std::exception& e) {
        if (error) *error = "cannot write " + path + ": " + e.what();
        return false;
    }
    return true;
}

int renderFrames(hostsim::Host& host, const RenderOptions& o, std::ostream& out, std::ostream& err) {
    if (o.outPattern.empty()) {
        err << "vemaro-render: --frames needs --out PATTERN (e.g. frame_####.png)\n";
        return 2;
    }
    if (o.first != o.last && o.outPattern.find('#') == std::string::npos) {
        err << "vemaro-render: --out needs '#' where the frame number goes when rendering several frames\n";
        return 2;
    }
    if (!setUpDefaultOrFile(host, o.scenePath, err)) return 1;
    if (PF_Err e = host.sequenceSetup()) {
        err << "vemaro-render: sequence setup failed with error " << e << "\n";
        return 1;
    }
    hostsim::Comp& comp = host.get<hostsim::Comp>();
    const bool exr = comp.bitDepth() == 32;
    std::string pattern = o.outPattern;
    const std::string ext = extensionOf(pattern);
    const char* wanted = exr ? ".exr" : ".png";
    if (ext.empty()) {
        pattern += wanted;
    } else if (ext != wanted) {
        err << "vemaro-render: a " << comp.bitDepth() << "-bit scene is written as " << (exr ? "EXR" : "PNG")
            << ": use a " << wanted << " file name (not " << ext << ")\n";
        return 2;
    }

    hostsim::SmartRender& smart = host.get<hostsim::SmartRender>();
    Progress progress(err, o.last - o.first + 1, o.progress);
    int status = 0;
    for (long f = o.first; f <= o.last && status == 0; ++f) {
        hostsim::SmartRenderCall call = smart.render(f);
        if (call.preRenderErr || call.err) {
            progress.abandon();
            err << "vemaro-render: " << (call.preRenderErr ? "pre-render" : "render") << " of frame " << f
                << " failed with error " << (call.preRenderErr ? call.preRenderErr : call.err) << "\n";
            status = 1;
            break;
        }
        const std::string path = framePath(pattern, f);
        std::string error;
        if (!(exr ? writeExr(*call.output, path, &error) : writePng(*call.output, path, &error))) {
            progress.abandon();
            err << "vemaro-render: " << error << "\n";
            status = 1;
            break;
        }
        progress.update(f - o.first + 1);
        if (!o.progress) out << path << "\n";
    }
    host.sequenceSetdown();
    host.globalSetdown();
    for (const std::string& v : host.violations()) err << "vemaro-render: host: " << v << "\n";
    return host.violations().empty() ? status : 1;
}

}  // namespace tools

#include "RenderFrames.h"

#include "Comp.h"
#include "FrameFile.h"
#include "Messages.h"
#include "ParamKeys.h"
#include "ParamList.h"
#include "Scene.h"
#include "SmartRender.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
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

// Where a render stands: with a terminal, a bar that rewrites its line
// (frame n of N, time per frame, time left); without one, a plain line per
// frame, which logs keep.
class Progress {
public:
    Progress(std::ostream& err, long total, bool terminal)
        : err_(err), total_(total), terminal_(terminal), start_(Clock::now()), last_(start_) {}
    void frameDone(long done, long frame, const std::string& path) {
        const Clock::time_point now = Clock::now();
        const double took = seconds(now - last_), total = seconds(now - start_);
        last_ = now;
        const double left = total / double(done) * double(total_ - done);
        if (terminal_) {
            constexpr int kWidth = 24;
            const int filled = static_cast<int>(kWidth * done / total_);
            err_ << "\r[" << std::string(std::size_t(filled), '#') << std::string(std::size_t(kWidth - filled), '.')
                 << "] frame " << done << " of " << total_ << ", " << duration(took) << " a frame, " << duration(left)
                 << " left   " << std::flush;
            if (done == total_) err_ << "\n";
            open_ = done != total_;
        } else {
            err_ << "vemaro-render: frame " << frame << " (" << done << " of " << total_ << ") written to " << path
                 << " in " << duration(took) << (done < total_ ? ", about " + duration(left) + " left" : "") << "\n";
        }
    }
    // Ends the bar's line before a message.
    void interrupt() {
        if (open_) err_ << "\n";
        open_ = false;
    }

private:
    using Clock = std::chrono::steady_clock;
    static double seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }
    static std::string duration(double s) {
        char buf[32];
        if (s < 60)
            std::snprintf(buf, sizeof buf, "%.2f s", s);
        else if (s < 3600)
            std::snprintf(buf, sizeof buf, "%d min %02d s", int(s / 60), int(s) % 60);
        else
            std::snprintf(buf, sizeof buf, "%d h %02d min", int(s / 3600), int(s / 60) % 60);
        return buf;
    }
    std::ostream& err_;
    long total_;
    bool terminal_;
    bool open_ = false;
    Clock::time_point start_, last_;
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

namespace {

// Why a layout ran out of memory, from the parameters at the frame: the
// layout and, where its parameters give it, how many elements it asked for.
std::string elementLimitHint(hostsim::Host& host) {
    hostsim::Params& params = host.get<hostsim::Params>();
    if (params.count() != int(paramKeys().size())) return "";
    const PF_InData& in = host.nextInData();
    const A_Time now{in.current_time, in.time_scale};
    auto value = [&](const char* key) { return params.valueAt(paramByKey(key), now).v[0]; };
    const int pattern = static_cast<int>(value("pattern"));
    const std::vector<std::string> items = params.popupItems(paramByKey("pattern"));
    if (pattern < 1 || std::size_t(pattern) > items.size()) return "";
    std::string hint = "the " + items[std::size_t(pattern - 1)] + " layout";
    double count = -1;
    switch (pattern) {
        case 3: count = value("lineSegmentNumber"); break;
        case 4: count = value("circleNumber"); break;
        case 5: count = value("rectangleNumber"); break;
        case 7: count = value("finiteGridColumn") * value("finiteGridRow"); break;
        case 9:
            if (value("pathMode") == 2) count = value("pathNumber");
            break;
        case 11:
            if (value("graphMode") == 1) count = value("graphNumber");
            break;
        default: break;
    }
    if (count >= 0) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.0f", count);
        return hint + " asks for " + buf + " elements, more than it can place";
    }
    static const std::pair<int, const char*> spacing[] = {
        {2, "lineWidth"},   {6, "gridWidth and gridHeight"}, {8, "triangularGridRadius"}, {9, "pathInterval"},
        {11, "graphDelta"}, {12, "randomDistance"}};
    for (const auto& sp : spacing)
        if (sp.first == pattern) return hint + " places more elements than it can at this spacing (" + sp.second + ")";
    return hint + " could not be laid out";
}

// "out of memory (the Grid layout ...)" or the error's meaning.
std::string renderFailure(hostsim::Host& host, PF_Err err) {
    if (err != PF_Err_OUT_OF_MEMORY) return errorMeaning(err);
    const std::string hint = elementLimitHint(host);
    return hint.empty() ? "out of memory" : "out of memory: " + hint;
}

std::string listFrames(const std::vector<long>& frames) {
    if (frames.empty()) return "no frame was written";
    std::string s = frames.size() == 1 ? "frame " : "frames ";
    s += std::to_string(frames.front());
    if (frames.size() > 1) s += (frames.size() == 2 ? " and " : " to ") + std::to_string(frames.back());
    return s + (frames.size() == 1 ? " was" : " were") + " written";
}

}  // namespace

int renderFrames(hostsim::Host& host, const RenderOptions& o, std::ostream& out, std::ostream& err) {
    (void)out;
    if (o.outPattern.empty()) {
        err << "vemaro-render: --frames needs --out PATTERN (e.g. frame_####.png)\n";
        return 2;
    }
    if (o.first != o.last && o.outPattern.find('#') == std::string::npos) {
        err << "vemaro-render: --out needs '#' where the frame number goes when rendering several frames\n";
        return 2;
    }
    if (!setUpDefaultOrFile(host, o.scenePath, err)) return 1;
    hostsim::Comp& comp = host.get<hostsim::Comp>();
    if (o.downsample > 1) {
        const PF_InData& in = host.nextInData();
        auto times = [&](const PF_RationalScale& s) {
            return PF_RationalScale{s.num, static_cast<A_u_long>(s.den * A_u_long(o.downsample))};
        };
        comp.setDownsample(times(in.downsample_x), times(in.downsample_y));
        comp.apply();
    }
    const bool exr = comp.bitDepth() == 32;
    const std::string ext = extensionOf(o.outPattern);
    const char* wanted = exr ? ".exr" : ".png";
    if (ext != wanted) {
        err << "vemaro-render: " << (comp.bitDepth() == 8 ? "an " : "a ") << comp.bitDepth()
            << "-bit scene is written as " << (exr ? "EXR" : "PNG") << ": the --out file name must end in " << wanted
            << (ext.empty() ? std::string(" (it has no extension)") : " (not " + ext + ")") << "\n";
        return 2;
    }
    if (PF_Err e = host.sequenceSetup()) {
        err << "vemaro-render: the effect could not set up the sequence: " << errorMeaning(e) << "\n";
        return 1;
    }

    hostsim::SmartRender& smart = host.get<hostsim::SmartRender>();
    Progress progress(err, o.last - o.first + 1, o.progress);
    std::vector<long> written;
    int status = 0;
    for (long f = o.first; f <= o.last && status == 0; ++f) {
        const char* stage = "render";
        std::string problem;
        try {
            hostsim::SmartRenderCall call = smart.render(f);
            if (call.preRenderErr || call.err) {
                stage = call.preRenderErr ? "pre-render" : "render";
                problem = renderFailure(host, call.preRenderErr ? call.preRenderErr : call.err);
            } else {
                stage = "writing";
                const std::string path = framePath(o.outPattern, f);
                FrameView view;
                view.result = call.output.get();
                view.left = call.output ? call.output->get()->origin_x : 0;
                view.top = call.output ? call.output->get()->origin_y : 0;
                view.width = comp.downsampledWidth();
                view.height = comp.downsampledHeight();
                view.depth = exr                     ? hostsim::Depth::Float
                             : comp.bitDepth() == 16 ? hostsim::Depth::Bits16
                                                     : hostsim::Depth::Bits8;
                std::string error;
                if (exr ? writeExr(view, path, &error) : writePng(view, path, &error)) {
                    written.push_back(f);
                    progress.frameDone(long(written.size()), f, path);
                } else {
                    problem = error;
                }
            }
        } catch (const std::bad_alloc&) {
            problem = std::string("out of memory") + (std::string(stage) == "writing" ? " while writing the file" : "");
        }
        if (!problem.empty()) {
            progress.interrupt();
            err << "vemaro-render: frame " << f << " failed";
            if (std::string(stage) != "writing") err << " in " << stage;
            err << ": " << problem << "; " << listFrames(written) << "\n";
            status = 1;
        }
    }
    host.sequenceSetdown();
    host.globalSetdown();
    return reportMisuse(host, err, status);
}

}  // namespace tools

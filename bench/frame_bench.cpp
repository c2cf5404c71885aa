// Whole frames as the host renders them: the effect module loaded by the
// simulated host, a scene set up through the renderer's scene API, then
// pre-render and smart render of one frame, on 1, 2, 4 and 8 host threads at
// 1080p and 4K. The frame is rendered once before timing, so the figures are
// the steady state (the composition's frames and the output world made,
// caches warm). --benchmark_filter=Frame runs these (and the quick memcpy
// reference of the blender benchmarks).
#include "BenchHost.h"
#include "Comp.h"
#include "Iterate.h"
#include "ParamList.h"
#include "RenderFrames.h"
#include "Scene.h"
#include "SmartRender.h"

#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>

#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

using nlohmann::json;

struct Size {
    const char* name;
    int width, height;
};
constexpr Size kSizes[] = {{"1080p", 1920, 1080}, {"4K", 3840, 2160}};
constexpr int kThreads[] = {1, 2, 4, 8};

json param(const json& ref, const json& value) { return {{"param", ref}, {"value", value}}; }

// A grid of one shape with extra settings. Lengths are given for 1080p and
// scaled by k, so that a scene looks the same at 4K, with four times the
// pixels and the same elements.
json gridOf(double k, double spacing, double size, const char* shapeType,
            std::initializer_list<std::pair<const char*, json>> extra) {
    json p = json::array({param("Pattern", "Grid"), param(36, spacing * k), param("Shape Number", 1),
                          param("Size 1", size * k), param(180, shapeType)});
    for (const auto& [name, value] : extra) p.push_back(param(name, value));
    return p;
}

// The renderer's built-in scene (a rotated grid of circles and pentagons,
// growing over frames 0 to 50), at 1080p or 4K instead of 640 x 360.
json defaultParams(double k) {
    json params = json::parse(tools::kDefaultScene)["params"];
    const double toDefault = k * 1920.0 / 640.0;
    for (json& p : params)
        if (p["param"] == 36 || p["param"] == "Size 1" || p["param"] == "Size 2")
            p["value"] = p["value"].get<double>() * toDefault;
    return params;
}

// About 32 000 small circles of varied hue.
json denseParams(double k) { return gridOf(k, 8, 7, "Circle", {{"Color 1", "#4aa3df"}, {"Randomize Hue 1", 90}}); }

// About 1 300 five-pointed stars, each turned its own way.
json starsParams(double k) {
    return gridOf(k, 40, 36, "Polygon",
                  {{"Sides 1", 5}, {"Starness 1", 50}, {"Color 1", "#f2c230"}, {"Randomize Phase 1", 180}});
}

// About 3 600 short strokes at random angles.
json linesParams(double k) {
    return gridOf(k, 24, 22, "Line", {{"Thickness 1", 12}, {"Color 1", "#e8e8e8"}, {"Randomize Phase 1", 180}});
}

// About 230 turned copies of the input layer, each sampled pixel by pixel.
json inputParams(double k) { return gridOf(k, 96, 90, "Input", {{"Randomize Phase 1", 30}}); }

struct SceneDef {
    const char* name;
    long frame;
    json (*params)(double k);
};
const SceneDef kScenes[] = {
    {"default", 50, defaultParams}, {"dense", 0, denseParams}, {"stars", 0, starsParams},
    {"lines", 0, linesParams},      {"input", 0, inputParams},
};

// The input layer: a colour ramp with a checkerboard, so that the Input
// shapes sample varied pixels.
void paintInput(hostsim::World& w, long) {
    for (int y = 0; y < w.height(); ++y)
        for (int x = 0; x < w.width(); ++x) {
            const bool check = ((x / 32) + (y / 32)) % 2 == 0;
            const auto ramp = [](int v, int n) { return static_cast<A_u_char>(255 * v / (n > 1 ? n - 1 : 1)); };
            w.at<PF_Pixel>(x, y) = {255, ramp(x, w.width()), ramp(y, w.height()), A_u_char(check ? 200 : 40)};
        }
}

// The host of the scene being timed; made again when the scene or size changes.
struct SceneHost {
    std::string key;
    std::unique_ptr<hostsim::Host> host;
};
SceneHost& current() {
    static SceneHost s;
    return s;
}

hostsim::Host* hostFor(const SceneDef& scene, const Size& size, std::string& error) {
    SceneHost& s = current();
    const std::string key = std::string(scene.name) + "/" + size.name;
    if (s.host && s.key == key) return s.host.get();
    bench::takeHost([] { current().host.reset(); });
    s.key = key;
    s.host = std::make_unique<hostsim::Host>();
    hostsim::Host& host = *s.host;
    if (!host.load(VEMARO_MODULE_PATH, &error) || !tools::setUpParams(host, &error)) return nullptr;
    const double k = size.width / 1920.0;
    const json sceneJson = {
        {"composition",
         {{"frameDuration", {1, 25}},
          {"bitDepth", 8},
          {"effectLayer", {{"name", "background"}, {"width", size.width}, {"height", size.height}, {"duration", 10}}}}},
        {"params", scene.params(k)}};
    scene::Context context{host, scene.name, {}, 0};
    try {
        scene::apply(sceneJson, context);
    } catch (const scene::Error& e) {
        error = e.what();
        return nullptr;
    }
    host.get<hostsim::Comp>().effectLayer().paint = paintInput;
    if (PF_Err e = host.sequenceSetup()) {
        error = "sequence setup failed with error " + std::to_string(e);
        return nullptr;
    }
    return &host;
}

void frame(benchmark::State& state, const SceneDef* scene, const Size* size, int threads) {
    std::string error;
    hostsim::Host* host = hostFor(*scene, *size, error);
    if (!host) {
        state.SkipWithError(error.c_str());
        current().host.reset();
        return;
    }
    host->get<hostsim::Iterate>().setThreads(threads);
    hostsim::SmartRender& smart = host->get<hostsim::SmartRender>();
    auto render = [&] {
        hostsim::SmartRenderCall call = smart.render(scene->frame);
        if (call.preRenderErr || call.err) {
            error = "render failed with error " + std::to_string(call.preRenderErr ? call.preRenderErr : call.err);
            return false;
        }
        benchmark::DoNotOptimize(call.output->get()->data);
        return true;
    };
    if (!render()) {
        state.SkipWithError(error.c_str());
        return;
    }
    for (auto _ : state)
        if (!render()) {
            state.SkipWithError(error.c_str());
            break;
        }
}

std::string threadsName(int t) { return std::to_string(t) + (t == 1 ? " thread" : " threads"); }

const bool registered = [] {
    for (const SceneDef& scene : kScenes)
        for (const Size& size : kSizes) {
            const std::string base = std::string("Frame/") + scene.name + "/" + size.name + "/threads:";
            for (int t : kThreads)
                benchmark::RegisterBenchmark((base + std::to_string(t)).c_str(), frame, &scene, &size, t)
                    ->Unit(benchmark::kMillisecond)
                    ->UseRealTime()
                    ->MinTime(0.2);
            for (int t : kThreads)
                if (t > 1)
                    bench::addRatio(
                        std::string("frame ") + scene.name + " " + size.name + ", 1 thread / " + threadsName(t),
                        base + "1", base + std::to_string(t));
        }
    return true;
}();

}  // namespace

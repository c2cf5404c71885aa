// The loaded effect under the simulated host with a frame's record, animator
// and output world, as the smart render hands them to the element creation.
#pragma once

#include "Params.h"
#include "Streams.h"
#include "VemaroDrawer.h"
#include "VemaroTransitionAnimator.h"
#include "World.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

class ElementsTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(host.load(VEMARO_MODULE_PATH, &error)) << error;
        ASSERT_EQ(host.globalSetup(), PF_Err_NONE);
        ASSERT_EQ(params.setup(), PF_Err_NONE);
        in = host.nextInData();
        suites = std::make_unique<AEGP_SuiteHandler>(host.basicSuite());
        animator.pluginId = host.pluginId();
        animator.in_data = &in;
        animator.suites = suites.get();
        animator.effect = effect();
        animator.params = &record;
        neutral(record);
    }
    void TearDown() override {
        drawer.reset();
        suites.reset();
        EXPECT_EQ(streams.openStreams(), 0);
        EXPECT_EQ(streams.openValues(), 0);
        EXPECT_EQ(host.suites().outstanding(), 0);
        EXPECT_EQ(host.violations(), std::vector<std::string>{});
    }

    // A record with every group neutral: one circle shape, identity transform,
    // a One Shot transition at completion 0, no maps, no displacement.
    static void neutral(Parameters& p) {
        p = Parameters{};
        p.pattern = 1;
        p.transitionMode = 1;
        p.transitionScale = 1;
        p.transitionColor = Color{0, 0, 1, 1};
        p.transitionOpacity = 1;
        p.transitionOrder = 1;
        p.transitionEasing = Easing{1, 1};
        p.transformScale = 1;
        p.repeaterType = 1;
        p.displacementMode = 1;
        setShapes(p, {1});
    }
    // Active shapes with these "Times": circles of size 10.
    static void setShapes(Parameters& p, std::vector<int> times) {
        p.shapeNumber = static_cast<int32_t>(times.size());
        int sum = 0;
        for (std::size_t s = 0; s < times.size(); ++s) {
            sum += times[s];
            p.shapeWeights[s] = sum;
            p.shapes[s].type = 2;
            p.shapes[s].size = 10;
            p.shapes[s].fillStroke = 1;
            p.shapes[s].times = times[s];
            p.shapes[s].priority = 1;
        }
        p.shapeWeightTotal = sum;
    }

    AEGP_EffectRefH effect() { return reinterpret_cast<AEGP_EffectRefH>(&record); }

    ShapeDrawer& make(int width = 200, int height = 100, int originX = 0, int originY = 0) {
        drawer.reset();
        output = std::make_unique<hostsim::World>(width, height, hostsim::Depth::Bits8, 3, originX, originY);
        drawer = std::make_unique<ShapeDrawer>(host.pluginId(), &in, *suites, effect(), nullptr, output->get(), 0,
                                               record, animator, 0);
        return *drawer;
    }

    // An 8-bit map layer of one colour.
    hostsim::World& uniformMap(PF_Pixel colour, int width = 16, int height = 16) {
        maps.push_back(std::make_unique<hostsim::World>(width, height, hostsim::Depth::Bits8));
        hostsim::World& w = *maps.back();
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) w.at<PF_Pixel>(x, y) = colour;
        return w;
    }
    static PF_Pixel grey(A_u_char v) { return PF_Pixel{255, v, v, v}; }

    static hostsim::ParamValue scalar(double v) {
        hostsim::ParamValue p;
        p.v[0] = v;
        return p;
    }
    // A hidden slider held at one value over a one-second span.
    void flatCurve(int index, double value) {
        params.setKeyframes(index, {{{0, 1}, scalar(value)}, {{1, 1}, scalar(value)}});
    }

    // The element hash with the standard library's maths.
    static double hash(int i, int j, int k, Vector seed) {
        const double v = std::sin(((seed.x + i) + 0.5) * 12.9898 + (((seed.y + j) + k) + 0.5) * 78.233) * 43758.5453;
        return v - std::floor(v);
    }

    hostsim::Host host;
    hostsim::Params& params = host.get<hostsim::Params>();
    hostsim::Streams& streams = host.get<hostsim::Streams>();
    PF_InData in{};
    Parameters record{};
    TransitionAnimator animator;
    std::unique_ptr<AEGP_SuiteHandler> suites;
    std::unique_ptr<hostsim::World> output;
    std::vector<std::unique_ptr<hostsim::World>> maps;
    std::unique_ptr<ShapeDrawer> drawer;
};

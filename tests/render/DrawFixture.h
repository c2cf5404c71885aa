// A ShapeDrawer over an output world under the simulated host, with a
// neutral frame record: the drawing half is driven with hand-made elements.
#pragma once

#include "Params.h"
#include "RenderFixture.h"
#include "VemaroDrawer.h"
#include "VemaroTransitionAnimator.h"

#include <cmath>
#include <memory>
#include <string>
#include <vector>

class DrawFixture : public RenderFixture {
protected:
    void SetUp() override { neutral(); }
    // With the effect loaded, for drawings that read its own parameters (the
    // hidden curves, Layer parameters checked out per element).
    void setUpWithEffect() {
        std::string error;
        ASSERT_TRUE(host.load(VEMARO_MODULE_PATH, &error)) << error;
        ASSERT_EQ(host.globalSetup(), PF_Err_NONE);
        ASSERT_EQ(host.get<hostsim::Params>().setup(), PF_Err_NONE);
        in = host.nextInData();
        suites = std::make_unique<AEGP_SuiteHandler>(in.pica_basicP);
        DrawFixture::SetUp();
    }
    void TearDown() override {
        drawer.reset();
        RenderFixture::TearDown();
    }

    // Identity transform, no maps, no transition by shape, one circle shape.
    void neutral() {
        record = Parameters{};
        record.pattern = 1;
        record.transformScale = 1;
        record.transitionScale = 1;
        record.transitionOpacity = 1;
        record.transitionOrder = 1;
        record.transitionColor = Color{0, 0, 1, 1};
        record.repeaterType = 1;
        record.blendingMode = 1;
        shapes(1);
    }
    // n opaque white fill-only circles of size 10, priority 1, seeds apart.
    void shapes(int n) {
        record.shapeNumber = n;
        for (int s = 0; s < n; ++s) {
            Parameters::Shape& sh = record.shapes[s];
            sh = Parameters::Shape{};
            sh.type = 2;
            sh.size = 10;
            sh.minimumScale = sh.minimumWidth = sh.minimumHeight = sh.minimumOpacity = 1;
            sh.width = sh.height = 1;
            sh.opacity = 1;
            sh.fillStroke = 1;
            sh.color = sh.strokeColor = Color{1, 1, 1, 1};
            sh.times = 1;
            sh.priority = 1;
            sh.toner = 1;
            sh.layerSampling = 1;
            sh.randomizeLayerSampling = 1;
            record.shapeWeights[s] = s + 1;
        }
        record.shapeWeightTotal = n;
    }

    ShapeDrawer& make(int width = 200, int height = 100, hostsim::Depth depth = hostsim::Depth::Bits8) {
        drawer.reset();
        output = std::make_unique<hostsim::World>(width, height, depth);
        drawer = std::make_unique<ShapeDrawer>(0, &in, *suites, nullptr, nullptr, output->get(),
                                               static_cast<int>(depth), record, animator, 0);
        return *drawer;
    }
    static ShapeDrawer::Pattern element(double x, double y, int shape = 0, int i = 0, int j = 0) {
        ShapeDrawer::Pattern e;
        e.position = {x, y};
        e.shapeIndex = shape;
        e.i = i;
        e.j = j;
        return e;
    }

    // A one-colour 8-bit world (maps, sources).
    hostsim::World& uniform(PF_Pixel colour, int width = 16, int height = 16) {
        worlds.push_back(std::make_unique<hostsim::World>(width, height, hostsim::Depth::Bits8));
        worlds.back()->fill(colour);
        return *worlds.back();
    }

    // The element hash with the standard library's maths.
    static double hash(int i, int j, int k, Vector seed) {
        const double v = std::sin(((seed.x + i) + 0.5) * 12.9898 + (((seed.y + j) + k) + 0.5) * 78.233) * 43758.5453;
        return v - std::floor(v);
    }

    Parameters record{};
    TransitionAnimator animator;
    std::unique_ptr<hostsim::World> output;
    std::vector<std::unique_ptr<hostsim::World>> worlds;
    std::unique_ptr<ShapeDrawer> drawer;
};

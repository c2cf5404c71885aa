// Values the host keeps for the parameters: defaults in layer units,
// keyframes, params[] of a command, check-out and check-in, and what the host
// refuses to register.
#include "params_fixture.h"

#include <algorithm>
#include <cstring>

namespace {

hostsim::ParamValue scalar(double v) {
    hostsim::ParamValue p;
    p.v[0] = v;
    return p;
}

hostsim::Keyframe key(A_long time, A_u_long scale, hostsim::ParamValue v) { return {{time, scale}, v}; }

bool mentions(const std::vector<std::string>& list, const std::string& text) {
    return std::any_of(list.begin(), list.end(), [&](const std::string& s) { return s.find(text) != s.npos; });
}

}  // namespace

// Point defaults are percentages of the layer, handed out in layer pixels at
// the current downsample.
TEST_F(ParamsTest, PointDefaultsBecomeLayerPixelsAtTheDownsample) {
    setUpTable();
    PF_InData& next = host.nextInData();
    next.width = 1920;
    next.height = 1080;
    struct Case {
        PF_RationalScale dx, dy;
        double x, y;  // "Point 1" of the Line Segment block, (10 %, 50 %)
    };
    for (const Case& c :
         {Case{{1, 1}, {1, 1}, 192, 540}, Case{{1, 2}, {1, 2}, 96, 270}, Case{{1, 4}, {1, 3}, 48, 180}}) {
        next.downsample_x = c.dx;
        next.downsample_y = c.dy;
        auto array = params.buildArray({0, 24}, params.frame());
        EXPECT_EQ((*array)[16].u.td.x_value, FLOAT2FIX(c.x));
        EXPECT_EQ((*array)[16].u.td.y_value, FLOAT2FIX(c.y));

        PF_ParamDef out{};
        ASSERT_EQ(next.inter.checkout_param(host.effectRef(), 16, 0, 1, 24, &out), PF_Err_NONE);
        EXPECT_EQ(out.u.td.x_value, FLOAT2FIX(c.x));
        EXPECT_EQ(out.u.td.y_value, FLOAT2FIX(c.y));
        EXPECT_EQ(next.inter.checkin_param(host.effectRef(), &out), PF_Err_NONE);
    }
    // Repeater X runs one layer width across.
    next.downsample_x = next.downsample_y = {1, 1};
    EXPECT_EQ(params.defaultValue(166).v[0], 1920.0);
    EXPECT_EQ(params.defaultValue(166).v[1], 0.0);
    EXPECT_EQ(params.outstandingCheckouts(), 0);
    expectCleanEnd();
}

// Between keyframes numbers move linearly, choices hold; before the first and
// after the last keyframe the value stays at that keyframe.
TEST_F(ParamsTest, KeyframesInterpolateByType) {
    setUpTable();
    params.setKeyframes(12, {key(48, 24, scalar(200)), key(0, 24, scalar(100))});  // sorted by the host
    params.setKeyframes(1, {key(0, 24, scalar(2)), key(24, 24, scalar(5))});
    hostsim::ParamValue red, blue;
    red.v[0] = blue.v[0] = 255;
    red.v[1] = 255;
    blue.v[3] = 255;
    params.setKeyframes(198, {key(0, 1, red), key(1, 1, blue)});

    struct Case {
        A_long time;  // in 1/24 s
        PF_ParamValue pattern;
        PF_Pixel color;
    };
    const Case cases[] = {
        {-24, 2, {255, 255, 0, 0}},  {0, 2, {255, 255, 0, 0}},   {6, 2, {255, 191, 0, 64}},
        {12, 2, {255, 128, 0, 128}}, {23, 2, {255, 11, 0, 244}}, {24, 5, {255, 0, 0, 255}},
        {36, 5, {255, 0, 0, 255}},   {48, 5, {255, 0, 0, 255}},  {96, 5, {255, 0, 0, 255}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("time " + std::to_string(c.time) + "/24");
        auto a = params.buildArray({c.time, 24}, params.frame());
        const double width = 100 + 100 * std::min(std::max(c.time, 0), 48) / 48.0;
        EXPECT_NEAR((*a)[12].u.fs_d.value, width, 1e-9);
        EXPECT_EQ((*a)[1].u.pd.value, c.pattern);
        EXPECT_EQ(std::memcmp(&(*a)[198].u.cd.value, &c.color, sizeof c.color), 0)
            << int((*a)[198].u.cd.value.red) << " " << int((*a)[198].u.cd.value.blue);
    }
    EXPECT_EQ(params.keyframeCount(12), 2);
    EXPECT_EQ(params.keyframes(12).front().time.value, 0);

    // A constant value drops the keyframes.
    params.setValue(12, scalar(42));
    EXPECT_EQ(params.keyframeCount(12), 0);
    EXPECT_EQ(params.valueAt(12, {100, 24}).v[0], 42.0);
    expectCleanEnd();
}

// params[] holds every parameter at the time of the command; values the
// effect marks as changed are kept.
TEST_F(ParamsTest, CommandsGetParamsAtTheirTime) {
    setUpTable();
    params.setKeyframes(22, {key(0, 24, scalar(100)), key(24, 24, scalar(300))});
    host.nextInData().current_time = 12;
    host.nextInData().time_scale = 24;
    std::unique_ptr<hostsim::ParamArray> a = params.buildArray({12, 24}, params.frame());
    ASSERT_EQ(a->size(), 688);
    EXPECT_EQ((*a)[22].u.fs_d.value, 200.0);
    EXPECT_EQ((*a)[0].param_type, PF_Param_LAYER);
    EXPECT_EQ((*a)[1].uu.change_flags, 0);
    EXPECT_EQ(a->get()[170], &(*a)[170]);

    EXPECT_EQ(params.send(PF_Cmd_FRAME_SETUP), PF_Err_NONE);
    EXPECT_EQ(host.inData().num_params, 688);
    expectCleanEnd();
}

// A parameter checked out and not checked in by the end of a command is a
// leak; a check-in of something never checked out is misuse. The layer hook
// sees both ends of a layer check-out.
TEST_F(ParamsTest, CheckoutsAreAccountedForAtTheEndOfEachCommand) {
    setUpTable();
    int layersOut = 0;
    params.checkoutLayer = [&](const hostsim::LayerRequest& r, PF_LayerDef& ld) {
        ++layersOut;
        ld.width = r.layerId == hostsim::kLayerSelf ? 640 : 0;
        return PF_Err_NONE;
    };
    params.checkinLayer = [&](const hostsim::LayerRequest&) { --layersOut; };

    PF_InteractCallbacks& inter = host.nextInData().inter;
    PF_ParamDef input{}, width{};
    ASSERT_EQ(inter.checkout_param(host.effectRef(), 0, 0, 1, 24, &input), PF_Err_NONE);
    EXPECT_EQ(input.u.ld.width, 640);
    ASSERT_EQ(inter.checkout_param(host.effectRef(), 12, 5, 1, 24, &width), PF_Err_NONE);
    EXPECT_EQ(width.u.fs_d.value, 150.0);
    EXPECT_EQ(params.outstandingCheckouts(), 2);
    EXPECT_EQ(layersOut, 1);
    EXPECT_EQ(inter.checkin_param(host.effectRef(), &width), PF_Err_NONE);
    EXPECT_EQ(params.outstandingCheckouts(), 1);

    EXPECT_EQ(params.send(PF_Cmd_FRAME_SETDOWN), PF_Err_NONE);
    EXPECT_TRUE(mentions(host.violations(), "parameter 0 checked out and never checked in"));
    EXPECT_EQ(layersOut, 0);
    EXPECT_EQ(params.outstandingCheckouts(), 0);
    host.clearViolations();

    EXPECT_EQ(inter.checkin_param(host.effectRef(), &width), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(inter.checkout_param(host.effectRef(), 688, 0, 1, 24, &width), PF_Err_INVALID_INDEX);
    EXPECT_EQ(host.violations().size(), 2u);
    host.clearViolations();
    expectCleanEnd();
}

// The host's checks of a definition, each on one flaw of an otherwise valid
// row.
TEST_F(ParamsTest, HostRejectsFlawedDefinitions) {
    setUpTable();
    struct Case {
        int base;  // a valid definition of the table to start from
        void (*flaw)(PF_ParamDef&);
        const char* expected;
    };
    const Case cases[] = {
        {12, [](PF_ParamDef& d) { std::memset(d.name, 'x', sizeof d.name); }, "not terminated"},
        {12, [](PF_ParamDef& d) { d.u.fs_d.dephault = 3; }, "default 3 outside the valid range"},
        {12, [](PF_ParamDef& d) { d.u.fs_d.slider_max = 20000; }, "leaves the valid range"},
        {12, [](PF_ParamDef& d) { d.u.fs_d.valid_min = 20000; }, "reversed"},
        {15, [](PF_ParamDef& d) { d.u.sd.dephault = -1; }, "outside the valid range"},
        {64, [](PF_ParamDef& d) { d.u.fd.dephault = FLOAT2FIX(101.0); }, "outside the valid range"},
        {1, [](PF_ParamDef& d) { d.u.pd.num_choices = 11; }, "11 choices but 12 items"},
        {1, [](PF_ParamDef& d) { d.u.pd.dephault = 13; }, "outside 1 .. 12"},
        {1, [](PF_ParamDef& d) { d.u.pd.u_names = nullptr; }, "without items"},
        {19, [](PF_ParamDef& d) { d.u.bd.dephault = 2; }, "neither 0 nor 1"},
        {19, [](PF_ParamDef& d) { d.param_type = 99; }, "unknown parameter type"},
    };
    for (const Case& c : cases) {
        PF_ParamDef d = params.definition(c.base);
        EXPECT_EQ(params.validate(d), "") << "index " << c.base;
        c.flaw(d);
        EXPECT_NE(params.validate(d).find(c.expected), std::string::npos) << c.expected << " / " << params.validate(d);
    }
    // Only during params setup.
    PF_ParamDef d = params.definition(12);
    EXPECT_NE(host.nextInData().inter.add_param(host.effectRef(), -1, &d), PF_Err_NONE);
    EXPECT_TRUE(mentions(host.violations(), "outside params setup"));
    host.clearViolations();
    expectCleanEnd();
}

// What the host hands out in a definition reads back as the same value, so a
// value the effect marks as changed is kept as it was meant.
TEST_F(ParamsTest, DefinitionsReadBackAsTheirValues) {
    setUpTable();
    PF_InData& next = host.nextInData();
    next.width = 1920;
    next.height = 1080;
    next.downsample_x = {1, 2};
    next.downsample_y = {1, 4};
    hostsim::ParamValue color;
    color.v[0] = 255, color.v[1] = 1, color.v[2] = 2, color.v[3] = 3;
    hostsim::ParamValue point;
    point.v[0] = 333, point.v[1] = -120;
    params.setValue(198, color);
    params.setValue(17, point);
    params.setValue(64, scalar(37.5));
    params.setValue(13, scalar(-450));
    for (int index : {1, 12, 13, 15, 16, 17, 19, 64, 198}) {
        PF_ParamDef d{};
        params.fill(index, {0, 24}, params.frame(), d);
        hostsim::ParamValue back = params.read(index, d, params.frame());
        hostsim::ParamValue want = params.valueAt(index, {0, 24});
        for (int c = 0; c < 4; ++c) EXPECT_EQ(back.v[c], want.v[c]) << "index " << index << " channel " << c;
    }
    expectCleanEnd();
}

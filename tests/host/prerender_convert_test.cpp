// The record's conversion rules, computed fields and Global Shape fold, from
// parameter definitions as the host fills them, against hand-computed values.
#include "Parameters.h"
#include "ParametersFields.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <set>
#include <string>

namespace cv = ParamConvert;

namespace {

PF_ParamDef def(PF_ParamType type) {
    PF_ParamDef d;
    std::memset(&d, 0, sizeof d);
    d.param_type = type;
    return d;
}
PF_ParamDef pointPx(double x, double y) {
    PF_ParamDef d = def(PF_Param_POINT);
    d.u.td.x_value = FLOAT2FIX(x);
    d.u.td.y_value = FLOAT2FIX(y);
    return d;
}
PF_ParamDef angle(double degrees) {
    PF_ParamDef d = def(PF_Param_ANGLE);
    d.u.ad.value = FLOAT2FIX(degrees);
    return d;
}
PF_ParamDef floatSlider(double v) {
    PF_ParamDef d = def(PF_Param_FLOAT_SLIDER);
    d.u.fs_d.value = v;
    return d;
}
PF_ParamDef color(A_u_char a, A_u_char r, A_u_char g, A_u_char b) {
    PF_ParamDef d = def(PF_Param_COLOR);
    d.u.cd.value = {a, r, g, b};
    return d;
}

struct SeedCase {
    double hostPx;  // the coordinate as the host delivers it (downsampled)
    PF_RationalScale ds;
    double stored;  // full resolution, tenths
};

TEST(ParamConvert, SeedBackToFullResolutionInTenths) {
    const SeedCase cases[] = {
        {10.26, {1, 2}, 20.5},                                     // 20.52 px at full resolution
        {10.26, {1, 1}, 10.3},                                     // 102.6 + 0.5 truncates to 103
        {-1.26, {1, 1}, -1.2},                                     // toward zero after adding 0.5
        {-1.26, {1, 2}, -2.4},                                     // negative with an unsigned denominator above 1
        {-1.26, {1, 3}, -3.7},        {-100.0, {1, 4}, -399.9},    // -400 + 0.05 rounds toward zero
        {0.0, {1, 2}, 0.0},           {20000.0, {1, 2}, 40000.0},  // the product passes 2^31
        {-30000.0, {1, 2}, -59999.9}, {5.0, {0, 1}, 5.0},          // no factor: the host value stays
    };
    for (const SeedCase& c : cases) {
        Vector v = cv::seed(pointPx(c.hostPx, 0), c.ds, {1, 1});
        EXPECT_NEAR(v.x, c.stored, 1e-9) << c.hostPx << " at " << c.ds.num << "/" << c.ds.den;
        EXPECT_EQ(v.y, 0.0);
    }
    // Each axis takes its own factor.
    Vector v = cv::seed(pointPx(10.26, 10.26), {1, 2}, {1, 3});
    EXPECT_NEAR(v.x, 20.5, 1e-12);
    EXPECT_NEAR(v.y, 30.8, 1e-12);  // 30.78 -> 308.3 -> 308
}

TEST(ParamConvert, AnglesSlidersAndPoints) {
    EXPECT_DOUBLE_EQ(cv::radians(angle(450)), 7.853981633974483);
    EXPECT_DOUBLE_EQ(cv::turns(angle(450)), 1.25);
    EXPECT_EQ(cv::degrees(angle(370)), 370.0f);
    EXPECT_DOUBLE_EQ(cv::radians(angle(-90)), -1.5707963267948966);
    EXPECT_DOUBLE_EQ(cv::turns(angle(-45)), -0.125);

    EXPECT_DOUBLE_EQ(cv::percent(floatSlider(250)), 2.5);
    EXPECT_EQ(cv::percentFloat(floatSlider(37)), 0.37f);
    EXPECT_DOUBLE_EQ(cv::rawFloat(floatSlider(-12.5)), -12.5);
    PF_ParamDef fixed = def(PF_Param_FIX_SLIDER);
    fixed.u.fd.value = INT2FIX(50);
    EXPECT_DOUBLE_EQ(cv::fixedPercent(fixed), 0.5);

    // Rectangle Height and Displacement Y carry the x factor, Grid Height the y factor.
    PF_RationalScale dsX{1, 2}, dsY{1, 3};
    EXPECT_DOUBLE_EQ(cv::scaled(floatSlider(90), cv::factor(dsX)), 45.0);
    EXPECT_DOUBLE_EQ(cv::scaled(floatSlider(90), cv::factor(dsY)), 30.0);
    EXPECT_DOUBLE_EQ(cv::factor({1, 0}), 1.0);

    Vector p = cv::point(pointPx(12.5, -3.25));
    EXPECT_DOUBLE_EQ(p.x, 12.5);
    EXPECT_DOUBLE_EQ(p.y, -3.25);

    EXPECT_EQ(cv::downsampled(1920, {1, 2}), 960);
    EXPECT_EQ(cv::downsampled(1081, {1, 2}), 540);
    EXPECT_EQ(cv::downsampled(1080, {1, 0}), 1080);
}

TEST(ParamConvert, ColoursChecksPopupsAndPaths) {
    Color a = cv::rgba(color(0, 255, 51, 0));
    EXPECT_EQ(a.alpha, 0.0f);
    EXPECT_EQ(a.red, 1.0f);
    EXPECT_EQ(a.green, 0.2f);
    EXPECT_EQ(a.blue, 0.0f);
    Color b = cv::rgb1(color(0, 255, 51, 0));
    EXPECT_EQ(b.alpha, 1.0f);  // the host alpha is ignored
    EXPECT_EQ(b.green, 51 / 255.0f);

    PF_ParamDef box = def(PF_Param_CHECKBOX);
    box.u.bd.value = 1;
    EXPECT_EQ(cv::check(box), 1);
    box.u.bd.value = 0x100;  // only the low byte counts
    EXPECT_EQ(cv::check(box), 0);

    PF_ParamDef popup = def(PF_Param_POPUP);
    popup.u.pd.value = 0x103;
    EXPECT_EQ(cv::raw(popup), 0x103);
    EXPECT_EQ(cv::lowByte(popup), 3);
    PF_ParamDef slider = def(PF_Param_SLIDER);
    slider.u.sd.value = -7;
    EXPECT_EQ(cv::raw(slider), -7);

    PF_ParamDef path = def(PF_Param_PATH);
    path.u.path_d.path_id = 4242;
    EXPECT_EQ(cv::pathId(path), 4242);
}

Parameters::Shape shape(int32_t times, int32_t priority) {
    Parameters::Shape s{};
    s.times = times;
    s.priority = priority;
    return s;
}

TEST(Parameters, ShapeWeightsAndPriorityQueue) {
    struct Case {
        int n;
        int32_t times[3];
        int32_t priority[3];
        int32_t weights[8];
        int32_t total;
        uint8_t queue;
    };
    const Case cases[] = {
        {1, {4, 9, 9}, {1, 7, 7}, {4, 0, 0, 0, 0, 0, 0, 0}, 4, 0},  // one shape: never queued
        {3, {2, 3, 4}, {2, 2, 5}, {2, 5, 9, 0, 0, 0, 0, 0}, 9, 1},
        {3, {1, 1, 1}, {4, 4, 4}, {1, 2, 3, 0, 0, 0, 0, 0}, 3, 0},
        {0, {5, 5, 5}, {1, 2, 3}, {0, 0, 0, 0, 0, 0, 0, 0}, 0, 0},
        {2, {INT32_MAX, 5, 0}, {1, 1, 1}, {INT32_MAX, INT32_MAX, 0, 0, 0, 0, 0, 0}, INT32_MAX, 0},
    };
    for (const Case& c : cases) {
        Parameters p{};
        p.shapeNumber = c.n;
        for (int i = 0; i < 3; ++i) p.shapes[i] = shape(c.times[i], c.priority[i]);
        computeShapeWeights(p);
        for (int i = 0; i < 8; ++i) EXPECT_EQ(p.shapeWeights[i], c.weights[i]) << "n " << c.n << " i " << i;
        EXPECT_EQ(p.shapeWeightTotal, c.total);
        EXPECT_EQ(p.queueByPriority, c.queue);
    }
}

bool near(const Color& a, const Color& b, float tol = 2e-6f) {
    return std::fabs(a.alpha - b.alpha) <= tol && std::fabs(a.red - b.red) <= tol &&
           std::fabs(a.green - b.green) <= tol && std::fabs(a.blue - b.blue) <= tol;
}

TEST(Parameters, GlobalShapeFold) {
    Parameters p{};
    p.shapeNumber = 3;
    for (int i = 0; i < 8; ++i) {
        Parameters::Shape& s = p.shapes[i];
        s.size = 100;
        s.scale = 0.5;
        s.minimumScale = 0.25;
        s.opacity = 0.8;
        s.minimumOpacity = 0.1;
        s.phase = 1.0;
        s.color = {1, 1, 0, 0};                 // pure red
        s.strokeColor = {1, 0.8f, 0.4f, 0.4f};  // lightness 0.6
    }
    GlobalShape g;
    g.scale = 2.0;
    g.hue = 370.0f;      // wraps to 10 degrees
    g.lightness = 2.0f;  // 0.6 -> 1.2, saturates to white
    g.saturation = 1.0f;
    g.opacity = 0.5;
    g.phase = 0.25;
    foldGlobalShape(p, g);
    for (int i = 0; i < 3; ++i) {
        const Parameters::Shape& s = p.shapes[i];
        EXPECT_DOUBLE_EQ(s.size, 200);
        EXPECT_DOUBLE_EQ(s.scale, 1.0);
        EXPECT_DOUBLE_EQ(s.minimumScale, 0.25);
        EXPECT_DOUBLE_EQ(s.opacity, 0.4);
        EXPECT_DOUBLE_EQ(s.minimumOpacity, 0.1);
        EXPECT_DOUBLE_EQ(s.phase, 1.25);
        // Red at lightness 0.5 doubled is white as well; hue 10 shows only
        // where lightness stays below 1, so check the stroke and the fill apart.
        EXPECT_TRUE(near(s.color, {1, 1, 1, 1})) << i;
        EXPECT_TRUE(near(s.strokeColor, {1, 1, 1, 1})) << i;
    }
    for (int i = 3; i < 8; ++i) {  // inactive shapes are not folded
        EXPECT_DOUBLE_EQ(p.shapes[i].size, 100);
        EXPECT_TRUE(near(p.shapes[i].color, {1, 1, 0, 0}));
    }

    // Hue alone: 370 degrees turns pure red into the colour of hue 10.
    Parameters q{};
    q.shapeNumber = 1;
    q.shapes[0].color = {1, 1, 0, 0};
    q.shapes[0].strokeColor = {1, 0.25f, 0.5f, 0.75f};
    GlobalShape hue;
    hue.hue = 370.0f;
    foldGlobalShape(q, hue);
    EXPECT_TRUE(near(q.shapes[0].color, {1, 1, 1.0f / 6.0f, 0}));

    // Saturation 0: every colour grey at its own lightness.
    GlobalShape grey;
    grey.saturation = 0.0f;
    Parameters r{};
    r.shapeNumber = 1;
    r.shapes[0].color = {1, 0.75f, 0.5f, 0.25f};      // lightness 0.5
    r.shapes[0].strokeColor = {1, 0.2f, 0.9f, 0.2f};  // lightness 0.55
    foldGlobalShape(r, grey);
    EXPECT_TRUE(near(r.shapes[0].color, {1, 0.5f, 0.5f, 0.5f}));
    EXPECT_TRUE(near(r.shapes[0].strokeColor, {1, 0.55f, 0.55f, 0.55f}));

    // Neutral values still make the round trip and stay within [0, 1].
    Parameters n{};
    n.shapeNumber = 1;
    n.shapes[0].color = {1, 0.3f, 0.6f, 0.9f};
    n.shapes[0].strokeColor = {1, 1, 1, 1};
    foldGlobalShape(n, GlobalShape{});
    EXPECT_TRUE(near(n.shapes[0].color, {1, 0.3f, 0.6f, 0.9f}));
    EXPECT_TRUE(near(n.shapes[0].strokeColor, {1, 1, 1, 1}));
}

TEST(Parameters, EveryFieldHasOneName) {
    // The field list covers the record: its values add up to the record's
    // size less padding, and no name repeats.
    Parameters p{};
    std::size_t count = 0;
    std::set<std::string> names;
    visitFields(p, [&](const std::string& name, const auto&) {
        ++count;
        EXPECT_TRUE(names.insert(name).second) << name;
    });
    EXPECT_EQ(count, names.size());
    EXPECT_TRUE(names.count("shapes[7].priority"));
    EXPECT_TRUE(names.count("mapPost2D.phaseMap.white"));
    EXPECT_TRUE(names.count("frameDuration"));
}

}  // namespace

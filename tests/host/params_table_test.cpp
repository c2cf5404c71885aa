// Every registered definition against the table users' projects were saved
// with (params_expected.tsv, written down independently of the code that
// registers it).
#include "params_fixture.h"

#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>

namespace {

struct Expected {
    int index;
    std::string name, type, dephault, valid, slider, precision, flags, diskId, items, label;
};

std::vector<std::string> split(const std::string& s, char sep) {
    std::vector<std::string> out;
    std::string cell;
    std::istringstream in(s);
    while (std::getline(in, cell, sep)) out.push_back(cell);
    if (!s.empty() && s.back() == sep) out.push_back("");
    return out;
}

std::vector<Expected> readExpected() {
    std::ifstream f(std::string(VEMARO_SOURCE_DIR) + "/tests/host/params_expected.tsv");
    std::vector<Expected> rows;
    std::string line;
    bool header = true;
    while (std::getline(f, line)) {
        if (line.empty() || line[0] == '#') continue;
        if (header) {
            header = false;
            continue;
        }
        std::vector<std::string> c = split(line, '\t');
        if (c.size() != 11) throw std::runtime_error("malformed expected row: " + line);
        rows.push_back({std::stoi(c[0]), c[1], c[2], c[3], c[4], c[5], c[6], c[7], c[8], c[9], c[10]});
    }
    return rows;
}

std::pair<double, double> pair(const std::string& s, const char* sep) {
    std::string::size_type at = s.find(sep);
    return {std::stod(s.substr(0, at)), std::stod(s.substr(at + std::strlen(sep)))};
}

PF_Fixed fixed(double v) { return static_cast<PF_Fixed>(std::lround(v * 65536.0)); }

std::string letters(A_long flags) {
    std::string s;
    if (flags & PF_ParamFlag_CANNOT_TIME_VARY) s += 'N';
    if (flags & PF_ParamFlag_SUPERVISE) s += 'S';
    if (flags & PF_ParamFlag_COLLAPSE_TWIRLY) s += 'T';
    return s;
}

// The slider fields shared by the three slider kinds, as doubles.
struct SliderFields {
    double validMin, validMax, sliderMin, sliderMax;
};

// Float sliders hold their limits in single precision.
void expectRanges(const Expected& e, const SliderFields& got, bool single = false) {
    auto valid = pair(e.valid, "..");
    auto slider = pair(e.slider, "..");
    auto as = [single](double v) { return single ? static_cast<double>(static_cast<float>(v)) : v; };
    EXPECT_EQ(got.validMin, as(valid.first));
    EXPECT_EQ(got.validMax, as(valid.second));
    EXPECT_EQ(got.sliderMin, as(slider.first));
    EXPECT_EQ(got.sliderMax, as(slider.second));
}

void expectPrecision(const Expected& e, A_short precision, A_short display) {
    const bool percent = e.precision.find("percent") != std::string::npos;
    EXPECT_EQ(precision, std::stoi(e.precision));
    EXPECT_EQ(display, percent ? PF_ValueDisplayFlag_PERCENT : PF_ValueDisplayFlag_NONE);
}

float asFloat(const std::string& s) { return static_cast<float>(std::stod(s)); }

}  // namespace

TEST_F(ParamsTest, EveryDefinitionMatchesTheSavedTable) {
    setUpTable();
    const std::vector<Expected> expected = readExpected();
    ASSERT_EQ(expected.size(), 687u);
    for (std::size_t i = 0; i < expected.size(); ++i) ASSERT_EQ(expected[i].index, static_cast<int>(i) + 1);

    for (const Expected& e : expected) {
        SCOPED_TRACE("index " + std::to_string(e.index) + " \"" + e.name + "\"");
        const PF_ParamDef& d = params.definition(e.index);
        EXPECT_STREQ(d.name, e.name.c_str());
        EXPECT_STREQ(hostsim::Params::typeName(d.param_type), e.type.c_str());
        EXPECT_EQ(d.uu.id, std::stoi(e.diskId));
        EXPECT_EQ(letters(d.flags), e.flags);
        EXPECT_EQ(d.flags & ~(PF_ParamFlag_CANNOT_TIME_VARY | PF_ParamFlag_SUPERVISE | PF_ParamFlag_COLLAPSE_TWIRLY),
                  0);
        if (d.param_type != PF_Param_ARBITRARY_DATA) {
            EXPECT_EQ(d.ui_flags, 0);
            EXPECT_EQ(d.ui_width, 0);
            EXPECT_EQ(d.ui_height, 0);
        }
        if (d.param_type != PF_Param_POPUP) {
            EXPECT_TRUE(e.items.empty());
        }
        if (d.param_type != PF_Param_CHECKBOX) {
            EXPECT_TRUE(e.label.empty());
        }

        switch (d.param_type) {
            case PF_Param_FLOAT_SLIDER: {
                const PF_FloatSliderDef& f = d.u.fs_d;
                EXPECT_EQ(f.dephault, asFloat(e.dephault));
                EXPECT_EQ(f.value, std::stod(e.dephault));
                expectRanges(e, {f.valid_min, f.valid_max, f.slider_min, f.slider_max}, true);
                expectPrecision(e, f.precision, f.display_flags);
                EXPECT_EQ(f.curve_tolerance, 0.05f);
                EXPECT_EQ(f.phase, 0.0);
                EXPECT_EQ(f.fs_flags, 0);
                EXPECT_EQ(f.useExponent, 0);
                EXPECT_EQ(f.exponent, 0.0f);
                break;
            }
            case PF_Param_SLIDER: {
                const PF_SliderDef& s = d.u.sd;
                EXPECT_EQ(s.dephault, std::stoi(e.dephault));
                EXPECT_EQ(s.value, s.dephault);
                expectRanges(e, {double(s.valid_min), double(s.valid_max), double(s.slider_min), double(s.slider_max)});
                EXPECT_STREQ(s.value_str, "");
                EXPECT_STREQ(s.value_desc, "");
                EXPECT_TRUE(e.precision.empty());
                break;
            }
            case PF_Param_FIX_SLIDER: {
                const PF_FixedSliderDef& x = d.u.fd;
                EXPECT_EQ(x.dephault, fixed(std::stod(e.dephault)));
                EXPECT_EQ(x.value, x.dephault);
                expectRanges(e, {FIX_2_FLOAT(x.valid_min), FIX_2_FLOAT(x.valid_max), FIX_2_FLOAT(x.slider_min),
                                 FIX_2_FLOAT(x.slider_max)});
                expectPrecision(e, x.precision, x.display_flags);
                break;
            }
            case PF_Param_ANGLE:
                EXPECT_EQ(d.u.ad.dephault, fixed(std::stod(e.dephault)));
                EXPECT_EQ(d.u.ad.value, d.u.ad.dephault);
                EXPECT_EQ(d.u.ad.valid_min, 0);
                EXPECT_EQ(d.u.ad.valid_max, 0);
                break;
            case PF_Param_POINT: {
                auto p = pair(e.dephault, ",");
                EXPECT_EQ(d.u.td.x_dephault, fixed(p.first));
                EXPECT_EQ(d.u.td.y_dephault, fixed(p.second));
                EXPECT_EQ(d.u.td.x_value, d.u.td.x_dephault);
                EXPECT_EQ(d.u.td.y_value, d.u.td.y_dephault);
                EXPECT_EQ(d.u.td.restrict_bounds, 0);
                break;
            }
            case PF_Param_POPUP: {
                std::vector<std::string> items = split(e.items, '|');
                EXPECT_EQ(d.u.pd.dephault, std::stoi(e.dephault));
                EXPECT_EQ(d.u.pd.value, d.u.pd.dephault);
                EXPECT_EQ(d.u.pd.num_choices, static_cast<int>(items.size()));
                EXPECT_STREQ(d.u.pd.u_names, e.items.c_str());
                EXPECT_EQ(params.popupItems(e.index), items);
                break;
            }
            case PF_Param_CHECKBOX:
                EXPECT_EQ(d.u.bd.dephault, std::stoi(e.dephault));
                EXPECT_EQ(d.u.bd.value, d.u.bd.dephault);
                EXPECT_EQ(params.checkboxLabel(e.index), e.label);
                break;
            case PF_Param_COLOR: {
                std::vector<std::string> rgb = split(e.dephault, ',');
                ASSERT_EQ(rgb.size(), 3u);
                const PF_Pixel& c = d.u.cd.dephault;
                EXPECT_EQ(c.alpha, 255);
                EXPECT_EQ(c.red, std::stoi(rgb[0]));
                EXPECT_EQ(c.green, std::stoi(rgb[1]));
                EXPECT_EQ(c.blue, std::stoi(rgb[2]));
                EXPECT_EQ(std::memcmp(&d.u.cd.value, &c, sizeof c), 0);
                break;
            }
            case PF_Param_LAYER:
                EXPECT_EQ(e.dephault, "none");
                EXPECT_EQ(d.u.ld.dephault, PF_LayerDefault_NONE);
                break;
            case PF_Param_PATH:
                EXPECT_EQ(e.dephault, "none");
                EXPECT_EQ(d.u.path_d.path_id, 0u);
                EXPECT_EQ(d.u.path_d.dephault, 0);
                break;
            case PF_Param_ARBITRARY_DATA:
                EXPECT_EQ(d.ui_flags, PF_PUI_CONTROL);
                EXPECT_EQ(d.ui_width, 250);
                EXPECT_EQ(d.ui_height, 30);
                EXPECT_EQ(d.u.arb_d.id, 83);
                EXPECT_EQ(d.u.arb_d.value, nullptr);
                EXPECT_EQ(d.u.arb_d.refconPV, nullptr);
                break;
            case PF_Param_GROUP_START:
            case PF_Param_GROUP_END: EXPECT_TRUE(e.dephault.empty()); break;
            default: ADD_FAILURE() << "unexpected type " << d.param_type;
        }
        if (e.valid.empty()) {
            EXPECT_TRUE(e.slider.empty());
        }
    }
    expectCleanEnd();
}

// The groups nest as the panel shows them: every start has its end, and the
// members sit in the groups the table puts them in.
TEST_F(ParamsTest, GroupsEncloseTheirMembers) {
    setUpTable();
    struct Case {
        int index;
        std::vector<std::string> path;
    };
    const Case cases[] = {
        {2, {}},
        {68, {"1D Map Settings"}},
        {85, {"Variables"}},
        {96, {}},
        {135, {"Transition"}},
        {171, {"Shape 1"}},
        {180, {"Shape 1"}},
        {201, {"Shape 1", "Randomize Color 1"}},
        {545, {"Shape 8"}},
        {546, {}},
        {555, {}},
        {584, {"1D Map", "Color Map", "Randomize Color"}},
        {605, {"Pre 2D Map", "Shape Map"}},
        {684, {"Post 2D Map", "Phase Map"}},
        {685, {"Post 2D Map"}},
        {686, {}},
    };
    for (const Case& c : cases) EXPECT_EQ(params.groupPath(c.index), c.path) << "index " << c.index;
    expectCleanEnd();
}

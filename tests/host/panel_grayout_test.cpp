// Graying out: each popup mode against the parameters it ignores, through
// the panel updates the host sends.
#include "panel_fixture.h"

namespace {

struct GrayCase {
    const char* what;
    std::vector<std::pair<int, double>> values;  // set before the update
    std::set<int> grayed;                        // expected grayed ...
    std::set<int> enabled;                       // ... and enabled afterwards
};

// Every case runs in one instance after the one before, so each also checks
// that a later mode undoes what an earlier one grayed.
const GrayCase kCases[] = {
    {"Point, Number Three", {{1, 1}, {2, 3}}, {6, 7, 8, 9, 10}, {3, 4, 5}},
    {"Point, Number Eight", {{2, 8}}, {}, {3, 4, 5, 6, 7, 8, 9, 10}},
    {"Rectangle, Width", {{1, 5}, {27, 1}}, {29}, {}},
    {"Rectangle, Width & Height", {{27, 2}}, {}, {29}},
    {"Grid, Width", {{1, 6}, {35, 1}}, {37}, {}},
    {"Grid, Width & Height", {{35, 2}}, {}, {37}},
    {"Finite Grid, Width", {{1, 7}, {43, 1}}, {45}, {}},
    {"Finite Grid, Width & Height", {{43, 2}}, {}, {45}},
    {"Path, Vertex", {{1, 9}, {61, 1}}, {62, 63}, {}},
    {"Path, Number", {{61, 2}}, {63}, {62}},
    {"Path, Interval", {{61, 3}}, {62}, {63}},
    {"Graph, Number", {{1, 11}, {100, 1}}, {104}, {101, 102, 103}},
    {"Graph, Delta", {{100, 2}}, {101, 102, 103}, {104}},
    {"Random, Layer Size", {{1, 12}, {106, 1}}, {108, 109, 110, 111}, {107}},
    {"Random, Rectangle", {{106, 2}}, {107, 111}, {108, 109, 110}},
    {"Random, Circle", {{106, 3}}, {107, 109, 110}, {108, 111}},
    // A layout's rules rest while another layout is chosen.
    {"Rectangle's mode under Grid", {{1, 6}, {27, 1}, {35, 2}}, {}, {29, 37}},
    {"Displacement Random", {{120, 1}}, {121, 122, 123, 125}, {127, 124, 126}},
    {"Displacement Map", {{120, 2}}, {127}, {121, 122, 123, 124, 125, 126}},
    {"Transition One Shot", {{130, 1}}, {133}, {}},
    {"Transition Continuous Loop", {{130, 6}}, {}, {133}},
    {"Transition separator", {{130, 5}}, {133}, {}},
    {"Transition Continuous Pingpong", {{130, 7}}, {}, {133}},
    {"Order Normal", {{146, 1}}, {148, 149, 150, 151}, {147}},
    {"Order Random", {{146, 2}}, {149, 150, 151}, {147, 148}},
    {"Order Map", {{146, 3}}, {147, 148}, {149, 150, 151}},
    {"Order Shape", {{146, 4}}, {148, 149, 150, 151}, {147}},
    {"Repeater None", {{1, 1}, {165, 1}}, {166, 167}, {164, 165, 168}},
    {"Repeater 1D", {{165, 2}}, {167}, {164, 165, 166, 168}},
    {"Repeater 2D", {{165, 3}}, {}, {164, 165, 166, 167, 168}},
    {"Repeater under Line", {{1, 2}}, {164, 165, 166, 167, 168}, {}},
    {"Repeater under Triangular Grid", {{1, 8}, {165, 1}}, {164, 165, 166, 167, 168}, {}},
    {"Repeater back under Circle", {{1, 4}, {165, 3}}, {}, {164, 165, 166, 167, 168}},
    {"1D Color Fill", {{579, 1}}, {589, 590, 591}, {}},
    {"1D Color Tint", {{579, 2}}, {589, 590}, {591}},
    {"1D Color Tritone", {{579, 3}}, {591}, {589, 590}},
    {"1D Color Hue", {{579, 4}}, {589, 590}, {591}},
    {"Pre 2D Color Tritone", {{623, 3}}, {635}, {633, 634}},
    {"Pre 2D Color Fill", {{623, 1}}, {633, 634, 635}, {}},
    {"Post 2D Color Tritone", {{664, 3}}, {676}, {674, 675}},
    {"Post 2D Color Hue", {{664, 4}}, {674, 675}, {676}},
};

TEST_F(PanelTest, PopupModesGrayWhatTheyIgnore) {
    for (const GrayCase& c : kCases) {
        SCOPED_TRACE(c.what);
        for (const auto& [index, value] : c.values) set(index, value);
        ASSERT_EQ(update(), PF_Err_NONE);
        for (int i : c.grayed) EXPECT_TRUE(panel.grayed(i)) << "parameter " << i << " should be grayed";
        for (int i : c.enabled) EXPECT_FALSE(panel.grayed(i)) << "parameter " << i << " should be enabled";
    }
    // Displacement X and Y are never the rules' business.
    for (const auto& u : panel.uiUpdates()) EXPECT_TRUE(u.index != 124 && u.index != 126) << u.index;
}

TEST_F(PanelTest, ShapeGroupsBeyondShapeNumberAreGrayedInFull) {
    set(kShapeNumber, 3);
    ASSERT_EQ(update(), PF_Err_NONE);
    for (int s = 3; s < 8; ++s) EXPECT_EQ(grayedIn(member(s, 0), member(s, 46)), span(member(s, 0), member(s, 46)));
    // Shape 3 is in use: its markers and size stay enabled (Circle, Fill: only the stroke is grayed).
    EXPECT_EQ(grayedIn(member(2, 0), member(2, 46)), (std::set<int>{member(2, 29), member(2, 40)}));
}

struct ShapeCase {
    const char* what;
    std::vector<std::pair<int, double>> members;  // member, value
    std::set<int> grayed;                         // members grayed; all others enabled
};

// Shape 1 alone in use; members: 1 Size, 2 Use Scale, 3 Scale, 10 kind,
// 20 Layer Sampling, 24 Toner, 39 Fill/Stroke.
const ShapeCase kShapeCases[] = {
    {"Circle, Fill", {{10, 2}, {39, 1}}, {29, 40}},
    {"Circle, Stroke", {{39, 2}}, {}},
    {"Circle ignores Toner and Use Scale", {{24, 1}, {2, 1}}, {}},
    {"Line, Fill & Stroke", {{10, 1}, {39, 3}}, {}},
    {"Input, Toner None", {{10, 4}, {2, 0}, {24, 1}, {39, 1}}, {3, 25, 26, 27, 28, 30, 31, 32, 33, 34, 35}},
    {"Input, Use Scale", {{2, 1}}, {1, 25, 26, 27, 28, 30, 31, 32, 33, 34, 35}},
    {"Input, HLS", {{24, 2}}, {1, 25, 26, 28}},
    {"Input, Fill", {{24, 3}}, {1, 25, 26, 27}},
    {"Input, Tint", {{24, 4}}, {1, 25, 26}},
    {"Input, Tritone", {{24, 5}}, {1, 27}},
    {"Input, Hue", {{24, 6}}, {1, 25, 26}},
    {"Input ignores Layer Sampling", {{20, 1}}, {1, 25, 26}},
    {"Layer, Current Time", {{10, 5}, {24, 5}}, {1, 21, 22, 23, 27}},
    {"Layer, Still Frame", {{20, 2}}, {1, 27}},
    {"Layer, Play Once", {{20, 3}}, {1, 21, 22, 23, 27}},
    {"Layer, Loop, Toner None", {{20, 4}, {24, 1}}, {1, 25, 26, 27, 28, 30, 31, 32, 33, 34, 35}},
};

TEST_F(PanelTest, ShapeMembersGrayedByKindAndModes) {
    for (const ShapeCase& c : kShapeCases) {
        SCOPED_TRACE(c.what);
        for (const auto& [k, value] : c.members) set(member(0, k), value);
        ASSERT_EQ(update(), PF_Err_NONE);
        std::set<int> grayed;
        for (int k = 0; k < 47; ++k)
            if (panel.grayed(member(0, k))) grayed.insert(k);
        EXPECT_EQ(grayed, c.grayed);
    }
}

}  // namespace

// Hiding: the parameters of every layout but the chosen one, cycles outside
// Line, Grid and Triangular Grid, and the shape members a shape kind ignores.
#include "panel_fixture.h"

namespace {

// Each layout's block, by "Pattern" value.
const std::map<int, std::pair<int, int>> kBlocks = {
    {1, {2, 10}},  {2, {11, 14}}, {3, {15, 19}}, {4, {20, 24}},  {5, {25, 33}},   {6, {34, 41}},
    {7, {42, 49}}, {8, {50, 55}}, {9, {56, 72}}, {10, {73, 82}}, {11, {83, 104}}, {12, {105, 115}},
};

TEST_F(PanelTest, EveryLayoutShowsOnlyItsBlockAndCyclesWhereTheyApply) {
    for (const auto& [pattern, block] : kBlocks) {
        SCOPED_TRACE("Pattern " + std::to_string(pattern));
        set(kPattern, pattern);
        panel.clearLog();
        ASSERT_EQ(update(), PF_Err_NONE);

        std::set<int> expected = span(2, 115);
        for (int i = block.first; i <= block.second; ++i) expected.erase(i);
        const bool cycles = pattern == 2 || pattern == 6 || pattern == 8;
        if (!cycles) expected.insert({117, 118});
        EXPECT_EQ(hiddenIn(1, 168), expected);

        // Every index of the blocks and the two cycle parameters is set each
        // full pass, in ascending order, never undoably; Auto Orient never.
        std::vector<int> pass;
        for (const auto& f : panel.flagChanges())
            if (f.index <= 118) {
                pass.push_back(f.index);
                EXPECT_EQ(f.flag, AEGP_DynStreamFlag_HIDDEN);
                EXPECT_FALSE(f.undoable);
            }
        std::vector<int> all;
        for (int i = 2; i <= 118; ++i)
            if (i != 116) all.push_back(i);
        EXPECT_EQ(pass, all);
    }
    EXPECT_EQ(sequence().initCount, 3);
}

TEST_F(PanelTest, GridAndCircleAsTheyAppear) {
    set(kPattern, 6);
    ASSERT_EQ(update(), PF_Err_NONE);
    EXPECT_EQ(hiddenIn(1, 118), span(2, 33, span(42, 115)));

    set(kPattern, 4);
    ASSERT_EQ(update(), PF_Err_NONE);
    EXPECT_EQ(hiddenIn(20, 24), std::set<int>{});
    EXPECT_TRUE(panel.hidden(117) && panel.hidden(118));
    EXPECT_FALSE(panel.hidden(116));
}

// Members hidden per kind; all others are shown.
struct KindCase {
    int kind;
    const char* name;
    std::set<int> hidden;
};

const KindCase kKinds[] = {
    {1, "Line", {2, 3, 5, 7, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27}},
    {2, "Circle", {2, 3, 5, 6, 7, 8, 11, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27}},
    {3, "Polygon", {2, 3, 5, 6, 7, 8, 11, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27}},
    {4, "Input", {11, 12, 13, 14, 19, 20, 21, 22, 23, 29, 39, 40}},
    {5, "Layer", {11, 12, 13, 14, 16, 17, 18, 29, 39, 40}},
};

TEST_F(PanelTest, ShapeKindsHideTheMembersTheyIgnore) {
    // Members that no kind hides are never touched.
    const std::set<int> neverTouched = {0, 1, 4, 9, 10, 28, 30, 31, 32, 33, 34, 35, 36, 37, 38, 41, 42, 43, 44, 45, 46};
    set(kShapeNumber, 8);  // passes after the first three look only at shapes in use
    for (const KindCase& c : kKinds) {
        SCOPED_TRACE(c.name);
        // The kind goes to a different group each time, so no state is inherited.
        const int s = c.kind + 1;
        setShapeKind(s, c.kind);
        panel.clearLog();
        ASSERT_EQ(update(), PF_Err_NONE);
        std::set<int> hidden;
        for (int k = 0; k < 47; ++k)
            if (panel.hidden(member(s, k))) hidden.insert(k);
        EXPECT_EQ(hidden, c.hidden);
        for (int i : flagged()) {
            if (i >= member(s, 0) && i <= member(s, 46)) {
                EXPECT_EQ(neverTouched.count(i - member(s, 0)), 0u) << i;
            }
        }
    }
}

TEST_F(PanelTest, ChangingAShapesKindShowsWhatItHid) {
    setShapeKind(0, 5);  // Layer
    ASSERT_EQ(update(), PF_Err_NONE);
    EXPECT_TRUE(panel.hidden(member(0, 16)));
    EXPECT_FALSE(panel.hidden(member(0, 19)));
    setShapeKind(0, 4);  // Input
    ASSERT_EQ(update(), PF_Err_NONE);
    EXPECT_FALSE(panel.hidden(member(0, 16)));
    EXPECT_FALSE(panel.hidden(member(0, 18)));
    EXPECT_EQ(hiddenIn(member(0, 19), member(0, 23)), span(member(0, 19), member(0, 23)));
}

TEST_F(PanelTest, AKindOutsideTheListHidesAndShowsNothing) {
    hostsim::ParamValue v;
    v.v[0] = 9;  // no such kind; the host would not hand it out, but the panel must not act on it
    params.setValue(member(1, 10), v);
    ASSERT_EQ(update(), PF_Err_NONE);
    for (int i : flagged()) EXPECT_FALSE(i >= member(1, 0) && i <= member(1, 46)) << i;
}

}  // namespace

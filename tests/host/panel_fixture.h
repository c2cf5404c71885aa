// The effect controls panel under the simulated host: an instance with its
// parameter table, and helpers to set values, send panel updates and read
// back what is hidden and grayed.
#pragma once

#include "Comp.h"
#include "HostFixture.h"
#include "Panel.h"
#include "Params.h"
#include "Streams.h"
#include "VemaroParamTable.h"
#include "VemaroPattern.h"

#include <set>
#include <string>
#include <vector>

class PanelTest : public HostFixture {
protected:
    static constexpr int kPattern = 1;
    static constexpr int kShapeNumber = 169;

    void SetUp() override {
        HostFixture::SetUp();
        startInstance();
        ASSERT_EQ(params.setup(), PF_Err_NONE);
    }
    void TearDown() override {
        EXPECT_EQ(streams.openStreams(), 0) << "effect streams left open";
        HostFixture::TearDown();
    }

    void set(int index, double value) {
        hostsim::ParamValue v;
        v.v[0] = value;
        ASSERT_EQ(params.checkValue(index, v), "") << "parameter " << index;
        params.setValue(index, v);
    }
    // Member k of shape s (0 to 7).
    static int member(int s, int k) { return ParamTable::shapeParam(s + 1, k); }
    void setShapeKind(int s, int kind) { set(member(s, 10), kind); }

    PF_Err update() { return params.send(PF_Cmd_UPDATE_PARAMS_UI); }
    // The three full passes of a new instance, after which passes only apply
    // changes.
    void settle() {
        for (int i = 0; i < 3; ++i) ASSERT_EQ(update(), PF_Err_NONE);
        ASSERT_EQ(sequence().initCount, 3);
        panel.clearLog();
    }
    void useHostVersion(A_short major, A_short minor) { host.nextInData().version = {major, minor}; }

    SequenceData sequence() { return *static_cast<const SequenceData*>(*host.sequenceData()); }

    std::set<int> hiddenIn(int first, int last) const {
        std::set<int> out;
        for (int i = first; i <= last; ++i)
            if (panel.hidden(i)) out.insert(i);
        return out;
    }
    std::set<int> grayedIn(int first, int last) const {
        std::set<int> out;
        for (int i = first; i <= last; ++i)
            if (panel.grayed(i)) out.insert(i);
        return out;
    }
    static std::set<int> span(int first, int last, std::set<int> more = {}) {
        for (int i = first; i <= last; ++i) more.insert(i);
        return more;
    }
    // Indices sent with PF_UpdateParamUI / given a dynamic flag since the last clearLog().
    std::vector<int> uiUpdated() const {
        std::vector<int> out;
        for (const auto& u : panel.uiUpdates()) out.push_back(u.index);
        return out;
    }
    std::vector<int> flagged() const {
        std::vector<int> out;
        for (const auto& f : panel.flagChanges()) out.push_back(f.index);
        return out;
    }

    hostsim::Params& params = host.get<hostsim::Params>();
    hostsim::Panel& panel = host.get<hostsim::Panel>();
    hostsim::Comp& comp = host.get<hostsim::Comp>();
    hostsim::Streams& streams = host.get<hostsim::Streams>();
};

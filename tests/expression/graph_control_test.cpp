// The Graph control drawn through the host's Drawbot suites, with every call
// recorded by the simulated host.
#include "ArbData.h"
#include "CustomUI.h"
#include "Drawbot.h"
#include "HostFixture.h"
#include "Params.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

constexpr int kGraph = 83;
const PF_Rect kFrame = {40, 100, 290, 130};  // left, top, right, bottom: 250 by 30

class GraphControl : public HostFixture {
protected:
    void SetUp() override {
        HostFixture::SetUp();
        ASSERT_EQ(host.get<hostsim::ArbData>().newValue(host, &value), PF_Err_NONE);
        defs.resize(kGraph + 1);
        for (std::size_t n = 0; n < defs.size(); ++n) list.push_back(&defs[n]);
        defs[kGraph].param_type = PF_Param_ARBITRARY_DATA;
        defs[kGraph].u.arb_d.id = kGraph;
        defs[kGraph].u.arb_d.value = value;
        host.nextInData().num_params = static_cast<A_long>(defs.size());
    }
    void TearDown() override {
        EXPECT_EQ(host.suites().outstanding(), 0);
        EXPECT_EQ(bot.live(), 0);
        EXPECT_EQ(bot.badReleases(), 0);
        HostFixture::TearDown();
    }

    void setTexts(const std::string& x, const std::string& y) {
        char* p = static_cast<char*>(*value);
        std::memset(p, 0, 512);
        std::memcpy(p, x.data(), x.size());
        std::memcpy(p + 256, y.data(), y.size());
    }
    PF_Err draw(PF_EventExtra& e) { return ui.send(host, e, list.data()); }
    PF_Err draw() {
        event = ui.drawEvent(kGraph, kFrame);
        return draw(event);
    }

    hostsim::CustomUI& ui = host.get<hostsim::CustomUI>();
    hostsim::Drawbot& bot = host.get<hostsim::Drawbot>();
    PF_ArbitraryH value = nullptr;
    std::vector<PF_ParamDef> defs;
    std::vector<PF_ParamDef*> list;
    PF_EventExtra event{};
};

void expectColor(const DRAWBOT_ColorRGBA& c, float rgb) {
    EXPECT_EQ(c.red, rgb);
    EXPECT_EQ(c.green, rgb);
    EXPECT_EQ(c.blue, rgb);
    EXPECT_EQ(c.alpha, 1.0f);
}

TEST_F(GraphControl, DrawsBothLinesWhiteWithTheDefaults) {
    ASSERT_EQ(draw(), PF_Err_NONE);
    EXPECT_EQ(event.evt_out_flags, PF_EO_HANDLED_EVENT);
    auto s = bot.strings();
    ASSERT_EQ(s.size(), 2u);
    EXPECT_EQ(s[0].text, "x = w * t");
    EXPECT_EQ(s[1].text, "y = sin(2 * pi * t) * h / 2");
    for (int n = 0; n < 2; ++n) {
        expectColor(s[n].color, 1.0f);
        EXPECT_TRUE(s[n].knownBrush && s[n].knownFont);
        EXPECT_EQ(s[n].fontSize, 12.0f);
        EXPECT_EQ(s[n].origin.x, 45.0f);
        EXPECT_EQ(s[n].origin.y, 112.0f + 16.0f * n);
        EXPECT_EQ(s[n].alignment, kDRAWBOT_TextAlignment_Left);
        EXPECT_EQ(s[n].truncation, kDRAWBOT_TextTruncation_None);
        EXPECT_EQ(s[n].truncationWidth, 250.0f);
    }
    // One font and one brush per line, all released within the event.
    auto objects = bot.objects();
    ASSERT_EQ(objects.size(), 3u);
    EXPECT_EQ(objects[0].kind, hostsim::Drawbot::Kind::Font);
}

TEST_F(GraphControl, InvalidTextsAreGrey) {
    struct Case {
        std::string x, y;
        bool xValid, yValid;
    };
    const std::string longText = std::string(120, '1') + " + t";  // wider than the frame, not truncated
    for (const Case& c : {Case{"t", "x + 1", true, false}, Case{"", "t", false, true}, Case{"sin(", "2e", false, false},
                          Case{longText, "t", true, true}}) {
        bot.clear();
        setTexts(c.x, c.y);
        ASSERT_EQ(draw(), PF_Err_NONE);
        auto s = bot.strings();
        ASSERT_EQ(s.size(), 2u);
        EXPECT_EQ(s[0].text, "x = " + c.x);
        EXPECT_EQ(s[1].text, "y = " + c.y);
        expectColor(s[0].color, c.xValid ? 1.0f : 0.3f);
        expectColor(s[1].color, c.yValid ? 1.0f : 0.3f);
    }
}

TEST_F(GraphControl, BytesAboveAsciiAreSignExtended) {
    setTexts("t\xe9", "t");
    ASSERT_EQ(draw(), PF_Err_NONE);
    auto s = bot.strings();
    ASSERT_EQ(s.size(), 2u);
    EXPECT_EQ(s[0].units, (std::u16string{u'x', u' ', u'=', u' ', u't', char16_t(0xFFE9)}));
    expectColor(s[0].color, 0.3f);
}

TEST_F(GraphControl, OtherEventsAreIgnored) {
    struct Case {
        const char* what;
        void (*change)(PF_EventExtra&, std::vector<PF_ParamDef>&, PF_InData&);
    };
    const Case cases[] = {
        {"click", [](PF_EventExtra& e, std::vector<PF_ParamDef>&, PF_InData&) { e.e_type = PF_Event_DO_CLICK; }},
        {"don't draw",
         [](PF_EventExtra& e, std::vector<PF_ParamDef>&, PF_InData&) { e.evt_in_flags = PF_EI_DONT_DRAW; }},
        {"title",
         [](PF_EventExtra& e, std::vector<PF_ParamDef>&, PF_InData&) { e.effect_win.area = PF_EA_PARAM_TITLE; }},
        {"no value",
         [](PF_EventExtra&, std::vector<PF_ParamDef>& d, PF_InData&) { d[kGraph].u.arb_d.value = nullptr; }},
        {"short list", [](PF_EventExtra&, std::vector<PF_ParamDef>&, PF_InData& in) { in.num_params = kGraph; }},
    };
    for (const Case& c : cases) {
        PF_EventExtra e = ui.drawEvent(kGraph, kFrame);
        std::vector<PF_ParamDef> saved = defs;
        PF_InData savedIn = host.nextInData();
        c.change(e, defs, host.nextInData());
        EXPECT_EQ(draw(e), PF_Err_NONE) << c.what;
        EXPECT_EQ(e.evt_out_flags, PF_EO_NONE) << c.what;
        defs = saved;
        host.nextInData() = savedIn;
    }
    EXPECT_TRUE(bot.strings().empty());
    EXPECT_EQ(host.suites().acquired("DRAWBOT Supplier Suite", 1), 0);
}

TEST_F(GraphControl, AFailingDrawCallStopsTheLinesAndReleasesEverything) {
    // The first string fails: the second is not drawn.
    host.faults().failCall("DrawString", 1, 7);
    EXPECT_EQ(draw(), 7);
    EXPECT_EQ(host.faults().calls("DrawString"), 1);
    EXPECT_TRUE(bot.strings().empty());
    EXPECT_EQ(event.evt_out_flags, PF_EO_HANDLED_EVENT);
    // The second fails: the first stands.
    host.faults().clear();
    host.faults().failCall("DrawString", 2, 9);
    EXPECT_EQ(draw(), 9);
    EXPECT_EQ(bot.strings().size(), 1u);
}

TEST_F(GraphControl, DrawbotFailuresBecomeErrorsNotCrashes) {
    for (const char* fn : {"NewBrush", "NewDefaultFont", "GetSurface", "GetSupplier", "PF_GetDrawingReference"}) {
        host.faults().clear();
        bot.clear();
        host.faults().failCall(fn, 1, 11);
        EXPECT_EQ(draw(), 11) << fn;
        EXPECT_TRUE(bot.strings().empty()) << fn;
        EXPECT_EQ(bot.live(), 0) << fn;
    }
    // A brush the host cannot release: the error is reported and the font is
    // still released; no destructor throws.
    host.faults().clear();
    bot.clear();
    host.faults().failCall("ReleaseObject", 1, 13);
    EXPECT_EQ(draw(), 13);
    EXPECT_EQ(bot.strings().size(), 1u);
    auto objects = bot.objects();
    ASSERT_EQ(objects.size(), 2u);  // the font and the first brush
    EXPECT_TRUE(objects[0].released);
    bot.clear();  // the refused release is the host's own doing
    host.clearViolations();
}

TEST_F(GraphControl, MissingSuitesAndDrawingReference) {
    // The custom UI suite is reached through the suite cache: the missing-suite
    // error comes back from the entry point, with the Drawbot suites released.
    host.suites().setMissing(kPFEffectCustomUISuite, 1);
    EXPECT_EQ(draw(), PF_Err_BAD_CALLBACK_PARAM);
    host.suites().setMissing(kPFEffectCustomUISuite, 1, false);
    // A partial acquisition releases only what was acquired.
    host.suites().setMissing(kDRAWBOT_SurfaceSuite, 1);
    EXPECT_EQ(draw(), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(host.suites().released(kDRAWBOT_SupplierSuite, 1), host.suites().acquired(kDRAWBOT_SupplierSuite, 1));
    host.suites().setMissing(kDRAWBOT_SurfaceSuite, 1, false);
    // No drawing reference: nothing drawn, no error.
    ui.noDrawRef = true;
    EXPECT_EQ(draw(), PF_Err_NONE);
    EXPECT_EQ(event.evt_out_flags, PF_EO_NONE);
    EXPECT_TRUE(bot.strings().empty());
}

// A damaged value is drawn from the bytes it has: a field ends at its NUL, at
// 255 characters or at the handle's end, and one the handle does not reach is
// empty (and grey).
TEST_F(GraphControl, DamagedValuesAreDrawnFromTheirOwnBytes) {
    struct Case {
        const char* what;
        std::string bytes;
        std::string x, y;
        bool yValid;
    };
    const std::string a255(255, 'a');
    const Case cases[] = {
        {"no NUL in either field", std::string(512, 'a'), a255, a255, false},
        {"three bytes, no NUL", "t+1", "t+1", "", false},
        {"empty", "", "", "", false},
        {"a y cut short", std::string("t\0", 2) + std::string(254, '-') + "2*t", "t", "2*t", true},
        {"longer than the record",
         std::string("t\0", 2) + std::string(254, '-') + std::string("h\0", 2) + std::string(300, 'z'), "t", "h", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        bot.clear();
        // A handle of exactly these bytes: reading past it fails under ASan.
        PF_Handle h = host.handles().create(c.bytes.size());
        if (!c.bytes.empty()) std::memcpy(*h, c.bytes.data(), c.bytes.size());
        defs[kGraph].u.arb_d.value = h;
        ASSERT_EQ(draw(), PF_Err_NONE);
        auto s = bot.strings();
        ASSERT_EQ(s.size(), 2u);
        EXPECT_EQ(s[0].text, "x = " + c.x);
        EXPECT_EQ(s[1].text, "y = " + c.y);
        expectColor(s[1].color, c.yValid ? 1.0f : 0.3f);
        EXPECT_EQ(host.handles().lockedNow(), 0);
        EXPECT_EQ(host.handles().size(h), c.bytes.size());
    }
}

// Without the host's lock or unlock callback the value cannot be read: an
// error, nothing drawn, nothing held.
TEST_F(GraphControl, MissingHandleCallbacksAreAnError) {
    for (bool lock : {true, false}) {
        SCOPED_TRACE(lock ? "no lock" : "no unlock");
        bot.clear();
        const PF_UtilCallbacks kept = host.utils();
        if (lock)
            host.utils().host_lock_handle = nullptr;
        else
            host.utils().host_unlock_handle = nullptr;
        EXPECT_EQ(draw(), PF_Err_BAD_CALLBACK_PARAM);
        host.utils() = kept;
        EXPECT_TRUE(bot.strings().empty());
        EXPECT_EQ(host.handles().lockedNow(), 0);
    }
}

TEST_F(GraphControl, AValueTheHostCannotLockIsAnError) {
    host.handles().failLocks(1);
    EXPECT_EQ(draw(), 514);
    EXPECT_TRUE(bot.strings().empty());
}

}  // namespace

namespace {

// The whole way: the parameter table registers the Graph default made by the
// effect, and the host draws the control from the params[] it builds.
TEST(GraphControlInstance, DrawsTheRegisteredDefault) {
    hostsim::Host host;
    ASSERT_TRUE(host.load());
    ASSERT_EQ(host.globalSetup(), PF_Err_NONE);
    hostsim::Params& params = host.get<hostsim::Params>();
    ASSERT_EQ(params.setup(), PF_Err_NONE);
    const PF_ParamDef& def = params.definition(kGraph);
    ASSERT_EQ(def.param_type, PF_Param_ARBITRARY_DATA);
    EXPECT_EQ(hostsim::ArbData::x(host, def.u.arb_d.dephault), "w * t");
    EXPECT_EQ(hostsim::ArbData::y(host, def.u.arb_d.dephault), "sin(2 * pi * t) * h / 2");

    PF_EventExtra event = host.get<hostsim::CustomUI>().drawEvent(kGraph, kFrame);
    ASSERT_EQ(params.send(PF_Cmd_EVENT, &event), PF_Err_NONE);
    auto s = host.get<hostsim::Drawbot>().strings();
    ASSERT_EQ(s.size(), 2u);
    EXPECT_EQ(s[0].text, "x = w * t");
    EXPECT_EQ(s[1].text, "y = sin(2 * pi * t) * h / 2");
    EXPECT_EQ(event.evt_out_flags, PF_EO_HANDLED_EVENT);
    EXPECT_EQ(host.globalSetdown(), PF_Err_NONE);
    EXPECT_EQ(host.violations(), std::vector<std::string>{});
    EXPECT_EQ(host.unloadLeaks(), std::vector<std::string>{});
}

}  // namespace

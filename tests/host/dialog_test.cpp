// The "Edit Expressions" dialog end to end: the effect builds the script, the
// host's script engine (simulated) plays the user, and the edited texts come
// back into the Graph parameter through its stream at the current time.
#include "ArbData.h"
#include "Comp.h"
#include "HostFixture.h"
#include "Params.h"
#include "Script.h"
#include "Streams.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kPattern = 1;
constexpr int kGraph = 83;
constexpr double kGraphPattern = 11;
constexpr double kGridPattern = 6;
const std::string kDefaultX = "w * t";
const std::string kDefaultY = "sin(2 * pi * t) * h / 2";

class Dialog : public HostFixture {
protected:
    void SetUp() override {
        HostFixture::SetUp();
        startInstance();
        ASSERT_EQ(params.setup(), PF_Err_NONE);
        setPattern(kGraphPattern);
        comp.setFrameDuration({1, 25});
        comp.setFrame(12);
        host.suites().resetCounts();
    }
    void TearDown() override {
        EXPECT_EQ(host.suites().outstandingList(), std::vector<std::string>{});
        EXPECT_EQ(script.liveMemHandles(), 0);
        EXPECT_EQ(comp.liveEffects(), 0);
        EXPECT_EQ(streams.openStreams(), 0);
        EXPECT_EQ(streams.openValues(), 0);
        EXPECT_EQ(host.handles().lockedNow(), 0);
        endInstance();
        EXPECT_EQ(host.unloadLeaks(), std::vector<std::string>{});
        HostFixture::TearDown();
    }

    void setPattern(double pattern) {
        hostsim::ParamValue v;
        v.v[0] = pattern;
        params.setValue(kPattern, v);
    }
    // A stored Graph value as raw 512 bytes (texts need not be clean: a
    // damaged project may hold anything).
    void storeRaw(const std::string& x, const std::string& y, char fill = '\0') {
        PF_Handle h = host.handles().create(512, true);
        char* p = static_cast<char*>(*h);
        std::memset(p, fill, 512);
        std::memcpy(p, x.data(), std::min<std::size_t>(x.size(), 255));
        p[std::min<std::size_t>(x.size(), 255)] = '\0';
        std::memcpy(p + 256, y.data(), std::min<std::size_t>(y.size(), 255));
        p[256 + std::min<std::size_t>(y.size(), 255)] = '\0';
        hostsim::ParamValue v;
        v.data = h;
        params.setValue(kGraph, v);
    }
    PF_Handle stored() { return params.valueAt(kGraph, now()).data; }
    std::string storedX() { return hostsim::ArbData::x(host, stored()); }
    std::string storedY() { return hostsim::ArbData::y(host, stored()); }
    std::vector<char> storedBytes() {
        const char* p = static_cast<const char*>(*stored());
        return std::vector<char>(p, p + 512);
    }
    A_Time now() { return {host.nextInData().current_time, host.nextInData().time_scale}; }

    PF_Err dialog() { return params.send(PF_Cmd_DO_DIALOG); }
    // The texts the window opened with, as the engine's script saw them.
    void openedWith(std::string& x, std::string& y) {
        const hostsim::Script::Window w = script.lastWindow();
        ASSERT_EQ(w.opened.size(), 2u) << w.error;
        x = w.opened[0];
        y = w.opened[1];
    }

    hostsim::Params& params = host.get<hostsim::Params>();
    hostsim::Comp& comp = host.get<hostsim::Comp>();
    hostsim::Script& script = host.get<hostsim::Script>();
    hostsim::Streams& streams = host.get<hostsim::Streams>();
};

}  // namespace

// Any other layout: the message and nothing else; not even a suite.
TEST_F(Dialog, OtherPatternShowsTheMessageOnly) {
    setPattern(kGridPattern);
    EXPECT_EQ(dialog(), PF_Err_NONE);
    EXPECT_EQ(host.message(), "The current pattern isn't Graph.");
    EXPECT_EQ(host.outData().out_flags, 0);
    EXPECT_TRUE(script.scripts().empty());
    EXPECT_TRUE(host.suites().acquireLog().empty());
}

// The window opens with the stored texts; Cancel writes nothing but the panel
// is refreshed.
TEST_F(Dialog, OpensWithTheStoredTextsAndCancelKeepsThem) {
    script.playDialog(false, [](std::string& x, std::string& y) { x = "t", y = "t"; });
    const std::vector<char> before = storedBytes();
    EXPECT_EQ(dialog(), PF_Err_NONE);
    std::string x, y;
    openedWith(x, y);
    EXPECT_EQ(x, kDefaultX);
    EXPECT_EQ(y, kDefaultY);
    EXPECT_TRUE(script.lastPlatformEncoding());
    EXPECT_FALSE(script.lastAskedForError());
    EXPECT_EQ(script.scripts().back().find_first_of("\r\n"), std::string::npos);
    const hostsim::Script::Window w = script.lastWindow();
    EXPECT_EQ(w.type, "dialog");
    EXPECT_EQ(w.title, "Edit Expressions");
    EXPECT_EQ(w.result, "false@t@t");
    EXPECT_EQ(storedBytes(), before);
    EXPECT_EQ(host.message(), "");
    EXPECT_EQ(host.outData().out_flags, PF_OutFlag_REFRESH_UI);
}

// The dialog's own filter: letters, digits, space and "().,+-*/".
std::string keptByTheWindow(const std::string& text) {
    static const std::string kept = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 ().,+-*/";
    std::string out;
    for (char c : text)
        if (c && kept.find(c) != std::string::npos) out.push_back(c);
    return out;
}

// Texts a damaged project may hold reach the window unchanged, yet cannot
// change what the script does: it makes the same calls into the window as with
// plain texts, and OK without an edit sends back the texts filtered.
TEST_F(Dialog, StoredTextsCannotInjectScript) {
    script.playDialog(true);
    ASSERT_EQ(dialog(), PF_Err_NONE);
    const std::vector<std::string> plainCalls = script.lastWindow().calls;
    ASSERT_FALSE(plainCalls.empty());

    const std::vector<std::string> hostile = {
        "');alert(1);('", "\\');app.quit();//",
        "a\nb\r\nc",      "\"double\" quotes",
        "\\x27\\u0027",   "\xE2\x80\xA8 line separator, \xC3\xA9, \x7F\x01",
        "t@true@1",       "*/ /* <script> ${t}",
        "'+(ok=true)+'",  "');\tok = true;\tui.x.text = 'w';\t('",
    };
    for (const std::string& text : hostile) {
        SCOPED_TRACE(text);
        storeRaw(text, "y " + text);
        ASSERT_EQ(dialog(), PF_Err_NONE);
        const hostsim::Script::Window w = script.lastWindow();
        EXPECT_EQ(w.error, "");
        EXPECT_EQ(w.opened, (std::vector<std::string>{text, "y " + text}));
        EXPECT_EQ(w.calls, plainCalls);
        EXPECT_EQ(w.result, "true@" + keptByTheWindow(text) + "@" + keptByTheWindow("y " + text));
        EXPECT_EQ(storedX(), keptByTheWindow(text));
        EXPECT_EQ(script.scripts().back().find_first_of("\r\n"), std::string::npos);
    }
}

// The window as the user works it, and the reply it sends: a changed text
// longer than 259 characters is cut to 250 by the field; the reply keeps only
// the characters an expression may hold; Cancel or closing the window sends
// "false" and nothing is written.
TEST_F(Dialog, TheWindowsRulesThroughTheEngine) {
    using S = hostsim::Script;
    std::string everyByte;
    for (int b = 1; b < 256; ++b) everyByte.push_back(static_cast<char>(b));
    const std::string n250(250, 'n'), n259(259, 'n'), n260(260, 'n');
    struct Case {
        const char* what;
        std::vector<S::Action> user;
        std::string reply;
        bool written;
    };
    const Case cases[] = {
        {"OK without an edit", {S::press("ok")}, "true@" + kDefaultX + "@" + kDefaultY, true},
        {"edits, then OK", {S::type(0, "a * t"), S::type(1, "h / 2"), S::press("OK")}, "true@a * t@h / 2", true},
        {"260 characters are cut to 250", {S::type(0, n260), S::press("ok")}, "true@" + n250 + "@" + kDefaultY, true},
        {"259 are not", {S::type(1, n259), S::press("ok")}, "true@" + kDefaultX + "@" + n259, true},
        {"the filter",
         {S::type(0, everyByte), S::press("ok")},
         "true@ ()*+,-./0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz@" + kDefaultY,
         true},
        {"an emptied y", {S::type(1, ""), S::press("ok")}, "true@" + kDefaultX + "@", true},
        {"edits, then Cancel", {S::type(0, "a"), S::press("Cancel")}, "false@a@" + kDefaultY, false},
        {"the window closed", {S::type(0, "a"), S::close()}, "false@a@" + kDefaultY, false},
        {"nothing done", {}, "false@" + kDefaultX + "@" + kDefaultY, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        storeRaw(kDefaultX, kDefaultY);
        const std::vector<char> before = storedBytes();
        script.playUser(c.user);
        ASSERT_EQ(dialog(), PF_Err_NONE);
        const S::Window w = script.lastWindow();
        EXPECT_EQ(w.result, c.reply);
        if (!c.written) {
            EXPECT_EQ(storedBytes(), before);
            continue;
        }
        // What is stored is the reply's texts, held to 255 characters.
        const std::size_t at = c.reply.find('@', 5);
        EXPECT_EQ(storedX(), c.reply.substr(5, at - 5).substr(0, 255));
        EXPECT_EQ(storedY(), c.reply.substr(at + 1).substr(0, 255));
    }
}

// The reply as the engine hands it back, and what ends up stored. Each case
// starts from the default texts.
TEST_F(Dialog, RepliesDecideWhatIsWritten) {
    const std::string n300(300, 'n'), n255(255, 'n');
    struct Case {
        std::string reply;
        bool terminated;
        bool written;
        std::string x, y;
    };
    const std::vector<Case> cases = {
        {"true@a * t@b + 1", true, true, "a * t", "b + 1"},
        {"false@a * t@b + 1", true, false, "", ""},
        {"TRUE@a@b", true, false, "", ""},
        {"true@a@b@c", true, false, "", ""},
        {"true@a", true, false, "", ""},
        {"true", true, false, "", ""},
        {"", true, false, "", ""},
        {"no separator at all", true, false, "", ""},
        // Either text may be empty, the last one too.
        {"true@@b", true, true, "", "b"},
        {"true@a@", true, true, "a", ""},
        {"true@@", true, true, "", ""},
        // Characters an expression cannot hold are dropped, whatever sent them.
        {"true@w_$t\t'@h;\"\\", true, true, "wt", "h"},
        // Too long: the first 255 characters and the NUL.
        {"true@" + n300 + "@" + n255 + "x", true, true, n255, n255},
        // No NUL in the handle: its size ends the text.
        {"true@a@b", false, true, "a", "b"},
        // A NUL inside ends the text there.
        {std::string("true@a\0@b", 9), true, false, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply);
        storeRaw(kDefaultX, kDefaultY, 'Q');
        const std::vector<char> before = storedBytes();
        script.reply(c.reply, c.terminated);
        ASSERT_EQ(dialog(), PF_Err_NONE);
        EXPECT_EQ(host.outData().out_flags, PF_OutFlag_REFRESH_UI);
        if (!c.written) {
            EXPECT_EQ(storedBytes(), before);
            continue;
        }
        EXPECT_EQ(storedX(), c.x);
        EXPECT_EQ(storedY(), c.y);
        // Each text is NUL-terminated within its field; the bytes after its NUL
        // are left as they were.
        const std::vector<char> after = storedBytes();
        for (int field = 0; field < 2; ++field) {
            const std::string& text = field ? c.y : c.x;
            const std::size_t at = 256 * static_cast<std::size_t>(field);
            EXPECT_EQ(after[at + text.size()], '\0');
            for (std::size_t k = text.size() + 1; k < 256; ++k)
                ASSERT_EQ(after[at + k], before[at + k]) << "field " << field << " byte " << k;
        }
    }
}

// The user's side of the window: the dialog's filter and its change handler,
// then the effect's 255-character limit.
TEST_F(Dialog, EditsInTheWindowAreStored) {
    struct Case {
        std::string x;
        std::size_t storedLength;
    };
    // 300 and 260 characters are cut to 250 by the field; 257 and 259 pass it
    // and are stored as their first 255.
    for (const Case& c :
         {Case{"a * t + sin(b)", 14}, Case{std::string(300, '1'), 250}, Case{std::string(260, '4'), 250},
          Case{std::string(257, '2'), 255}, Case{std::string(259, '3'), 255}}) {
        SCOPED_TRACE(c.x.size());
        script.playDialog(true, [&](std::string& x, std::string& y) {
            x = c.x;
            y = "h_$ / 2";
        });
        ASSERT_EQ(dialog(), PF_Err_NONE);
        EXPECT_EQ(storedX(), c.x.substr(0, c.storedLength));
        EXPECT_EQ(storedY(), "h / 2");
        // The next dialog opens with it.
        script.playDialog(false);
        ASSERT_EQ(dialog(), PF_Err_NONE);
        std::string x, y;
        openedWith(x, y);
        EXPECT_EQ(x, c.x.substr(0, c.storedLength));
    }
}

// The value written is the one the stream gives at the current layer time,
// before expressions; OK without changes stores the same texts again.
TEST_F(Dialog, WritesTheValueAtTheCurrentTime) {
    script.playDialog(true);
    streams.clearRequests();
    ASSERT_EQ(dialog(), PF_Err_NONE);
    const auto requests = streams.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].index, kGraph);
    EXPECT_EQ(requests[0].time.value, 12);
    EXPECT_EQ(requests[0].time.scale, 25u);
    EXPECT_EQ(requests[0].mode, AEGP_LTimeMode_LayerTime);
    EXPECT_FALSE(requests[0].preExpression);
    EXPECT_EQ(storedX(), kDefaultX);
    EXPECT_EQ(storedY(), kDefaultY);
}

// Each host call of the write-back failing in turn: its error is the result,
// and everything obtained before it is handed back.
TEST_F(Dialog, WriteBackFailures) {
    struct Case {
        const char* fn;
        bool written;  // the value was set before the failing call
        bool held;     // the host still holds what it refused to take back
    };
    const Case cases[] = {{"AEGP_GetNewEffectForEffect", false, false},
                          {"AEGP_GetNewEffectStreamByIndex", false, false},
                          {"AEGP_GetNewStreamValue", false, false},
                          {"AEGP_SetStreamValue", false, false},
                          {"AEGP_DisposeStream", true, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fn);
        storeRaw(kDefaultX, kDefaultY);
        script.reply("true@a@b");
        host.faults().clear();
        host.faults().failCall(c.fn, 1, A_Err_STRUCT);
        EXPECT_EQ(dialog(), A_Err_STRUCT);
        EXPECT_EQ(storedX(), c.written ? "a" : kDefaultX);
        EXPECT_EQ(storedY(), c.written ? "b" : kDefaultY);
        if (c.held) {
            EXPECT_FALSE(host.violations().empty());
            host.clearViolations();
            streams.reclaimAll();
        }
    }
}

// A stream value too small to be Graph data is not written into.
TEST_F(Dialog, RefusesAValueSmallerThanTheRecord) {
    PF_Handle h = host.handles().create(100, true);
    std::memset(*h, 0, 100);
    std::memcpy(*h, "t", 2);
    hostsim::ParamValue v;
    v.data = h;
    params.setValue(kGraph, v);
    script.reply("true@a@b");
    EXPECT_EQ(dialog(), PF_Err_INTERNAL_STRUCT_DAMAGED);
    EXPECT_EQ(host.handles().size(stored()), 100u);
    EXPECT_EQ(storedX(), "t");
}

// A failing engine: its error is the result, a result handle it still gave is
// freed, nothing is written.
TEST_F(Dialog, ScriptFailureWritesNothing) {
    const std::vector<char> before = storedBytes();
    for (bool withResult : {false, true}) {
        script.fail(A_Err_GENERIC, "true@a@b", withResult);
        EXPECT_EQ(dialog(), A_Err_GENERIC);
        EXPECT_EQ(storedBytes(), before);
        EXPECT_EQ(host.outData().out_flags, PF_OutFlag_REFRESH_UI);
    }
    host.faults().clear();
    host.faults().failCall("AEGP_ExecuteScript", 1, A_Err_ALLOC);
    EXPECT_EQ(dialog(), A_Err_ALLOC);
    EXPECT_EQ(storedBytes(), before);
}

// Failures reading the reply: the first error is the result; the handle is
// unlocked and freed all the same.
TEST_F(Dialog, ReplyHandleFailures) {
    const std::vector<char> before = storedBytes();
    for (const char* fn : {"AEGP_GetMemHandleSize", "AEGP_LockMemHandle", "AEGP_FreeMemHandle"}) {
        SCOPED_TRACE(fn);
        script.reply("true@a@b");
        host.faults().clear();
        host.faults().failCall(fn, 1, A_Err_STRUCT);
        EXPECT_EQ(dialog(), A_Err_STRUCT);
        EXPECT_EQ(storedBytes(), before);
        // A refused free leaves the handle where it was: reported, then taken
        // back so the next case starts clean.
        if (std::string(fn) == "AEGP_FreeMemHandle") {
            ASSERT_EQ(host.violations().size(), 1u);
            host.clearViolations();
            EXPECT_EQ(script.reclaimMem(), 1);
        }
    }
}

// Without the suites the dialog needs, no window opens: the command fails with
// 516 before the user could lose edits.
TEST_F(Dialog, MissingSuitesOpenNoWindow) {
    const std::vector<std::pair<std::string, int>> needed = {{"AEGP Utility Suite", 11},
                                                             {"AEGP Memory Suite", 1},
                                                             {"AEGP PF Interface Suite", 1},
                                                             {"AEGP Stream Suite", 9},
                                                             {"AEGP Effect Suite", 2}};
    for (const auto& suite : needed) {
        SCOPED_TRACE(suite.first);
        host.suites().setMissing(suite.first, suite.second);
        EXPECT_EQ(dialog(), PF_Err_BAD_CALLBACK_PARAM);
        EXPECT_TRUE(script.scripts().empty());
        EXPECT_EQ(host.suites().outstanding(), 0);
        EXPECT_EQ(host.handles().lockedNow(), 0);
        host.suites().setMissing(suite.first, suite.second, false);
    }
}

// The records the dialog cannot do without: no window, no suite held.
TEST_F(Dialog, DamagedRecords) {
    host.handles().failLocks(1);  // the global data
    EXPECT_EQ(dialog(), PF_Err_INTERNAL_STRUCT_DAMAGED);

    // A params[] whose Graph entry has lost its value.
    auto array = params.buildArray(now(), params.frame());
    (*array)[kGraph].u.arb_d.value = nullptr;
    host.nextInData().num_params = array->size();
    EXPECT_EQ(host.send(PF_Cmd_DO_DIALOG, nullptr, array->get()), PF_Err_BAD_CALLBACK_PARAM);
    // One too short to hold it.
    host.nextInData().num_params = kGraph;
    EXPECT_EQ(host.send(PF_Cmd_DO_DIALOG, nullptr, array->get()), PF_Err_BAD_CALLBACK_PARAM);
    host.nextInData().num_params = 0;

    EXPECT_TRUE(script.scripts().empty());
}

// A host without the handle lock or unlock callback: an error before any
// window opens, nothing written, nothing held.
TEST_F(Dialog, MissingHandleCallbacksOpenNoWindow) {
    const std::vector<char> before = storedBytes();
    const PF_UtilCallbacks kept = host.utils();
    for (bool lock : {true, false}) {
        SCOPED_TRACE(lock ? "no lock" : "no unlock");
        script.playDialog(true, [](std::string& x, std::string&) { x = "t"; });
        if (lock)
            host.utils().host_lock_handle = nullptr;
        else
            host.utils().host_unlock_handle = nullptr;
        EXPECT_EQ(dialog(), PF_Err_BAD_CALLBACK_PARAM);
        host.utils() = kept;
        EXPECT_TRUE(script.scripts().empty());
        EXPECT_EQ(storedBytes(), before);
        EXPECT_EQ(host.handles().lockedNow(), 0);
    }
}

TEST_F(Dialog, NoGlobalData) {
    ASSERT_EQ(host.globalSetdown(), PF_Err_NONE);
    EXPECT_EQ(dialog(), PF_Err_INTERNAL_STRUCT_DAMAGED);
    EXPECT_TRUE(script.scripts().empty());
}

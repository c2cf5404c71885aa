// The simulated script engine and memory suite: how scripts are read, what the
// engine answers, and the accounting of memory handles.
#include "Script.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

std::string dialogScript(const std::string& x, const std::string& y) {
    return "var w = new Window('dialog', \"t\");\tui.x = g.add('edittext', s, '" + x +
           "');\tui.y = g.add(\"edittext\", s, '" + y + "');";
}

TEST(HostSimScript, ReadsTheEditFieldsAsAnEngineWould) {
    struct Case {
        std::string x, y;  // as written in the script
        bool readable;
        std::string readX, readY;
    };
    const Case cases[] = {
        {"w * t", "h", true, "w * t", "h"},
        {"it\\x27s\\x5C", "\\u0041\\n\\'\\\"\\q", true, "it's\\", "A\n'\"q"},
        {"", "", true, "", ""},
        {"open", "a\nb", false, "", ""},     // a line break inside a literal
        {"bad \\x4", "y", false, "", ""},     // a short escape
        {"bad \\u00G1", "y", false, "", ""},  // not hex
        {"a", "b'", false, "", ""},          // leaves a literal open
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.x + " / " + c.y);
        std::string x, y, code;
        ASSERT_EQ(hostsim::Script::readDialog(dialogScript(c.x, c.y), x, y, &code), c.readable);
        if (!c.readable) continue;
        EXPECT_EQ(x, c.readX);
        EXPECT_EQ(y, c.readY);
        EXPECT_EQ(code, "var w = new Window('', \"\");\tui.x = g.add('', s, '');\tui.y = g.add(\"\", s, '');");
    }
    std::string x, y;
    EXPECT_FALSE(hostsim::Script::readDialog("g.add('edittext', s, 'one');", x, y));
}

TEST(HostSimScript, TheDialogsRules) {
    using S = hostsim::Script;
    EXPECT_EQ(S::dialogReply(true, "w_$ * t", "h@2", "", ""), "true@w * t@h2");
    EXPECT_EQ(S::dialogReply(false, "a", "", "", ""), "false@a@");
    // Only a changed text is cut, and only above 259 characters.
    const std::string n260(260, 'n'), n259(259, 'n');
    EXPECT_EQ(S::dialogReply(true, n260, n259, "", ""), "true@" + n260.substr(0, 250) + "@" + n259);
    EXPECT_EQ(S::dialogReply(true, n260, "", n260, ""), "true@" + n260 + "@");
}

class HostSimScriptRun : public ::testing::Test {
protected:
    void SetUp() override {
        const void* s = nullptr;
        ASSERT_EQ(host.suites().acquire(kAEGPUtilitySuite, 11, &s), kSPNoError);
        utility = static_cast<const AEGP_UtilitySuite11*>(s);
        ASSERT_EQ(host.suites().acquire(kAEGPMemorySuite, 1, &s), kSPNoError);
        memory = static_cast<const AEGP_MemorySuite1*>(s);
    }
    std::string text(AEGP_MemHandle h) {
        A_u_longlong size = 0;
        void* p = nullptr;
        EXPECT_EQ(memory->AEGP_GetMemHandleSize(h, &size), A_Err_NONE);
        EXPECT_EQ(memory->AEGP_LockMemHandle(h, &p), A_Err_NONE);
        std::string t(static_cast<const char*>(p), size);
        EXPECT_EQ(memory->AEGP_UnlockMemHandle(h), A_Err_NONE);
        EXPECT_EQ(memory->AEGP_FreeMemHandle(h), A_Err_NONE);
        return t;
    }

    hostsim::Host host;
    hostsim::Script& script = host.get<hostsim::Script>();
    const AEGP_UtilitySuite11* utility = nullptr;
    const AEGP_MemorySuite1* memory = nullptr;
};

TEST_F(HostSimScriptRun, AnswersAsTold) {
    AEGP_MemHandle result = nullptr, error = nullptr;
    const std::string s = dialogScript("w * t", "h");

    script.playDialog(true, [](std::string& x, std::string&) { x += " + 1"; });
    ASSERT_EQ(utility->AEGP_ExecuteScript(1, s.c_str(), true, &result, nullptr), A_Err_NONE);
    EXPECT_EQ(text(result), std::string("true@w * t + 1@h\0", 17));

    ASSERT_EQ(utility->AEGP_ExecuteScript(1, "g.add('edittext', s, 'open", true, &result, &error), A_Err_GENERIC);
    EXPECT_EQ(result, nullptr);
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(memory->AEGP_FreeMemHandle(error), A_Err_NONE);

    script.reply("raw", false);
    ASSERT_EQ(utility->AEGP_ExecuteScript(1, "x", false, &result, nullptr), A_Err_NONE);
    EXPECT_EQ(text(result), "raw");
    EXPECT_FALSE(script.lastPlatformEncoding());

    script.fail(A_Err_PARAMETER, "broken", true);
    ASSERT_EQ(utility->AEGP_ExecuteScript(1, "x", true, &result, nullptr), A_Err_PARAMETER);
    EXPECT_EQ(text(result), std::string("broken\0", 7));

    EXPECT_EQ(script.scripts().size(), 4u);
    EXPECT_EQ(script.scripts()[0], s);
    EXPECT_EQ(script.liveMemHandles(), 0);
    EXPECT_TRUE(host.violations().empty());
}

TEST_F(HostSimScriptRun, MemoryHandlesAreAccounted) {
    AEGP_MemHandle h = nullptr;
    ASSERT_EQ(memory->AEGP_NewMemHandle(1, "test", 16, AEGP_MemFlag_CLEAR, &h), A_Err_NONE);
    void* p = nullptr;
    ASSERT_EQ(memory->AEGP_LockMemHandle(h, &p), A_Err_NONE);
    EXPECT_EQ(std::memcmp(p, std::string(16, '\0').data(), 16), 0);
    EXPECT_EQ(script.memLocksNow(), 1);
    std::vector<std::string> leaks;
    script.commandLeaks(leaks);
    EXPECT_EQ(leaks, std::vector<std::string>{"1 AEGP mem handle(s) never freed"});

    EXPECT_EQ(memory->AEGP_FreeMemHandle(h), A_Err_NONE);  // still locked: misuse
    EXPECT_EQ(memory->AEGP_FreeMemHandle(h), A_Err_PARAMETER);
    EXPECT_EQ(memory->AEGP_UnlockMemHandle(h), A_Err_PARAMETER);
    EXPECT_EQ(host.violations().size(), 3u);
    EXPECT_EQ(script.liveMemHandles(), 0);
    EXPECT_EQ(script.memHandlesMade(), 1);
    host.clearViolations();
}

}  // namespace

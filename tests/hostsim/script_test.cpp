// The simulated script engine and memory suite: scripts run in a JavaScript
// engine with a window model whose user a test plays, the fixed answers, and
// the accounting of memory handles.
#include "Script.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

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

// A small window script: two fields whose change handler upper-cases the
// text, an OK and a Cancel button, and a result naming the button and both
// texts.
const char* const kWindowScript =
    "var w = new Window('dialog', 'Title');\n"
    "var changes = 0;\n"
    "function up() { ++changes; this.text = this.text.toUpperCase(); }\n"
    "var g = w.add('group');\n"
    "var a = g.add('edittext', [0, 0, 10, 10], 'one'); a.onChange = up;\n"
    "var b = g.add('edittext', undefined, '\\xE9\\x41'); b.onChange = up;\n"
    "var pressed = 'none';\n"
    "w.add('button', undefined, 'OK', {name: 'ok'}).onClick = function () { pressed = 'ok'; w.close(1); };\n"
    "w.add('button', undefined, 'Cancel', {name: 'cancel'});\n"
    "var shown = w.show();\n"
    "[shown, pressed, changes, a.text, b.text].join('|');";

TEST_F(HostSimScriptRun, RunsScriptsAndPlaysTheUser) {
    using S = hostsim::Script;
    struct Case {
        const char* what;
        std::vector<S::Action> user;
        std::string result;
    };
    const Case cases[] = {
        {"no user: the window is closed unanswered",
         {},
         "2|none|0|one|\xE9"
         "A"},
        {"OK through its handler",
         {S::press("ok")},
         "1|ok|0|one|\xE9"
         "A"},
        {"a button found by its label",
         {S::press("OK")},
         "1|ok|0|one|\xE9"
         "A"},
        {"Cancel without a handler closes with 2",
         {S::press("cancel"), S::press("ok")},
         "2|none|0|one|\xE9"
         "A"},
        {"typing a change notifies the field", {S::type(1, "b\xE8"), S::press("ok")}, "1|ok|1|one|B\xC8"},
        {"typing the same text does not",
         {S::type(0, "one"), S::press("ok")},
         "1|ok|0|one|\xE9"
         "A"},
        {"closing the window",
         {S::type(0, "x"), S::close(), S::press("ok")},
         "2|none|1|X|\xE9"
         "A"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        script.playUser(c.user);
        AEGP_MemHandle result = nullptr;
        ASSERT_EQ(utility->AEGP_ExecuteScript(1, kWindowScript, true, &result, nullptr), A_Err_NONE);
        EXPECT_EQ(text(result), c.result + '\0');
        const S::Window w = script.lastWindow();
        EXPECT_TRUE(w.made);
        EXPECT_EQ(w.type, "dialog");
        EXPECT_EQ(w.title, "Title");
        EXPECT_EQ(w.opened, (std::vector<std::string>{"one",
                                                      "\xE9"
                                                      "A"}));
        EXPECT_EQ(w.result, c.result);
    }
    EXPECT_EQ(script.lastWindow().calls,
              (std::vector<std::string>{"window dialog Title", "add group", "add edittext", "add edittext",
                                        "add button OK", "add button Cancel", "show", "close 2"}));

    // The edit a test makes as the user; the changed field alone is typed.
    script.playDialog(true, [](std::string& x, std::string& y) {
        EXPECT_EQ(x, "one");
        EXPECT_EQ(y,
                  "\xE9"
                  "A");
        y = "z";
    });
    AEGP_MemHandle result = nullptr;
    ASSERT_EQ(utility->AEGP_ExecuteScript(1, kWindowScript, true, &result, nullptr), A_Err_NONE);
    EXPECT_EQ(text(result), std::string("1|ok|1|one|Z\0", 13));

    // Without the platform encoding the script and its result are UTF-8.
    ASSERT_EQ(utility->AEGP_ExecuteScript(1, "'\xC3\xA9' + '\\xE9'.length", false, &result, nullptr), A_Err_NONE);
    EXPECT_EQ(text(result), std::string("\xC3\xA9"
                                        "1\0",
                                        4));
    EXPECT_FALSE(script.lastPlatformEncoding());
    EXPECT_EQ(script.liveMemHandles(), 0);
    EXPECT_TRUE(host.violations().empty());
}

TEST_F(HostSimScriptRun, ScriptErrorsFailTheRun) {
    using S = hostsim::Script;
    struct Case {
        std::string script;
        std::vector<S::Action> user;
        std::string error;
    };
    const Case cases[] = {
        {"var a = 'open", {}, "SyntaxError"},
        {"nothing(1)", {}, "ReferenceError"},
        {"throw new Error('own')", {}, "Error: own"},
        {"new Window('dialog').add('slider')", {}, "Error: no control type slider"},
        {"new Window('dialog').show()", {S::type(0, "a")}, "Error: the user finds no edit field 0"},
        {"new Window('dialog').show()", {S::press("ok")}, "Error: the user finds no button ok"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        script.playUser(c.user);
        for (bool askForError : {true, false}) {
            AEGP_MemHandle result = nullptr, error = nullptr;
            EXPECT_EQ(utility->AEGP_ExecuteScript(1, c.script.c_str(), true, &result, askForError ? &error : nullptr),
                      A_Err_GENERIC);
            EXPECT_EQ(result, nullptr);
            EXPECT_EQ(error != nullptr, askForError);
            if (error) {
                const std::string message = text(error);
                EXPECT_EQ(message.rfind(c.error, 0), 0u) << message;
            }
        }
        EXPECT_EQ(script.lastWindow().error.rfind(c.error, 0), 0u);
    }
    EXPECT_EQ(script.liveMemHandles(), 0);
}

TEST_F(HostSimScriptRun, AnswersAsTold) {
    AEGP_MemHandle result = nullptr;
    script.reply("raw", false);
    ASSERT_EQ(utility->AEGP_ExecuteScript(1, "x", false, &result, nullptr), A_Err_NONE);
    EXPECT_EQ(text(result), "raw");
    EXPECT_FALSE(script.lastPlatformEncoding());

    script.fail(A_Err_PARAMETER, "broken", true);
    ASSERT_EQ(utility->AEGP_ExecuteScript(1, "x", true, &result, nullptr), A_Err_PARAMETER);
    EXPECT_EQ(text(result), std::string("broken\0", 7));

    EXPECT_EQ(script.scripts(), (std::vector<std::string>{"x", "x"}));
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

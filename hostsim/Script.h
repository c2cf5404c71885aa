// The host's script engine behind AEGP_ExecuteScript, and "AEGP Memory Suite"
// 1, whose handles carry a script's result back to the effect.
//
// Scripts run in an embedded JavaScript engine (Duktape) that offers the
// small part of a ScriptUI-like window model a dialog script uses: `Window`
// with groups, static texts, edit fields and buttons. When a script shows a
// window, the engine plays the user as a test tells it (typing into the edit
// fields, pressing buttons) and the script's completion value, as text, is the
// result. A script that does not compile or throws fails with A_Err_GENERIC
// and the error's text. A test may instead have the engine answer without
// running anything: with fixed bytes, or with an error.
//
// Memory handles are accounted: a handle the effect still holds at the end of
// a command is a leak; freeing an unknown handle, freeing a locked one or
// unlocking one that is not locked is misuse.
#pragma once

#include "Host.h"

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace hostsim {

class Script : public Component {
public:
    void install(Host& host) override;
    void commandLeaks(std::vector<std::string>& out) const override;
    void unloadLeaks(std::vector<std::string>& out) const override;

    // ---- what the engine answers
    // One thing the user does while a window is shown.
    struct Action {
        enum Kind { Type, Press, Close } kind;
        int field = 0;     // Type: the edit field, in the order the script added them
        std::string text;  // Type: the field's new text; Press: the button's name or label
    };
    static Action type(int field, std::string text) { return {Action::Type, field, std::move(text)}; }
    static Action press(std::string button) { return {Action::Press, 0, std::move(button)}; }
    static Action close() { return {Action::Close, 0, {}}; }
    // Runs scripts; a shown window gets these actions, in order, and is closed
    // with 2 when they end with it still open. This is what a new engine does
    // (with no actions).
    void playUser(std::vector<Action> actions);
    // Runs scripts as a user who edits the first two edit fields' texts (`edit`
    // may change them; a changed field is typed), then presses OK or Cancel.
    using Edit = std::function<void(std::string& x, std::string& y)>;
    void playDialog(bool ok, Edit edit = {});
    // A reply of these bytes, with a NUL after them unless `terminate` is
    // false (the handle then holds exactly the bytes). No script runs.
    void reply(const std::string& bytes, bool terminate = true);
    // The run fails with `err`; with `withResult` the engine still hands back a
    // result handle holding `message`, as an engine reporting a script error
    // may. No script runs.
    void fail(A_Err err, const std::string& message = "Error", bool withResult = false);

    // ---- what the engine saw
    std::vector<std::string> scripts() const;
    // The last run's arguments besides the script.
    bool lastPlatformEncoding() const;
    bool lastAskedForError() const;
    // The last window a script ran, as the engine saw it. Texts are bytes as
    // the platform encoding holds them.
    struct Window {
        bool made = false;
        std::string type, title;
        std::vector<std::string> opened;  // each edit field's text when it was added
        std::vector<std::string> closed;  // ... and when the script ended
        // Every call into the window model, in order ("add edittext", "show",
        // "close 1", ...), edit field texts left out.
        std::vector<std::string> calls;
        std::string result;  // the script's completion value as text
        std::string error;   // the error a failed script threw
    };
    Window lastWindow() const;

    // ---- memory handles
    int liveMemHandles() const;  // held by the effect
    int memHandlesMade() const;
    int memLocksNow() const;
    // Takes back every handle still out (after a free the host refused);
    // returns how many.
    int reclaimMem();

    // Called by the utility suite's table in Core.
    A_Err execute(const A_char* script, A_Boolean platformEncoding, AEGP_MemHandle* result, AEGP_MemHandle* error);

    // Memory suite bodies.
    A_Err newMem(const std::string& bytes, AEGP_MemHandle* out);
    A_Err newMem(A_u_longlong size, bool clear, AEGP_MemHandle* out);
    A_Err freeMem(AEGP_MemHandle h);
    A_Err lockMem(AEGP_MemHandle h, void** p);
    A_Err unlockMem(AEGP_MemHandle h);
    A_Err memSize(AEGP_MemHandle h, A_u_longlong* size);

private:
    enum class Mode { Run, Reply, Fail };
    A_Err run(const std::string& script, bool platformEncoding, std::string& answer);
    struct Block {
        std::vector<char> bytes;
        int locks = 0;
    };
    A_Err add(std::vector<char> bytes, AEGP_MemHandle* out);
    Block* find(AEGP_MemHandle h, const char* function);
    void violation(const std::string& what) const;

    Host* host_ = nullptr;
    mutable std::mutex mutex_;
    Mode mode_ = Mode::Run;
    std::vector<Action> actions_;
    bool edits_ = false;  // actions_ follow from edit_ once the fields are known
    bool ok_ = true;
    Edit edit_;
    Window window_;
    std::string reply_;
    bool terminate_ = true;
    A_Err err_ = A_Err_NONE;
    bool withResult_ = false;
    std::vector<std::string> scripts_;
    bool platformEncoding_ = false;
    bool askedForError_ = false;
    std::map<AEGP_MemHandle, std::unique_ptr<Block>> blocks_;
    int made_ = 0;
    AEGP_MemorySuite1 memory1_{};
};

// The utility suite's AEGP_ExecuteScript.
A_Err executeScript(AEGP_PluginID plugin, const A_char* script, A_Boolean platformEncoding, AEGP_MemHandle* result,
                    AEGP_MemHandle* error);

}  // namespace hostsim

// The host's script engine behind AEGP_ExecuteScript, and "AEGP Memory Suite"
// 1, whose handles carry a script's result back to the effect.
//
// The engine does not interpret scripts. It records each one and answers as a
// test tells it: with a fixed reply, with an error, or by playing the user of
// the effect's "Edit Expressions" dialog: it reads the two initial texts out
// of the script's edit fields (decoding the literals as a script engine
// would; a malformed script is a syntax error), lets the test edit them, and
// answers as the dialog does.
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
    // The user edits the dialog's texts (may be empty: no change), then
    // presses OK or Cancel. This is the answer a new engine gives.
    using Edit = std::function<void(std::string& x, std::string& y)>;
    void playDialog(bool ok, Edit edit = {});
    // A reply of these bytes, with a NUL after them unless `terminate` is
    // false (the handle then holds exactly the bytes).
    void reply(const std::string& bytes, bool terminate = true);
    // The run fails with `err`; with `withResult` the engine still hands back a
    // result handle holding `message`, as an engine reporting a script error
    // may.
    void fail(A_Err err, const std::string& message = "Error", bool withResult = false);

    // ---- what the engine saw
    std::vector<std::string> scripts() const;
    // The last run's arguments besides the script.
    bool lastPlatformEncoding() const;
    bool lastAskedForError() const;

    // The dialog's initial x and y texts as a script engine reads them from
    // the two edit fields. False when the script is malformed (an open
    // literal, a line break inside one, a bad escape) or has no two edit
    // fields. `skeleton` receives the script with every literal emptied: two
    // scripts with the same skeleton run the same code.
    static bool readDialog(const std::string& script, std::string& x, std::string& y,
                           std::string* skeleton = nullptr);
    // The dialog's own rules: a changed text longer than 259 characters is
    // cut to 250; the reply keeps letters, digits, space and ().,+-*/.
    static std::string dialogReply(bool ok, std::string x, std::string y, const std::string& initialX,
                                   const std::string& initialY);

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
    enum class Mode { Dialog, Reply, Fail };
    struct Block {
        std::vector<char> bytes;
        int locks = 0;
    };
    A_Err add(std::vector<char> bytes, AEGP_MemHandle* out);
    Block* find(AEGP_MemHandle h, const char* function);
    void violation(const std::string& what) const;

    Host* host_ = nullptr;
    mutable std::mutex mutex_;
    Mode mode_ = Mode::Dialog;
    bool ok_ = true;
    Edit edit_;
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

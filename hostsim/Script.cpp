#include "Script.h"

#include <duktape.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace hostsim {
namespace {

Host& host() { return *Host::current(); }
Script& engine() { return host().get<Script>(); }

#define HIT(name) \
    if (PF_Err e_ = host().faults().hit(name)) return e_

// Platform-encoded bytes hold one character each; the engine works in
// UTF-8 (its strings in CESU-8, the same for every character a byte can be).
std::string toEngine(const std::string& bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (char c : bytes) {
        const unsigned char b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            out.push_back(c);
        } else {
            out.push_back(static_cast<char>(0xC0 | (b >> 6)));
            out.push_back(static_cast<char>(0x80 | (b & 0x3F)));
        }
    }
    return out;
}

// Back to bytes: characters below 256 become one byte; any other character
// stays as its engine encoding, which has no platform byte.
std::string fromEngine(const char* p, std::size_t n) {
    std::string out;
    for (std::size_t i = 0; i < n;) {
        const unsigned char b = static_cast<unsigned char>(p[i]);
        if ((b & 0xE0) == 0xC0 && i + 1 < n) {
            const unsigned code = ((b & 0x1Fu) << 6) | (static_cast<unsigned char>(p[i + 1]) & 0x3Fu);
            if (code < 0x100) {
                out.push_back(static_cast<char>(code));
                i += 2;
                continue;
            }
        }
        out.push_back(p[i++]);
    }
    return out;
}

std::string text(duk_context* ctx, duk_idx_t at, bool platform) {
    duk_size_t n = 0;
    const char* p = duk_safe_to_lstring(ctx, at, &n);
    return platform ? fromEngine(p, n) : std::string(p, n);
}

// The window model, written in the engine's own language. It returns its
// record of what the script did; `Window` is its only global.
constexpr const char* kWindowModel = R"JS((function (global, nextAction) {
    var record = { window: null, fields: [], buttons: [], calls: [] };
    function str(v) { return v === undefined || v === null ? '' : String(v); }
    var kinds = { group: true, panel: true, statictext: true, edittext: true, button: true };
    var containers = { dialog: true, palette: true, window: true, group: true, panel: true };
    function Control(type, bounds, text, properties) {
        this.type = type;
        this.bounds = bounds;
        this.text = str(text);
        this.properties = properties || {};
        this.children = [];
    }
    Control.prototype.add = function (type, bounds, text, properties) {
        if (!containers[this.type]) throw new Error('a ' + this.type + ' holds no controls');
        if (!kinds[type]) throw new Error('no control type ' + type);
        var c = new Control(type, bounds, text, properties);
        c.parent = this;
        this.children.push(c);
        if (type === 'edittext') {
            record.fields.push({ control: c, opened: c.text });
            record.calls.push('add edittext');
        } else {
            record.calls.push('add ' + type + (c.text ? ' ' + c.text : ''));
        }
        if (type === 'button') record.buttons.push(c);
        return c;
    };
    function Window(type, title, bounds, properties) {
        if (!(this instanceof Window)) return new Window(type, title, bounds, properties);
        Control.call(this, str(type), bounds, title, properties);
        if (!containers[this.type] || this.type === 'group' || this.type === 'panel')
            throw new Error('no window type ' + this.type);
        this.title = str(title);
        record.window = this;
        record.calls.push('window ' + this.type + ' ' + this.title);
    }
    Window.prototype = Object.create(Control.prototype);
    Window.prototype.constructor = Window;
    Window.prototype.center = function () { record.calls.push('center'); };
    Window.prototype.close = function (value) {
        this.shown = false;
        this.result = value === undefined ? 0 : value;
        record.calls.push('close ' + this.result);
    };
    function button(name) {
        for (var i = 0; i < record.buttons.length; ++i) {
            var b = record.buttons[i];
            if (b.properties.name === name || b.text === name) return b;
        }
        throw new Error('the user finds no button ' + name);
    }
    Window.prototype.show = function () {
        record.calls.push('show');
        this.shown = true;
        while (this.shown) {
            var texts = [];
            for (var i = 0; i < record.fields.length; ++i) texts.push(record.fields[i].control.text);
            var a = nextAction(texts);
            if (a === undefined || a.kind === 'close') break;
            if (a.kind === 'type') {
                var f = record.fields[a.field];
                if (!f) throw new Error('the user finds no edit field ' + a.field);
                var before = f.control.text;
                f.control.text = a.text;
                // Committing an edit notifies the field when its text changed.
                if (f.control.text !== before && typeof f.control.onChange === 'function') f.control.onChange();
            } else {
                var b = button(a.text);
                if (typeof b.onClick === 'function') b.onClick();
                else if (b.properties.name === 'ok') this.close(1);
                else if (b.properties.name === 'cancel') this.close(2);
            }
        }
        if (this.shown) this.close(2);
        return this.result;
    };
    global.Window = Window;
    return record;
}))JS";

A_Err newMemHandle(AEGP_PluginID, const A_char*, A_u_longlong size, AEGP_MemFlag flags, AEGP_MemHandle* out) {
    HIT("AEGP_NewMemHandle");
    return engine().newMem(size, (flags & AEGP_MemFlag_CLEAR) != 0, out);
}
A_Err freeMemHandle(AEGP_MemHandle h) {
    HIT("AEGP_FreeMemHandle");
    return engine().freeMem(h);
}
A_Err lockMemHandle(AEGP_MemHandle h, void** p) {
    HIT("AEGP_LockMemHandle");
    return engine().lockMem(h, p);
}
A_Err unlockMemHandle(AEGP_MemHandle h) {
    HIT("AEGP_UnlockMemHandle");
    return engine().unlockMem(h);
}
A_Err memHandleSize(AEGP_MemHandle h, A_u_longlong* size) {
    HIT("AEGP_GetMemHandleSize");
    return engine().memSize(h, size);
}

}  // namespace

A_Err executeScript(AEGP_PluginID, const A_char* script, A_Boolean platformEncoding, AEGP_MemHandle* result,
                    AEGP_MemHandle* error) {
    HIT("AEGP_ExecuteScript");
    return engine().execute(script, platformEncoding, result, error);
}

void Script::install(Host& h) {
    host_ = &h;
    memory1_ = {newMemHandle, freeMemHandle, lockMemHandle, unlockMemHandle, memHandleSize};
    h.suites().add(kAEGPMemorySuite, 1, &memory1_);
}

void Script::violation(const std::string& what) const { host_->addViolation(what); }

void Script::playUser(std::vector<Action> actions) {
    std::lock_guard<std::mutex> g(mutex_);
    mode_ = Mode::Run;
    actions_ = std::move(actions);
    edits_ = false;
}

void Script::playDialog(bool ok, Edit edit) {
    std::lock_guard<std::mutex> g(mutex_);
    mode_ = Mode::Run;
    actions_.clear();
    edits_ = true;
    ok_ = ok;
    edit_ = std::move(edit);
}

void Script::reply(const std::string& bytes, bool terminate) {
    std::lock_guard<std::mutex> g(mutex_);
    mode_ = Mode::Reply;
    reply_ = bytes;
    terminate_ = terminate;
}

void Script::fail(A_Err err, const std::string& message, bool withResult) {
    std::lock_guard<std::mutex> g(mutex_);
    mode_ = Mode::Fail;
    err_ = err;
    reply_ = message;
    withResult_ = withResult;
}

std::vector<std::string> Script::scripts() const {
    std::lock_guard<std::mutex> g(mutex_);
    return scripts_;
}
bool Script::lastPlatformEncoding() const {
    std::lock_guard<std::mutex> g(mutex_);
    return platformEncoding_;
}
bool Script::lastAskedForError() const {
    std::lock_guard<std::mutex> g(mutex_);
    return askedForError_;
}
Script::Window Script::lastWindow() const {
    std::lock_guard<std::mutex> g(mutex_);
    return window_;
}

namespace {

// One run's user: the actions still to play.
struct User {
    std::vector<Script::Action> actions;
    std::size_t next = 0;
    bool edits = false;
    bool ok = false;
    Script::Edit edit;
    bool platform = true;
};

User& userOf(duk_context* ctx) {
    duk_push_heap_stash(ctx);
    duk_get_prop_string(ctx, -1, "user");
    User* user = static_cast<User*>(duk_get_pointer(ctx, -1));
    duk_pop_2(ctx);
    return *user;
}

// nextAction(texts): the user's next action, given the edit fields' texts.
duk_ret_t nextAction(duk_context* ctx) {
    User& user = userOf(ctx);
    if (user.edits) {
        // The user reads the first two fields, edits them, types the changed
        // ones and presses a button.
        user.edits = false;
        std::string texts[2];
        const bool two = duk_get_length(ctx, 0) >= 2;
        for (int k = 0; two && k < 2; ++k) {
            duk_get_prop_index(ctx, 0, static_cast<duk_uarridx_t>(k));
            texts[k] = text(ctx, -1, user.platform);
            duk_pop(ctx);
        }
        std::string x = texts[0], y = texts[1];
        if (two && user.edit) user.edit(x, y);
        if (x != texts[0]) user.actions.push_back(Script::type(0, x));
        if (y != texts[1]) user.actions.push_back(Script::type(1, y));
        user.actions.push_back(Script::press(user.ok ? "ok" : "cancel"));
    }
    if (user.next >= user.actions.size()) return 0;
    const Script::Action& a = user.actions[user.next++];
    static const char* const kinds[] = {"type", "press", "close"};
    duk_push_object(ctx);
    duk_push_string(ctx, kinds[a.kind]);
    duk_put_prop_string(ctx, -2, "kind");
    duk_push_int(ctx, a.field);
    duk_put_prop_string(ctx, -2, "field");
    const std::string t = user.platform ? toEngine(a.text) : a.text;
    duk_push_lstring(ctx, t.data(), t.size());
    duk_put_prop_string(ctx, -2, "text");
    return 1;
}

std::vector<std::string> texts(duk_context* ctx, duk_idx_t record, const char* list, const char* control,
                               const char* name, bool platform) {
    std::vector<std::string> out;
    duk_get_prop_string(ctx, record, list);
    const duk_size_t n = duk_get_length(ctx, -1);
    for (duk_size_t i = 0; i < n; ++i) {
        duk_get_prop_index(ctx, -1, static_cast<duk_uarridx_t>(i));
        if (control) duk_get_prop_string(ctx, -1, control);
        if (name) duk_get_prop_string(ctx, -1, name);
        out.push_back(text(ctx, -1, platform));
        duk_pop_n(ctx, 1 + (control ? 1 : 0) + (name ? 1 : 0));
    }
    duk_pop(ctx);
    return out;
}

// What the record says about the window.
void readRecord(duk_context* ctx, duk_idx_t record, bool platform, Script::Window& w) {
    w.opened = texts(ctx, record, "fields", nullptr, "opened", platform);
    w.closed = texts(ctx, record, "fields", "control", "text", platform);
    w.calls = texts(ctx, record, "calls", nullptr, nullptr, platform);
    duk_get_prop_string(ctx, record, "window");
    if (duk_is_object(ctx, -1)) {
        w.made = true;
        duk_get_prop_string(ctx, -1, "type");
        w.type = text(ctx, -1, platform);
        duk_get_prop_string(ctx, -2, "title");
        w.title = text(ctx, -1, platform);
        duk_pop_2(ctx);
    }
    duk_pop(ctx);
}

[[noreturn]] void engineFatal(void*, const char* message) {
    std::fprintf(stderr, "script engine: fatal error: %s\n", message ? message : "?");
    std::abort();
}

}  // namespace

A_Err Script::run(const std::string& script, bool platformEncoding, std::string& answer) {
    User user;
    user.platform = platformEncoding;
    {
        std::lock_guard<std::mutex> g(mutex_);
        user.actions = actions_;
        user.edits = edits_;
        user.ok = ok_;
        user.edit = edit_;
    }
    duk_context* ctx = duk_create_heap(nullptr, nullptr, nullptr, nullptr, engineFatal);
    if (!ctx) return A_Err_ALLOC;
    duk_push_heap_stash(ctx);
    duk_push_pointer(ctx, &user);
    duk_put_prop_string(ctx, -2, "user");
    duk_pop(ctx);

    // The window model: its record stays at index 0.
    duk_eval_string(ctx, kWindowModel);
    duk_push_global_object(ctx);
    duk_push_c_function(ctx, nextAction, 1);
    duk_call(ctx, 2);

    const std::string source = platformEncoding ? toEngine(script) : script;
    const bool ran = duk_peval_lstring(ctx, source.data(), source.size()) == 0;
    Window w;
    (ran ? w.result : w.error) = text(ctx, -1, platformEncoding);
    readRecord(ctx, 0, platformEncoding, w);
    duk_destroy_heap(ctx);

    answer = ran ? w.result : w.error;
    std::lock_guard<std::mutex> g(mutex_);
    window_ = std::move(w);
    return ran ? A_Err_NONE : A_Err_GENERIC;
}

A_Err Script::execute(const A_char* script, A_Boolean platformEncoding, AEGP_MemHandle* result, AEGP_MemHandle* error) {
    if (result) *result = nullptr;
    if (error) *error = nullptr;
    if (!script) {
        violation("AEGP_ExecuteScript without a script");
        return A_Err_PARAMETER;
    }
    Mode mode;
    std::string answer;
    A_Err err = A_Err_NONE;
    bool withResult = false;
    {
        std::lock_guard<std::mutex> g(mutex_);
        scripts_.push_back(script);
        platformEncoding_ = platformEncoding != 0;
        askedForError_ = error != nullptr;
        mode = mode_;
        answer = reply_;
        if (mode == Mode::Reply && terminate_) answer.push_back('\0');
        err = err_;
        withResult = withResult_;
    }
    if (mode == Mode::Run) {
        err = run(script, platformEncoding != 0, answer);
        answer.push_back('\0');
        if (err) {
            if (error) newMem(answer, error);
            return err;
        }
    }
    if (mode == Mode::Fail) {
        answer.push_back('\0');
        if (error) newMem(answer, error);
        if (withResult && result) newMem(answer, result);
        return err;
    }
    return result ? newMem(answer, result) : A_Err_NONE;
}

// ------------------------------------------------------------------ memory
A_Err Script::newMem(const std::string& bytes, AEGP_MemHandle* out) {
    return add(std::vector<char>(bytes.begin(), bytes.end()), out);
}

A_Err Script::newMem(A_u_longlong size, bool clear, AEGP_MemHandle* out) {
    // Not cleared: stale bytes show as something other than zeros.
    return add(std::vector<char>(static_cast<std::size_t>(size), clear ? '\0' : '\x5A'), out);
}

A_Err Script::add(std::vector<char> bytes, AEGP_MemHandle* out) {
    if (!out) {
        violation("AEGP_NewMemHandle without a place for the handle");
        return A_Err_PARAMETER;
    }
    auto block = std::make_unique<Block>();
    block->bytes = std::move(bytes);
    std::lock_guard<std::mutex> g(mutex_);
    *out = reinterpret_cast<AEGP_MemHandle>(block.get());
    blocks_[*out] = std::move(block);
    ++made_;
    return A_Err_NONE;
}

Script::Block* Script::find(AEGP_MemHandle h, const char* function) {
    auto it = blocks_.find(h);
    if (it != blocks_.end()) return it->second.get();
    violation(std::string(function) + " of an unknown or freed mem handle");
    return nullptr;
}

A_Err Script::freeMem(AEGP_MemHandle h) {
    std::lock_guard<std::mutex> g(mutex_);
    Block* b = find(h, "AEGP_FreeMemHandle");
    if (!b) return A_Err_PARAMETER;
    if (b->locks) violation("AEGP_FreeMemHandle of a locked mem handle");
    blocks_.erase(h);
    return A_Err_NONE;
}

A_Err Script::lockMem(AEGP_MemHandle h, void** p) {
    std::lock_guard<std::mutex> g(mutex_);
    Block* b = find(h, "AEGP_LockMemHandle");
    if (!b || !p) return A_Err_PARAMETER;
    ++b->locks;
    *p = b->bytes.data();
    return A_Err_NONE;
}

A_Err Script::unlockMem(AEGP_MemHandle h) {
    std::lock_guard<std::mutex> g(mutex_);
    Block* b = find(h, "AEGP_UnlockMemHandle");
    if (!b) return A_Err_PARAMETER;
    if (b->locks == 0) {
        violation("AEGP_UnlockMemHandle of a mem handle that is not locked");
        return A_Err_PARAMETER;
    }
    --b->locks;
    return A_Err_NONE;
}

A_Err Script::memSize(AEGP_MemHandle h, A_u_longlong* size) {
    std::lock_guard<std::mutex> g(mutex_);
    Block* b = find(h, "AEGP_GetMemHandleSize");
    if (!b || !size) return A_Err_PARAMETER;
    *size = b->bytes.size();
    return A_Err_NONE;
}

int Script::liveMemHandles() const {
    std::lock_guard<std::mutex> g(mutex_);
    return static_cast<int>(blocks_.size());
}
int Script::memHandlesMade() const {
    std::lock_guard<std::mutex> g(mutex_);
    return made_;
}
int Script::memLocksNow() const {
    std::lock_guard<std::mutex> g(mutex_);
    int n = 0;
    for (const auto& b : blocks_) n += b.second->locks;
    return n;
}

int Script::reclaimMem() {
    std::lock_guard<std::mutex> g(mutex_);
    const int n = static_cast<int>(blocks_.size());
    blocks_.clear();
    return n;
}

void Script::commandLeaks(std::vector<std::string>& out) const {
    if (int n = liveMemHandles()) out.push_back(std::to_string(n) + " AEGP mem handle(s) never freed");
}
void Script::unloadLeaks(std::vector<std::string>& out) const { commandLeaks(out); }

#undef HIT

}  // namespace hostsim

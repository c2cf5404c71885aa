#include "Script.h"

#include <cstring>

namespace hostsim {
namespace {

Host& host() { return *Host::current(); }
Script& engine() { return host().get<Script>(); }

#define HIT(name)                                        \
    if (PF_Err e_ = host().faults().hit(name)) return e_

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// `count` hex digits at s[at]; -1 if they are not all there.
long hexValue(const std::string& s, std::size_t at, int count) {
    if (at + static_cast<std::size_t>(count) > s.size()) return -1;
    long v = 0;
    for (int k = 0; k < count; ++k) {
        int d = hexDigit(s[at + static_cast<std::size_t>(k)]);
        if (d < 0) return -1;
        v = v * 16 + d;
    }
    return v;
}

void appendCode(std::string& out, long code) {
    if (code < 0x100) {
        out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (code >> 6)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xE0 | (code >> 12)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
}

// Splits a script into its string literals (decoded) and the code around them
// (with each literal emptied). Comments and regular expressions are not looked
// into: the dialog's script has no quote in either.
bool lex(const std::string& s, std::vector<std::string>& literals, std::string& skeleton) {
    std::size_t i = 0;
    while (i < s.size()) {
        const char c = s[i++];
        if (c != '\'' && c != '"') {
            skeleton.push_back(c);
            continue;
        }
        std::string text;
        bool closed = false;
        while (i < s.size()) {
            const char d = s[i++];
            if (d == c) {
                closed = true;
                break;
            }
            if (d == '\n' || d == '\r') return false;  // a literal cannot span lines
            if (d != '\\') {
                text.push_back(d);
                continue;
            }
            if (i >= s.size()) return false;
            const char e = s[i++];
            long code = -1;
            switch (e) {
                case 'x': code = hexValue(s, i, 2), i += 2; break;
                case 'u': code = hexValue(s, i, 4), i += 4; break;
                case 'n': code = '\n'; break;
                case 't': code = '\t'; break;
                case 'r': code = '\r'; break;
                case 'b': code = '\b'; break;
                case 'f': code = '\f'; break;
                case 'v': code = '\v'; break;
                case '0': code = 0; break;
                case '\n':
                case '\r': return false;
                default: code = static_cast<unsigned char>(e); break;
            }
            if (code < 0) return false;
            appendCode(text, code);
        }
        if (!closed) return false;
        literals.push_back(text);
        skeleton += c;
        skeleton += c;
    }
    return true;
}

bool keptByDialog(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           std::strchr("().,+-*/ ", c) != nullptr;
}

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

void Script::playDialog(bool ok, Edit edit) {
    std::lock_guard<std::mutex> g(mutex_);
    mode_ = Mode::Dialog;
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

bool Script::readDialog(const std::string& script, std::string& x, std::string& y, std::string* skeleton) {
    std::vector<std::string> literals;
    std::string code;
    if (!lex(script, literals, code)) return false;
    std::vector<std::string> fields;
    for (std::size_t n = 0; n + 1 < literals.size(); ++n)
        if (literals[n] == "edittext") fields.push_back(literals[n + 1]);
    if (fields.size() != 2) return false;
    x = fields[0];
    y = fields[1];
    if (skeleton) *skeleton = code;
    return true;
}

std::string Script::dialogReply(bool ok, std::string x, std::string y, const std::string& initialX,
                                const std::string& initialY) {
    auto field = [](std::string& text, const std::string& initial) {
        if (text != initial && text.size() > 259) text.resize(250);
        std::string kept;
        for (char c : text)
            if (keptByDialog(static_cast<unsigned char>(c))) kept.push_back(c);
        return kept;
    };
    return std::string(ok ? "true" : "false") + "@" + field(x, initialX) + "@" + field(y, initialY);
}

A_Err Script::execute(const A_char* script, A_Boolean platformEncoding, AEGP_MemHandle* result,
                      AEGP_MemHandle* error) {
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
    if (mode == Mode::Dialog) {
        std::string x, y;
        if (!readDialog(script, x, y)) {
            if (error) newMem(std::string("Syntax error") + '\0', error);
            return A_Err_GENERIC;
        }
        std::string editedX = x, editedY = y;
        Edit edit;
        bool ok;
        {
            std::lock_guard<std::mutex> g(mutex_);
            edit = edit_;
            ok = ok_;
        }
        if (edit) edit(editedX, editedY);
        answer = dialogReply(ok, editedX, editedY, x, y) + '\0';
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

#include "Host.h"

#include <dlfcn.h>
#include <elf.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <new>
#include <sstream>
#include <stdexcept>

namespace hostsim {

// ================================================================== Faults
// One thread's count of calls to one function; only that thread writes it.
struct alignas(64) Faults::Counter {
    std::atomic<int> n{0};
};

struct Faults::Site {
    std::string name;
    std::atomic<bool> ruled{false};  // a rule names the function: calls take the lock
    int locked = 0;                  // calls counted under the lock
    std::vector<std::unique_ptr<Counter>> counters;
};

namespace {
std::atomic<unsigned long long> g_faultsIds{0};

// This thread's counters, by host and function name pointer.
struct CounterCache {
    struct Entry {
        unsigned long long faults;
        const char* function;
        void* site;
        void* counter;
    };
    std::vector<Entry> entries;
    std::size_t last = 0;  // the entry found last: hot functions are called in runs
};
thread_local CounterCache t_counters;
}  // namespace

Faults::Faults() : id_(++g_faultsIds) {}
Faults::~Faults() = default;

Faults::Site& Faults::site(const std::string& function) {
    std::unique_ptr<Site>& s = sites_[function];
    if (!s) {
        s = std::make_unique<Site>();
        s->name = function;
    }
    return *s;
}

int Faults::total(const Site& s) {
    int n = s.locked;
    for (const auto& c : s.counters) n += c->n.load(std::memory_order_relaxed);
    return n;
}

void Faults::failCall(const std::string& function, int nth, PF_Err err, bool every) {
    std::lock_guard<std::mutex> g(mutex_);
    rules_[function].push_back({nth, err, every});
    site(function).ruled = true;
}

void Faults::throwBadAlloc(const std::string& function, int nth) {
    std::lock_guard<std::mutex> g(mutex_);
    rules_[function].push_back({nth, PF_Err_NONE, false, true});
    site(function).ruled = true;
}

PF_Err Faults::hit(const std::string& function) {
    bool throwAlloc = false;
    PF_Err err = PF_Err_NONE;
    {
        std::lock_guard<std::mutex> g(mutex_);
        Site& s = site(function);
        const int n = total(s) + 1;
        ++s.locked;
        auto it = rules_.find(function);
        if (it == rules_.end()) return PF_Err_NONE;
        for (const Rule& r : it->second)
            if (n == r.nth || (r.every && n >= r.nth)) {
                throwAlloc = r.throwAlloc;
                err = r.err;
                break;
            }
    }
    if (throwAlloc) throw std::bad_alloc();
    return err;
}

Faults::Counter& Faults::counterOf(const char* function, Site*& site) {
    auto& entries = t_counters.entries;
    // The pointer may be a reused buffer holding another name: the name is
    // compared too.
    auto matches = [&](const CounterCache::Entry& e) {
        return e.faults == id_ && e.function == function &&
               std::strcmp(static_cast<Site*>(e.site)->name.c_str(), function) == 0;
    };
    std::size_t& last = t_counters.last;
    if (last >= entries.size() || !matches(entries[last]))
        for (last = 0; last < entries.size() && !matches(entries[last]); ++last) {}
    if (last < entries.size()) {
        site = static_cast<Site*>(entries[last].site);
        return *static_cast<Counter*>(entries[last].counter);
    }
    std::lock_guard<std::mutex> g(mutex_);
    Site& s = this->site(function);
    s.counters.push_back(std::make_unique<Counter>());
    // Entries of hosts that are gone are never matched again; drop them now
    // and then rather than let them pile up.
    if (entries.size() >= 64) entries.clear();
    entries.push_back({id_, function, &s, s.counters.back().get()});
    last = entries.size() - 1;
    site = &s;
    return *s.counters.back();
}

PF_Err Faults::hit(const char* function) {
    Site* s = nullptr;
    Counter& c = counterOf(function, s);
    if (s->ruled.load(std::memory_order_acquire)) return hit(std::string(function));
    c.n.store(c.n.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
    return PF_Err_NONE;
}

int Faults::calls(const std::string& function) const {
    std::lock_guard<std::mutex> g(mutex_);
    auto it = sites_.find(function);
    return it == sites_.end() ? 0 : total(*it->second);
}

void Faults::clear() {
    std::lock_guard<std::mutex> g(mutex_);
    rules_.clear();
    for (auto& [name, s] : sites_) {
        s->ruled = false;
        s->locked = 0;
        for (auto& c : s->counters) c->n = 0;
    }
}

// ================================================================== suites
void SuiteRegistry::add(const std::string& name, int version, const void* table) {
    std::lock_guard<std::mutex> g(mutex_);
    entries_[{name, version}].table = table;
}

void SuiteRegistry::setMissing(const std::string& name, int version, bool missing) {
    std::lock_guard<std::mutex> g(mutex_);
    entries_[{name, version}].missing = missing;
}

void SuiteRegistry::failAcquire(const std::string& name, int version, int count) {
    std::lock_guard<std::mutex> g(mutex_);
    entries_[{name, version}].failures = count;
}

SPErr SuiteRegistry::acquire(const char* name, A_long version, const void** suite) {
    std::lock_guard<std::mutex> g(mutex_);
    *suite = nullptr;
    Key key{name ? name : "", version};
    log_.push_back(key);
    auto it = entries_.find(key);
    if (it == entries_.end() || it->second.missing || !it->second.table) return kSPSuiteNotFoundError;
    if (it->second.failures > 0) {
        --it->second.failures;
        return kSPSuiteNotFoundError;
    }
    ++it->second.acquired;
    *suite = it->second.table;
    return kSPNoError;
}

SPErr SuiteRegistry::release(const char* name, A_long version) {
    std::string complaint;
    {
        std::lock_guard<std::mutex> g(mutex_);
        Key key{name ? name : "", version};
        auto it = entries_.find(key);
        if (it == entries_.end() || it->second.released >= it->second.acquired) {
            complaint = "suite released more often than acquired: " + key.first + " " + std::to_string(version);
        } else {
            ++it->second.released;
        }
    }
    if (!complaint.empty()) {
        if (violation_) violation_(complaint);
        return kSPSuiteNotFoundError;
    }
    return kSPNoError;
}

int SuiteRegistry::acquired(const std::string& name, int version) const {
    std::lock_guard<std::mutex> g(mutex_);
    auto it = entries_.find({name, version});
    return it == entries_.end() ? 0 : it->second.acquired;
}

int SuiteRegistry::released(const std::string& name, int version) const {
    std::lock_guard<std::mutex> g(mutex_);
    auto it = entries_.find({name, version});
    return it == entries_.end() ? 0 : it->second.released;
}

int SuiteRegistry::outstanding() const {
    std::lock_guard<std::mutex> g(mutex_);
    int n = 0;
    for (const auto& e : entries_) n += e.second.acquired - e.second.released;
    return n;
}

std::vector<std::string> SuiteRegistry::outstandingList() const {
    std::lock_guard<std::mutex> g(mutex_);
    std::vector<std::string> out;
    for (const auto& e : entries_)
        if (e.second.acquired != e.second.released)
            out.push_back(e.first.first + " " + std::to_string(e.first.second) + " held " +
                          std::to_string(e.second.acquired - e.second.released));
    return out;
}

std::vector<std::pair<std::string, int>> SuiteRegistry::acquireLog() const {
    std::lock_guard<std::mutex> g(mutex_);
    return log_;
}

void SuiteRegistry::resetCounts() {
    std::lock_guard<std::mutex> g(mutex_);
    for (auto& e : entries_) e.second.acquired = e.second.released = 0;
    log_.clear();
}

// ================================================================== handles
PF_Handle HandleTable::create(std::size_t size, bool hostOwned) {
    std::lock_guard<std::mutex> g(mutex_);
    if (failAllocs_ > 0) {
        --failAllocs_;
        return nullptr;
    }
    auto b = std::make_unique<Block>();
    // Zero-size handles still get a distinct block so that locking works.
    b->data.reset(new unsigned char[size ? size : 1]());
    b->master = b->data.get();
    b->size = size;
    b->hostOwned = hostOwned;
    PF_Handle h = &b->master;
    blocks_[h] = std::move(b);
    ++created_;
    return h;
}

HandleTable::Block* HandleTable::find(PF_Handle h) const {
    auto it = blocks_.find(h);
    return it == blocks_.end() ? nullptr : it->second.get();
}

void* HandleTable::lock(PF_Handle h) {
    std::string complaint;
    void* p = nullptr;
    {
        std::lock_guard<std::mutex> g(mutex_);
        Block* b = find(h);
        if (!b) {
            complaint = "lock of an unknown handle";
        } else if (failLocks_ > 0) {
            --failLocks_;
        } else {
            ++b->locks;
            p = b->master;
        }
    }
    if (!complaint.empty() && violation_) violation_(complaint);
    return p;
}

void HandleTable::unlock(PF_Handle h) {
    std::string complaint;
    {
        std::lock_guard<std::mutex> g(mutex_);
        Block* b = find(h);
        if (!b)
            complaint = "unlock of an unknown handle";
        else if (b->locks <= 0)
            complaint = "unlock of a handle that is not locked";
        else
            --b->locks;
    }
    if (!complaint.empty() && violation_) violation_(complaint);
}

void HandleTable::dispose(PF_Handle h) {
    std::string complaint;
    {
        std::lock_guard<std::mutex> g(mutex_);
        auto it = blocks_.find(h);
        if (it == blocks_.end())
            complaint = "dispose of an unknown or already disposed handle";
        else {
            // The record stays allocated so that its address, the handle, is
            // never handed out again: a stale handle stays recognisably stale.
            it->second->data.reset();
            it->second->master = nullptr;
            graveyard_.push_back(std::move(it->second));
            blocks_.erase(it);
        }
    }
    if (!complaint.empty() && violation_) violation_(complaint);
}

std::size_t HandleTable::size(PF_Handle h) const {
    std::lock_guard<std::mutex> g(mutex_);
    Block* b = find(h);
    return b ? b->size : 0;
}

PF_Err HandleTable::resize(std::size_t size, PF_Handle* h) {
    std::lock_guard<std::mutex> g(mutex_);
    Block* b = h ? find(*h) : nullptr;
    if (!b) return PF_Err_BAD_CALLBACK_PARAM;
    if (b->locks > 0) return PF_Err_BAD_CALLBACK_PARAM;
    std::unique_ptr<unsigned char[]> data(new unsigned char[size ? size : 1]());
    std::memcpy(data.get(), b->data.get(), std::min(size, b->size));
    b->data = std::move(data);
    b->master = b->data.get();
    b->size = size;
    return PF_Err_NONE;
}

bool HandleTable::valid(PF_Handle h) const {
    std::lock_guard<std::mutex> g(mutex_);
    return find(h) != nullptr;
}

int HandleTable::lockCount(PF_Handle h) const {
    std::lock_guard<std::mutex> g(mutex_);
    Block* b = find(h);
    return b ? b->locks : -1;
}

void HandleTable::setHostOwned(PF_Handle h, bool owned) {
    std::lock_guard<std::mutex> g(mutex_);
    if (Block* b = find(h)) b->hostOwned = owned;
}

int HandleTable::live() const {
    std::lock_guard<std::mutex> g(mutex_);
    return static_cast<int>(blocks_.size());
}

int HandleTable::liveEffectOwned() const {
    std::lock_guard<std::mutex> g(mutex_);
    int n = 0;
    for (const auto& b : blocks_) n += b.second->hostOwned ? 0 : 1;
    return n;
}

int HandleTable::lockedNow() const {
    std::lock_guard<std::mutex> g(mutex_);
    int n = 0;
    for (const auto& b : blocks_) n += b.second->locks > 0 ? 1 : 0;
    return n;
}

void HandleTable::disposeAll() {
    std::lock_guard<std::mutex> g(mutex_);
    blocks_.clear();
}

// ================================================================== PiPL
const PiPLProperty* PiPL::find(const std::string& key) const {
    for (const auto& p : properties)
        if (p.key == key) return &p;
    return nullptr;
}

std::string PiPL::pascalString(const std::string& key) const {
    const PiPLProperty* p = find(key);
    if (!p || p->data.empty()) return {};
    std::size_t n = std::min<std::size_t>(p->data[0], p->data.size() - 1);
    return std::string(p->data.begin() + 1, p->data.begin() + 1 + static_cast<long>(n));
}

std::string PiPL::cString(const std::string& key) const {
    const PiPLProperty* p = find(key);
    if (!p) return {};
    std::string s;
    for (unsigned char c : p->data) {
        if (!c) break;
        s.push_back(static_cast<char>(c));
    }
    return s;
}

uint32_t PiPL::long32(const std::string& key) const {
    const PiPLProperty* p = find(key);
    if (!p || p->data.size() < 4) return 0;
    return uint32_t(p->data[0]) | uint32_t(p->data[1]) << 8 | uint32_t(p->data[2]) << 16 | uint32_t(p->data[3]) << 24;
}

namespace {

uint32_t readU32(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

std::string readCode(const unsigned char* p) {  // stored byte-reversed
    return std::string{static_cast<char>(p[3]), static_cast<char>(p[2]), static_cast<char>(p[1]),
                       static_cast<char>(p[0])};
}

}  // namespace

bool parsePiPL(const unsigned char* bytes, std::size_t size, PiPL& out, std::string* error) {
    auto fail = [&](const std::string& m) {
        if (error) *error = "malformed property list: " + m;
        return false;
    };
    out = PiPL{};
    if (size < 10) return fail("too short");
    out.version = bytes[0] | bytes[1] << 8;
    uint32_t count = readU32(bytes + 6);
    std::size_t pos = 10;
    for (uint32_t i = 0; i < count; ++i) {
        if (size - pos < 16) return fail("property header past the end");
        PiPLProperty p;
        p.vendor = readCode(bytes + pos);
        p.key = readCode(bytes + pos + 4);
        uint32_t length = readU32(bytes + pos + 12);
        pos += 16;
        if (length > size - pos) return fail("property data past the end");
        p.data.assign(bytes + pos, bytes + pos + length);
        pos += (length + 3u) & ~3u;
        out.properties.push_back(std::move(p));
        if (pos > size) return fail("padding past the end");
    }
    return true;
}

bool readPiPLSection(const std::string& path, std::vector<unsigned char>& bytes, std::string* error) {
    auto fail = [&](const std::string& m) {
        if (error) *error = m;
        return false;
    };
    std::ifstream f(path, std::ios::binary);
    if (!f) return fail("cannot open " + path);
    f.seekg(0, std::ios::end);
    const uint64_t fileSize = static_cast<uint64_t>(f.tellg());
    // Only the headers, the section names and the one section are read: a
    // module built with debug information is large.
    auto readAt = [&](uint64_t offset, void* dst, uint64_t n) {
        if (offset > fileSize || n > fileSize - offset) return false;
        f.seekg(static_cast<std::streamoff>(offset));
        f.read(static_cast<char*>(dst), static_cast<std::streamsize>(n));
        return static_cast<bool>(f);
    };
    Elf64_Ehdr eh;
    if (!readAt(0, &eh, sizeof eh) || std::memcmp(eh.e_ident, ELFMAG, SELFMAG) != 0 ||
        eh.e_ident[EI_CLASS] != ELFCLASS64)
        return fail(path + " is not a 64-bit ELF module");
    if (eh.e_shoff == 0 || eh.e_shentsize != sizeof(Elf64_Shdr) || eh.e_shstrndx >= eh.e_shnum)
        return fail(path + " has no readable section table");
    std::vector<Elf64_Shdr> sections(eh.e_shnum);
    if (!readAt(eh.e_shoff, sections.data(), uint64_t(eh.e_shnum) * sizeof(Elf64_Shdr)))
        return fail(path + " has no readable section table");
    const Elf64_Shdr& names = sections[eh.e_shstrndx];
    std::vector<char> nameTable(names.sh_size + 1, '\0');
    if (!readAt(names.sh_offset, nameTable.data(), names.sh_size)) return fail(path + " has a damaged section table");
    for (const Elf64_Shdr& sh : sections) {
        if (sh.sh_name >= names.sh_size || std::strcmp(nameTable.data() + sh.sh_name, ".pipl") != 0) continue;
        bytes.resize(sh.sh_size);
        if (!readAt(sh.sh_offset, bytes.data(), sh.sh_size)) return fail(path + ": .pipl section past the end");
        return true;
    }
    return fail(path + " has no plug-in property list (.pipl section)");
}

// ================================================================== module
Module::~Module() { unload(); }

bool Module::load(const std::string& path, std::string* error) {
    unload();
    std::vector<unsigned char> bytes;
    if (!readPiPLSection(path, bytes, error)) return false;
    PiPL pipl;
    if (!parsePiPL(bytes.data(), bytes.size(), pipl, error)) return false;
    std::string entryName = pipl.cString("8664");
    if (entryName.empty()) {
        if (error) *error = path + ": the property list names no entry point";
        return false;
    }
    void* h = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!h) {
        if (error) *error = std::string("cannot load module: ") + dlerror();
        return false;
    }
    void* sym = dlsym(h, entryName.c_str());
    if (!sym) {
        if (error) *error = path + ": no entry point named " + entryName;
        dlclose(h);
        return false;
    }
    handle_ = h;
    entry_ = reinterpret_cast<EntryPoint>(sym);
    pipl_ = std::move(pipl);
    path_ = path;
    return true;
}

void Module::unload() {
    if (handle_) dlclose(handle_);
    handle_ = nullptr;
    entry_ = nullptr;
}

// ================================================================== host
namespace {

Host* g_current = nullptr;

struct EffectInstance {
    int dummy;
};
EffectInstance g_effectInstance;

SPErr basicAcquire(const char* name, A_long version, const void** suite) {
    return Host::current()->suites().acquire(name, version, suite);
}
SPErr basicRelease(const char* name, A_long version) { return Host::current()->suites().release(name, version); }
A_Boolean basicIsEqual(const char* a, const char* b) { return std::strcmp(a, b) == 0; }
SPErr basicAllocate(size_t size, void** block) {
    *block = std::malloc(size);
    return *block ? kSPNoError : A_Err_ALLOC;
}
SPErr basicFree(void* block) {
    std::free(block);
    return kSPNoError;
}
SPErr basicRealloc(void* block, size_t size, void** out) {
    *out = std::realloc(block, size);
    return *out ? kSPNoError : A_Err_ALLOC;
}
SPErr basicUndefined() { return kSPNoError; }

}  // namespace

Host* Host::current() { return g_current; }

Host::Host() {
    if (g_current) throw std::logic_error("only one host at a time");
    g_current = this;
    effectRef_ = reinterpret_cast<PF_ProgPtr>(&g_effectInstance);
    auto complain = [this](const std::string& v) { addViolation(v); };
    suites_.violation_ = complain;
    handles_.violation_ = complain;
    basic_.AcquireSuite = basicAcquire;
    basic_.ReleaseSuite = basicRelease;
    basic_.IsEqual = basicIsEqual;
    basic_.AllocateBlock = basicAllocate;
    basic_.FreeBlock = basicFree;
    basic_.ReallocateBlock = basicRealloc;
    basic_.Undefined = basicUndefined;

    nextIn_.utils = &utils_;
    nextIn_.effect_ref = effectRef_;
    nextIn_.pica_basicP = &basic_;
    nextIn_.quality = PF_Quality_HI;
    nextIn_.version = {13, 28};
    nextIn_.appl_id = 0x46584645;  // our choice
    nextIn_.time_step = 1;
    nextIn_.time_scale = 24;
    nextIn_.local_time_step = 1;
    nextIn_.total_time = 240;
    nextIn_.width = 640;
    nextIn_.height = 360;
    nextIn_.downsample_x = {1, 1};
    nextIn_.downsample_y = {1, 1};
    nextIn_.pixel_aspect_ratio = {1, 1};
    nextIn_.field = PF_Field_FRAME;
    installComponents(*this);
}

Host::~Host() {
    unload();
    components_.clear();
    g_current = nullptr;
}

void Host::addViolation(const std::string& v) {
    std::lock_guard<std::mutex> g(violationMutex_);
    violations_.push_back(v);
}

bool Host::load(const std::string& path, std::string* error) { return module_.load(path, error); }

void Host::unload() { module_.unload(); }

PF_Err Host::send(PF_Cmd cmd, void* extra, PF_ParamDef** params, PF_LayerDef* output) {
    if (!module_.loaded()) throw std::logic_error("no module loaded");
    nextIn_.global_data = global_;
    nextIn_.sequence_data = sequence_;
    in_ = nextIn_;
    out_ = PF_OutData{};
    out_.global_data = global_;
    out_.sequence_data = sequence_;
    out_.out_flags = presetFlags_;
    out_.out_flags2 = presetFlags2_;
    for (Component* c : order_) c->beforeCommand(*this, cmd);
    PF_Err err = module_.entry()(cmd, &in_, &out_, params, output, extra);
    for (Component* c : order_) c->afterCommand(*this, cmd);

    // What the effect hands back.
    if (cmd == PF_Cmd_GLOBAL_SETUP) global_ = out_.global_data;
    if (cmd == PF_Cmd_GLOBAL_SETDOWN) global_ = nullptr;
    if (cmd == PF_Cmd_SEQUENCE_SETUP || cmd == PF_Cmd_SEQUENCE_RESETUP) sequence_ = out_.sequence_data;
    if (cmd == PF_Cmd_SEQUENCE_SETDOWN) sequence_ = nullptr;

    std::vector<std::string> leaks;
    for (const std::string& s : suites_.outstandingList()) leaks.push_back("suite still held: " + s);
    if (int locked = handles_.lockedNow()) leaks.push_back(std::to_string(locked) + " handle(s) left locked");
    for (Component* c : order_) c->commandLeaks(leaks);
    for (const std::string& l : leaks) addViolation("after command " + std::to_string(cmd) + ": " + l);
    return err;
}

PF_Err Host::globalSetup() { return send(PF_Cmd_GLOBAL_SETUP); }
PF_Err Host::sequenceSetup() { return send(PF_Cmd_SEQUENCE_SETUP); }
PF_Err Host::sequenceResetup() { return send(PF_Cmd_SEQUENCE_RESETUP); }
PF_Err Host::sequenceSetdown() { return send(PF_Cmd_SEQUENCE_SETDOWN); }
PF_Err Host::globalSetdown() { return send(PF_Cmd_GLOBAL_SETDOWN); }

std::vector<std::string> Host::unloadLeaks() const {
    std::vector<std::string> out;
    if (int n = handles_.liveEffectOwned()) out.push_back(std::to_string(n) + " handle(s) never disposed");
    for (const std::string& s : suites_.outstandingList()) out.push_back("suite still held: " + s);
    for (Component* c : order_) c->unloadLeaks(out);
    return out;
}

}  // namespace hostsim

// A simulated host: loads the effect module, owns the records, handles and
// suites the effect reaches, sends it commands in the host's order, and keeps
// account of everything the effect acquires so that leaks and misuse show up in
// tests. Parts of the host (parameters, layers, worlds, ...) are components,
// each in its own file, installed by installComponents().
#pragma once

#include "AE_EffectSuites.h"
#include "AE_GeneralPlug.h"

#include <atomic>
#include <cstdarg>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <typeindex>
#include <utility>
#include <vector>

namespace hostsim {

class Host;

// ------------------------------------------------------------------ faults
// "Fail the Nth call of function F with error E": every simulated host function
// asks Faults::hit(name) first and returns what it gives when that is non-zero.
// Calls are counted per thread, so that functions the effect calls per pixel
// from every band take no lock while no rule names them.
class Faults {
public:
    Faults();
    ~Faults();
    Faults(const Faults&) = delete;
    Faults& operator=(const Faults&) = delete;

    // nth counts from 1; every = true fails that call and all after it.
    void failCall(const std::string& function, int nth, PF_Err err, bool every = false);
    // The Nth call throws std::bad_alloc, as an allocation inside the host
    // might: the effect must not let it reach the host.
    void throwBadAlloc(const std::string& function, int nth);
    PF_Err hit(const std::string& function);
    PF_Err hit(const char* function);
    int calls(const std::string& function) const;
    void clear();

private:
    struct Rule {
        int nth;
        PF_Err err;
        bool every;
        bool throwAlloc = false;
    };
    struct Counter;
    struct Site;
    Site& site(const std::string& function);  // with mutex_ held
    static int total(const Site& s);
    Counter& counterOf(const char* function, Site*& site);

    mutable std::mutex mutex_;
    std::map<std::string, std::vector<Rule>> rules_;
    std::map<std::string, std::unique_ptr<Site>> sites_;
    const unsigned long long id_;  // tells the thread caches of hosts apart
};

// ------------------------------------------------------------------ suites
class SuiteRegistry {
public:
    // The registry does not own the table; components keep theirs alive.
    void add(const std::string& name, int version, const void* table);
    void setMissing(const std::string& name, int version, bool missing = true);
    // Acquisition returns an error and no pointer for the next `count` attempts.
    void failAcquire(const std::string& name, int version, int count = 1);

    SPErr acquire(const char* name, A_long version, const void** suite);
    SPErr release(const char* name, A_long version);

    int acquired(const std::string& name, int version) const;
    int released(const std::string& name, int version) const;
    int outstanding() const;  // acquires minus releases, all suites
    std::vector<std::string> outstandingList() const;
    std::vector<std::pair<std::string, int>> acquireLog() const;  // in order
    void resetCounts();

private:
    using Key = std::pair<std::string, int>;
    struct Entry {
        const void* table = nullptr;
        bool missing = false;
        int failures = 0;
        int acquired = 0;
        int released = 0;
    };
    mutable std::mutex mutex_;
    std::map<Key, Entry> entries_;
    std::vector<Key> log_;
    friend class Host;
    std::function<void(const std::string&)> violation_;
};

// ------------------------------------------------------------------ handles
class HandleTable {
public:
    PF_Handle create(std::size_t size, bool hostOwned = false);
    void* lock(PF_Handle h);
    void unlock(PF_Handle h);
    void dispose(PF_Handle h);
    std::size_t size(PF_Handle h) const;
    PF_Err resize(std::size_t size, PF_Handle* h);

    bool valid(PF_Handle h) const;
    int lockCount(PF_Handle h) const;
    // Ownership moves to the host (a parameter value, pre-render data): such
    // handles are not leaks of the effect, and the host disposes them.
    void setHostOwned(PF_Handle h, bool owned = true);

    // Allocation fails (returns null) for the next `count` calls.
    void failAllocations(int count = 1) { failAllocs_ = count; }
    // Locking returns null for the next `count` calls.
    void failLocks(int count = 1) { failLocks_ = count; }

    int live() const;             // handles not disposed
    int liveEffectOwned() const;  // of those, not owned by the host
    int lockedNow() const;        // handles with a lock count above 0
    int created() const { return created_; }
    void disposeAll();

private:
    struct Block {
        std::unique_ptr<unsigned char[]> data;
        void* master = nullptr;  // PF_Handle points here
        std::size_t size = 0;
        int locks = 0;
        bool hostOwned = false;
    };
    Block* find(PF_Handle h) const;
    mutable std::mutex mutex_;
    std::map<PF_Handle, std::unique_ptr<Block>> blocks_;
    std::vector<std::unique_ptr<Block>> graveyard_;
    int failAllocs_ = 0;
    int failLocks_ = 0;
    int created_ = 0;
    friend class Host;
    std::function<void(const std::string&)> violation_;
};

// ------------------------------------------------------------------ module
struct PiPLProperty {
    std::string vendor;  // as read, e.g. "8BIM"
    std::string key;     // e.g. "kind"
    std::vector<unsigned char> data;
};

struct PiPL {
    int version = 0;
    std::vector<PiPLProperty> properties;
    const PiPLProperty* find(const std::string& key) const;
    std::string pascalString(const std::string& key) const;  // length-prefixed value
    std::string cString(const std::string& key) const;       // NUL-terminated value
    uint32_t long32(const std::string& key) const;
};

// Parses the property list bytes; false with a message on malformed input.
bool parsePiPL(const unsigned char* bytes, std::size_t size, PiPL& out, std::string* error);
// Reads the ELF section ".pipl" of a module file.
bool readPiPLSection(const std::string& path, std::vector<unsigned char>& bytes, std::string* error);

using EntryPoint = PF_Err (*)(PF_Cmd, PF_InData*, PF_OutData*, PF_ParamDef*[], PF_LayerDef*, void*);

class Module {
public:
    ~Module();
    bool load(const std::string& path, std::string* error);
    void unload();
    bool loaded() const { return handle_ != nullptr; }
    EntryPoint entry() const { return entry_; }
    const PiPL& pipl() const { return pipl_; }
    const std::string& path() const { return path_; }

private:
    void* handle_ = nullptr;
    EntryPoint entry_ = nullptr;
    PiPL pipl_;
    std::string path_;
};

// ------------------------------------------------------------------ components
class Component {
public:
    virtual ~Component() = default;
    // Registers suites and fills callback slots of the host's records.
    virtual void install(Host&) {}
    // Fills per-command fields of in_data before a command is sent.
    virtual void beforeCommand(Host&, PF_Cmd) {}
    virtual void afterCommand(Host&, PF_Cmd) {}
    // Anything still held by the effect that should have been returned by the
    // end of a command.
    virtual void commandLeaks(std::vector<std::string>&) const {}
    // Anything still held by the effect at unload.
    virtual void unloadLeaks(std::vector<std::string>&) const {}
};

// Adds every component to a new host; defined in Components.cpp.
void installComponents(Host& host);

// ------------------------------------------------------------------ host
class Host {
public:
    Host();
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    // The host whose callbacks are live. One host at a time.
    static Host* current();

    SuiteRegistry& suites() { return suites_; }
    HandleTable& handles() { return handles_; }
    Faults& faults() { return faults_; }
    Module& module() { return module_; }

    template <class C>
    C& get() {
        auto it = components_.find(std::type_index(typeid(C)));
        if (it == components_.end()) throw std::logic_error("component not installed");
        return *static_cast<C*>(it->second.get());
    }
    template <class C, class... Args>
    C& add(Args&&... args) {
        auto c = std::make_unique<C>(std::forward<Args>(args)...);
        C& ref = *c;
        order_.push_back(c.get());
        components_[std::type_index(typeid(C))] = std::move(c);
        ref.install(*this);
        return ref;
    }

    // Module life.
    bool load(const std::string& path = VEMARO_MODULE_PATH, std::string* error = nullptr);
    void unload();

    // Sends one command with fresh in/out records and returns the result.
    // Leaks found at the end of the command are appended to violations().
    PF_Err send(PF_Cmd cmd, void* extra = nullptr, PF_ParamDef** params = nullptr, PF_LayerDef* output = nullptr);

    // The host's order: global setup, params setup, sequence setup.
    PF_Err globalSetup();
    PF_Err sequenceSetup();
    PF_Err sequenceResetup();
    PF_Err sequenceSetdown();
    PF_Err globalSetdown();

    // Records of the last command (inspect after send()).
    PF_InData& inData() { return in_; }
    PF_OutData& outData() { return out_; }
    // Records the next command starts from; components and tests adjust them.
    PF_InData& nextInData() { return nextIn_; }
    // Flags the host has already set in the output record before the next
    // command (the effect must add to them, not replace them).
    void presetOutFlags(PF_OutFlags flags, PF_OutFlags2 flags2) {
        presetFlags_ = flags;
        presetFlags2_ = flags2;
    }
    PF_UtilCallbacks& utils() { return utils_; }
    const SPBasicSuite* basicSuite() const { return &basic_; }
    PF_ProgPtr effectRef() const { return effectRef_; }

    PF_Handle globalData() const { return global_; }
    PF_Handle sequenceData() const { return sequence_; }

    // Misuse and leaks seen so far (double dispose, a suite released without
    // acquisition, a suite still held at the end of a command, ...).
    const std::vector<std::string>& violations() const { return violations_; }
    void addViolation(const std::string& v);
    void clearViolations() { violations_.clear(); }
    // Leaks at unload: handles the effect kept, plus the components' reports.
    std::vector<std::string> unloadLeaks() const;

    // Message the effect left in the output record of the last command.
    std::string message() const { return out_.return_msg; }

    AEGP_PluginID pluginId() const { return 77; }

private:
    SuiteRegistry suites_;
    HandleTable handles_;
    Faults faults_;
    Module module_;
    std::map<std::type_index, std::unique_ptr<Component>> components_;
    std::vector<Component*> order_;
    PF_InData nextIn_{};
    PF_InData in_{};
    PF_OutData out_{};
    PF_UtilCallbacks utils_{};
    SPBasicSuite basic_{};
    PF_ProgPtr effectRef_ = nullptr;
    PF_OutFlags presetFlags_ = 0;
    PF_OutFlags2 presetFlags2_ = 0;
    PF_Handle global_ = nullptr;
    PF_Handle sequence_ = nullptr;
    std::vector<std::string> violations_;
    mutable std::mutex violationMutex_;
};

}  // namespace hostsim

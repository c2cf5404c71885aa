// Per-command cache of host suites: each entry is acquired on first use and
// released when the handler goes out of scope (also during an unwind).
#pragma once

#include "AE_EffectSuites.h"
#include "AE_GeneralPlug.h"
#include "SuiteTable.h"

#include <atomic>

// Records of suites this effect never calls stay incomplete types.
#define VEMARO_DECLARE_SUITE_TYPE(accessor, type, name, version) struct type;
VEMARO_ALL_SUITES(VEMARO_DECLARE_SUITE_TYPE)
#undef VEMARO_DECLARE_SUITE_TYPE

class AEGP_SuiteHandler {
public:
    explicit AEGP_SuiteHandler(const SPBasicSuite* basic);
    ~AEGP_SuiteHandler();
    AEGP_SuiteHandler(const AEGP_SuiteHandler&) = delete;
    AEGP_SuiteHandler& operator=(const AEGP_SuiteHandler&) = delete;

#define VEMARO_ACCESSOR(accessor, type, name, version) \
    type* accessor() const { \
        void* s = accessor##_.load(std::memory_order_acquire); \
        return static_cast<type*>(s ? s : fill(accessor##_, name, version)); \
    }
    VEMARO_ALL_SUITES(VEMARO_ACCESSOR)
#undef VEMARO_ACCESSOR

    void ReleaseSuite(char* name, int version);
    void ReleaseAllSuites();
    [[noreturn]] void MissingSuiteError() const;

    const SPBasicSuite* basic() const { return basic_; }

private:
    // Bands on the host's worker threads may reach an entry for the first time
    // together: the first pointer stored wins and a second acquisition is
    // handed back at once, so every acquire still has exactly one release.
    void* fill(std::atomic<void*>& entry, const char* name, int version) const;

    const SPBasicSuite* basic_;
#define VEMARO_ENTRY(accessor, type, name, version) mutable std::atomic<void*> accessor##_{nullptr};
    VEMARO_ALL_SUITES(VEMARO_ENTRY)
#undef VEMARO_ENTRY
};

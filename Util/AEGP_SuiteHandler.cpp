#include "AEGP_SuiteHandler.h"

AEGP_SuiteHandler::AEGP_SuiteHandler(const SPBasicSuite* basic) : basic_(basic) {
    if (!basic_) MissingSuiteError();
}

AEGP_SuiteHandler::~AEGP_SuiteHandler() { ReleaseAllSuites(); }

void* AEGP_SuiteHandler::fill(std::atomic<void*>& entry, const char* name, int version) const {
    const void* suite = nullptr;
    SPErr err = basic_->AcquireSuite(name, version, &suite);
    if (err != kSPNoError || !suite) MissingSuiteError();
    void* expected = nullptr;
    void* mine = const_cast<void*>(suite);
    if (entry.compare_exchange_strong(expected, mine, std::memory_order_acq_rel)) return mine;
    basic_->ReleaseSuite(name, version);
    return expected;
}

void AEGP_SuiteHandler::ReleaseSuite(char* name, int version) { basic_->ReleaseSuite(name, version); }

void AEGP_SuiteHandler::ReleaseAllSuites() {
#define VEMARO_RELEASE(accessor, type, name, version) \
    if (accessor##_.exchange(nullptr)) basic_->ReleaseSuite(name, version);
    VEMARO_ALL_SUITES(VEMARO_RELEASE)
#undef VEMARO_RELEASE
}

void AEGP_SuiteHandler::MissingSuiteError() const { throw static_cast<int>(PF_Err_BAD_CALLBACK_PARAM); }

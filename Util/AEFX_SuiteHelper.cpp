#include "AEFX_SuiteHelper.h"

#include <initializer_list>

namespace {

void reportFailure(PF_InData* in_data, PF_OutData* out_data, const char* text) {
    out_data->out_flags |= PF_OutFlag_DISPLAY_ERROR_MESSAGE;
    // The texts are fixed and hold no conversion, so they serve as the format.
    in_data->utils->ansi.sprintf(out_data->return_msg, text);
}

}  // namespace

PF_Err AEFX_AcquireSuite(PF_InData* in_data, PF_OutData* out_data, const char* name, int32_t version,
                         const char* error_string, void** suite) {
    const SPBasicSuite* basic = in_data->pica_basicP;
    if (basic) {
        const void* p = nullptr;
        basic->AcquireSuite(name, version, &p);
        *suite = const_cast<void*>(p);
        if (*suite) return PF_Err_NONE;
    }
    reportFailure(in_data, out_data, error_string ? error_string : "Not able to acquire AEFX Suite.");
    return PF_Err_BAD_CALLBACK_PARAM;
}

PF_Err AEFX_ReleaseSuite(PF_InData* in_data, PF_OutData* out_data, const char* name, int32_t version,
                         const char* error_string) {
    const SPBasicSuite* basic = in_data->pica_basicP;
    if (basic) {
        basic->ReleaseSuite(name, version);
        return PF_Err_NONE;
    }
    reportFailure(in_data, out_data, error_string ? error_string : "Not able to release AEFX Suite.");
    return PF_Err_BAD_CALLBACK_PARAM;
}

PF_Err AEFX_AcquireDrawbotSuites(PF_InData* in_data, PF_OutData* out_data, DRAWBOT_Suites* suites) {
    struct Entry {
        const char* name;
        void** slot;
    } entries[] = {
        {"DRAWBOT Draw Suite", reinterpret_cast<void**>(&suites->drawbot_suiteP)},
        {"DRAWBOT Supplier Suite", reinterpret_cast<void**>(&suites->supplier_suiteP)},
        {"DRAWBOT Surface Suite", reinterpret_cast<void**>(&suites->surface_suiteP)},
        {"DRAWBOT Path Suite", reinterpret_cast<void**>(&suites->path_suiteP)},
    };
    for (const Entry& e : entries) {
        PF_Err err = AEFX_AcquireSuite(in_data, out_data, e.name, 1, nullptr, e.slot);
        if (err) return err;
    }
    return PF_Err_NONE;
}

PF_Err AEFX_ReleaseDrawbotSuites(PF_InData* in_data, PF_OutData* out_data) {
    for (const char* name :
         {"DRAWBOT Draw Suite", "DRAWBOT Supplier Suite", "DRAWBOT Surface Suite", "DRAWBOT Path Suite"})
        AEFX_ReleaseSuite(in_data, out_data, name, 1, nullptr);
    return PF_Err_NONE;
}

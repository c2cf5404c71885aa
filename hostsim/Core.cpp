#include "Core.h"

#include "Script.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace hostsim {
namespace {

Host& host() { return *Host::current(); }

PF_Handle newHandle(A_u_longlong size) {
    if (host().faults().hit("host_new_handle")) return nullptr;
    return host().handles().create(static_cast<std::size_t>(size));
}
void* lockHandle(PF_Handle h) { return host().handles().lock(h); }
void unlockHandle(PF_Handle h) { host().handles().unlock(h); }
void disposeHandle(PF_Handle h) { host().handles().dispose(h); }
A_u_longlong handleSize(PF_Handle h) { return host().handles().size(h); }
PF_Err resizeHandle(A_u_longlong size, PF_Handle* h) { return host().handles().resize(size, h); }

int ansiSprintf(A_char* dst, const A_char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    // The host does not know the destination's size; the effect's messages fit
    // the 256-byte message buffer.
    int n = std::vsnprintf(dst, PF_MAX_EFFECT_MSG_LEN + 1, fmt, ap);
    va_end(ap);
    return n;
}
A_char* ansiStrcpy(A_char* dst, const A_char* src) { return std::strcpy(dst, src); }

double m_atan(double x) { return std::atan(x); }
double m_atan2(double y, double x) { return std::atan2(y, x); }
double m_ceil(double x) { return std::ceil(x); }
double m_cos(double x) { return std::cos(x); }
double m_exp(double x) { return std::exp(x); }
double m_fabs(double x) { return std::fabs(x); }
double m_floor(double x) { return std::floor(x); }
double m_fmod(double x, double y) { return std::fmod(x, y); }
double m_hypot(double x, double y) { return std::hypot(x, y); }
double m_log(double x) { return std::log(x); }
double m_log10(double x) { return std::log10(x); }
double m_pow(double x, double y) { return std::pow(x, y); }
double m_sin(double x) { return std::sin(x); }
double m_sqrt(double x) { return std::sqrt(x); }
double m_tan(double x) { return std::tan(x); }
double m_asin(double x) { return std::asin(x); }
double m_acos(double x) { return std::acos(x); }

A_Err registerWithAEGP(AEGP_GlobalRefcon, const A_char* name, AEGP_PluginID* id) {
    if (PF_Err e = host().faults().hit("AEGP_RegisterWithAEGP")) return e;
    Core& core = host().get<Core>();
    ++core.registrations;
    core.registeredName = name ? name : "";
    *id = host().pluginId();
    return A_Err_NONE;
}
A_Err reportInfo(AEGP_PluginID, const A_char*) { return A_Err_NONE; }
A_Err getMainHWND(void*) { return A_Err_NONE; }
A_Err startUndoGroup(const A_char*) { return A_Err_NONE; }
A_Err endUndoGroup() { return A_Err_NONE; }

PF_Err abortCheck(PF_ProgPtr) {
    Core& core = host().get<Core>();
    ++core.abortCalls;
    return core.abortError.load();
}
PF_Err progress(PF_ProgPtr, A_long, A_long) { return host().get<Core>().abortError.load(); }

}  // namespace

void Core::install(Host& h) {
    PF_UtilCallbacks& u = h.utils();
    u.host_new_handle = newHandle;
    u.host_lock_handle = lockHandle;
    u.host_unlock_handle = unlockHandle;
    u.host_dispose_handle = disposeHandle;
    u.host_get_handle_size = handleSize;
    u.host_resize_handle = resizeHandle;
    u.ansi.atan = m_atan;
    u.ansi.atan2 = m_atan2;
    u.ansi.ceil = m_ceil;
    u.ansi.cos = m_cos;
    u.ansi.exp = m_exp;
    u.ansi.fabs = m_fabs;
    u.ansi.floor = m_floor;
    u.ansi.fmod = m_fmod;
    u.ansi.hypot = m_hypot;
    u.ansi.log = m_log;
    u.ansi.log10 = m_log10;
    u.ansi.pow = m_pow;
    u.ansi.sin = m_sin;
    u.ansi.sqrt = m_sqrt;
    u.ansi.tan = m_tan;
    u.ansi.sprintf = ansiSprintf;
    u.ansi.strcpy = ansiStrcpy;
    u.ansi.asin = m_asin;
    u.ansi.acos = m_acos;

    handleSuite_ = {newHandle, lockHandle, unlockHandle, disposeHandle, handleSize, resizeHandle};
    h.suites().add(kPFHandleSuite, 2, &handleSuite_);

    utility7_ = {reportInfo, registerWithAEGP, getMainHWND, startUndoGroup, endUndoGroup};
    utility11_ = {reportInfo, registerWithAEGP, getMainHWND, startUndoGroup, endUndoGroup, executeScript};
    h.suites().add(kAEGPUtilitySuite, 7, &utility7_);
    h.suites().add(kAEGPUtilitySuite, 11, &utility11_);

    h.nextInData().inter.abort = abortCheck;
    h.nextInData().inter.progress = progress;
}

}  // namespace hostsim

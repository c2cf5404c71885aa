// libFuzzer target: flat Graph data and scanned text of any length and
// content, in blocks of exactly that size, through the arbitrary-data handler.
#include "AE_CustomUI.h"
#include "VemaroExpressionData.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

struct Block {
    void* data;
    size_t size;
};

PF_Handle newHandle(A_u_longlong size) {
    Block* b = static_cast<Block*>(std::malloc(sizeof(Block)));
    b->data = std::malloc(size ? size : 1);
    b->size = size;
    return reinterpret_cast<PF_Handle>(b);  // its first member is the master pointer
}
void* lockHandle(PF_Handle h) { return reinterpret_cast<Block*>(h)->data; }
void unlockHandle(PF_Handle) {}
void disposeHandle(PF_Handle h) {
    std::free(reinterpret_cast<Block*>(h)->data);
    std::free(reinterpret_cast<Block*>(h));
}
A_u_longlong handleSize(PF_Handle h) { return reinterpret_cast<Block*>(h)->size; }

bool terminated(PF_Handle h) {
    const char* p = static_cast<const char*>(lockHandle(h));
    return strnlen(p, 256) < 256 && strnlen(p + 256, 256) < 256;
}

PF_Err request(PF_InData* in, PF_ArbParamsExtra& extra) {
    extra.id = 83;
    return Graph::HandleData(in, nullptr, nullptr, nullptr, &extra, 83);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    PF_UtilCallbacks utils{};
    utils.host_new_handle = newHandle;
    utils.host_lock_handle = lockHandle;
    utils.host_unlock_handle = unlockHandle;
    utils.host_dispose_handle = disposeHandle;
    utils.host_get_handle_size = handleSize;
    PF_InData in{};
    in.utils = &utils;

    std::vector<char> bytes(data, data + size);  // exactly sized: no terminating NUL
    const char* p = bytes.empty() ? "" : bytes.data();

    PF_ArbParamsExtra e{};
    PF_ArbitraryH flat = nullptr;
    e.which_function = PF_Arbitrary_UNFLATTEN_FUNC;
    e.u.unflatten_func_params = {nullptr, static_cast<A_u_long>(size), p, &flat};
    PF_Err err = request(&in, e);
    if ((err != PF_Err_NONE) != (size > 512) || (flat && !terminated(flat))) __builtin_trap();

    PF_ArbitraryH scanned = nullptr;
    e = PF_ArbParamsExtra{};
    e.which_function = PF_Arbitrary_SCAN_FUNC;
    e.u.scan_func_params = {nullptr, p, static_cast<A_u_long>(size), &scanned};
    if (request(&in, e) || !scanned || !terminated(scanned)) __builtin_trap();

    // Printed text scans back to an equal value.
    char printed[512];
    e = PF_ArbParamsExtra{};
    e.which_function = PF_Arbitrary_PRINT_FUNC;
    e.u.print_func_params = {nullptr, 0, scanned, sizeof printed, printed};
    if (request(&in, e)) __builtin_trap();
    PF_ArbitraryH back = nullptr;
    e = PF_ArbParamsExtra{};
    e.which_function = PF_Arbitrary_SCAN_FUNC;
    e.u.scan_func_params = {nullptr, printed, sizeof printed, &back};
    if (request(&in, e) || !back) __builtin_trap();
    PF_ArbCompareResult same = -1;
    e = PF_ArbParamsExtra{};
    e.which_function = PF_Arbitrary_COMPARE_FUNC;
    e.u.compare_func_params = {nullptr, scanned, back, &same};
    if (request(&in, e) || same != PF_ArbCompare_EQUAL) __builtin_trap();

    for (PF_ArbitraryH h : {flat, scanned, back})
        if (h) disposeHandle(h);
    return 0;
}

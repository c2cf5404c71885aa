#include "VemaroExpressionData.h"

#include "AE_CustomUI.h"

#include <algorithm>
#include <cstring>

namespace Graph {
namespace {

constexpr A_u_long kDataSize = sizeof(GraphData);
// The print size the host is told: room for two full fields and the tab. Two
// full fields with the NUL need one byte more; such a value prints only into
// a larger buffer.
constexpr A_u_long kPrintSize = 2 * kMaxTextLength + 1;

// Copies a text of at most 255 characters into a field, NUL-filling the rest
// so that no stale byte is ever stored or saved.
void setField(char (&field)[kFieldSize], const char* text, std::size_t length) {
    length = std::min(length, kMaxTextLength);
    std::memcpy(field, text, length);
    std::memset(field + length, 0, kFieldSize - length);
}

std::size_t boundedLength(const char* p, std::size_t available) {
    return strnlen(p, std::min(available, kMaxTextLength));
}

// Bounded read of up to `size` bytes of Graph data into a NUL-terminated
// record. A field that the data does not reach at all keeps what `out`
// already holds.
void readRecord(const void* data, std::size_t size, GraphData& out) {
    const char* bytes = static_cast<const char*>(data);
    if (size > 0) setField(out.x, bytes, boundedLength(bytes, size));
    if (size > kFieldSize) setField(out.y, bytes + kFieldSize, boundedLength(bytes + kFieldSize, size - kFieldSize));
}

GraphData defaults() {
    GraphData d;
    setField(d.x, kDefaultX, std::strlen(kDefaultX));
    setField(d.y, kDefaultY, std::strlen(kDefaultY));
    return d;
}

// The handle callbacks a request uses. A host may leave any of them out; a
// request that needs a missing one is refused before it touches anything.
enum Needs { kRead, kMake, kFree };

PF_UtilCallbacks* callbacks(PF_InData* in_data, Needs needs) {
    PF_UtilCallbacks* u = in_data ? in_data->utils : nullptr;
    if (!u) return nullptr;
    const bool read = u->host_lock_handle && u->host_unlock_handle;
    switch (needs) {
        case kRead: return read ? u : nullptr;
        case kMake: return read && u->host_new_handle && u->host_dispose_handle ? u : nullptr;
        case kFree: return u->host_dispose_handle ? u : nullptr;
    }
    return nullptr;
}

// A locked handle, unlocked on every path.
class Locked {
public:
    Locked(PF_UtilCallbacks* u, PF_Handle h) : u_(u), h_(h), p_(u && h ? u->host_lock_handle(h) : nullptr) {}
    ~Locked() {
        if (p_) u_->host_unlock_handle(h_);
    }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;

    void* get() const { return p_; }
    // The handle's size where the host can tell it; else the size of a value
    // made here.
    std::size_t size() const {
        return u_->host_get_handle_size ? static_cast<std::size_t>(u_->host_get_handle_size(h_)) : kDataSize;
    }

private:
    PF_UtilCallbacks* u_;
    PF_Handle h_;
    void* p_;
};

PF_Err readValue(PF_InData* in_data, PF_ArbitraryH h, GraphData& out) {
    PF_UtilCallbacks* u = callbacks(in_data, kRead);
    if (!u) return PF_Err_BAD_CALLBACK_PARAM;
    Locked lock(u, h);
    if (!lock.get()) return kErrCannotLock;
    setField(out.x, "", 0);
    setField(out.y, "", 0);
    readRecord(lock.get(), lock.size(), out);
    return PF_Err_NONE;
}

// Makes a new value holding `value` at *out. On failure *out stays null.
PF_Err makeValue(PF_InData* in_data, const GraphData& value, PF_ArbitraryH* out) {
    *out = nullptr;
    PF_UtilCallbacks* u = callbacks(in_data, kMake);
    if (!u) return PF_Err_BAD_CALLBACK_PARAM;
    PF_Handle h = u->host_new_handle(kDataSize);
    if (!h) return PF_Err_OUT_OF_MEMORY;
    {
        Locked lock(u, h);
        if (!lock.get()) {
            u->host_dispose_handle(h);
            return kErrCannotLock;
        }
        std::memcpy(lock.get(), &value, kDataSize);
    }
    *out = h;
    return PF_Err_NONE;
}

void writeText(A_char* buffer, A_u_long size, const std::string& text) {
    if (!buffer || size == 0) return;
    std::size_t n = std::min<std::size_t>(text.size(), size - 1);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
}

constexpr bool kept(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '+' || c == '-' ||
           c == '*' || c == '/' || c == '(' || c == ')' || c == '.' || c == ',' || c == ' ';
}

PF_Err scan(PF_InData* in_data, const PF_ArbScanFuncParams& p) {
    if (!p.bufPC || !p.arbPH) return PF_Err_BAD_CALLBACK_PARAM;
    // The host's text need not be terminated: stop at its stated length.
    const std::string text(p.bufPC, strnlen(p.bufPC, p.bytes_to_scanLu));
    GraphData value = defaults();
    std::size_t tab = text.find('\t');
    std::string first = text.substr(0, std::min(tab, text.size()));
    first = cleanse(first.substr(0, kMaxTextLength));
    setField(value.x, first.data(), first.size());
    if (tab != std::string::npos) {
        std::size_t end = text.find('\t', tab + 1);
        std::string second = text.substr(tab + 1, end == std::string::npos ? std::string::npos : end - tab - 1);
        second = cleanse(second.substr(0, kMaxTextLength));
        setField(value.y, second.data(), second.size());
    }
    return makeValue(in_data, value, p.arbPH);
}

PF_Err print(PF_InData* in_data, const PF_ArbPrintFuncParams& p) {
    if (!p.arbH) return PF_Err_BAD_CALLBACK_PARAM;
    GraphData value;
    if (PF_Err err = readValue(in_data, p.arbH, value)) return err;
    // Only the full form is offered; an abbreviated one is left empty.
    if (p.print_flags) {
        writeText(p.print_bufferPC, p.print_sizeLu, "");
        return PF_Err_NONE;
    }
    const std::string text = std::string(value.x) + '\t' + value.y;
    if (!p.print_bufferPC || p.print_sizeLu < kPrintSize || p.print_sizeLu < text.size() + 1) {
        writeText(p.print_bufferPC, p.print_sizeLu, "");
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    writeText(p.print_bufferPC, p.print_sizeLu, text);
    return PF_Err_NONE;
}

}  // namespace

void readTexts(const void* data, std::size_t size, std::string& x, std::string& y) {
    GraphData value;
    setField(value.x, "", 0);
    setField(value.y, "", 0);
    if (data) readRecord(data, size, value);
    x = value.x;
    y = value.y;
}

PF_Err readTexts(PF_InData* in_data, PF_ArbitraryH handle, std::string& x, std::string& y) {
    if (!handle) return PF_Err_BAD_CALLBACK_PARAM;
    GraphData value;
    if (PF_Err err = readValue(in_data, handle, value)) return err;
    x = value.x;
    y = value.y;
    return PF_Err_NONE;
}

std::string cleanse(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text)
        if (kept(static_cast<unsigned char>(c))) out.push_back(c);
    return out;
}

PF_Err NewDefaultData(PF_InData* in_data, PF_OutData*, void*, PF_ArbitraryH* default_out) {
    if (!default_out) return PF_Err_NONE;
    return makeValue(in_data, defaults(), default_out);
}

// Every request that cannot be served (a missing argument, a buffer too
// small, no memory, a handle the host cannot lock) reports an error and leaves
// no half-made value behind.
PF_Err HandleData(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef*[], PF_LayerDef*, PF_ArbParamsExtra* extra,
                  int paramIndex) {
    if (!extra) return PF_Err_BAD_CALLBACK_PARAM;
    if (extra->id != paramIndex) return PF_Err_NONE;
    GraphData a, b;
    switch (extra->which_function) {
        case PF_Arbitrary_NEW_FUNC: {
            const PF_ArbNewFuncParams& p = extra->u.new_func_params;
            if (!p.arbPH) return PF_Err_BAD_CALLBACK_PARAM;
            return NewDefaultData(in_data, out_data, p.refconPV, p.arbPH);
        }
        case PF_Arbitrary_DISPOSE_FUNC: {
            const PF_ArbDisposeFuncParams& p = extra->u.dispose_func_params;
            if (!p.arbH) return PF_Err_NONE;
            PF_UtilCallbacks* u = callbacks(in_data, kFree);
            if (!u) return PF_Err_BAD_CALLBACK_PARAM;
            u->host_dispose_handle(p.arbH);
            return PF_Err_NONE;
        }
        case PF_Arbitrary_COPY_FUNC: {
            const PF_ArbCopyFuncParams& p = extra->u.copy_func_params;
            if (!p.src_arbH || !p.dst_arbPH) return PF_Err_BAD_CALLBACK_PARAM;
            *p.dst_arbPH = nullptr;
            if (PF_Err err = readValue(in_data, p.src_arbH, a)) return err;
            return makeValue(in_data, a, p.dst_arbPH);
        }
        case PF_Arbitrary_FLAT_SIZE_FUNC: {
            const PF_ArbFlatSizeFuncParams& p = extra->u.flat_size_func_params;
            if (!p.arbH || !p.flat_data_sizePLu) return PF_Err_BAD_CALLBACK_PARAM;
            *p.flat_data_sizePLu = kDataSize;
            return PF_Err_NONE;
        }
        case PF_Arbitrary_FLATTEN_FUNC: {
            const PF_ArbFlattenFuncParams& p = extra->u.flatten_func_params;
            if (!p.arbH || !p.flat_dataPV || p.buf_sizeLu < kDataSize) return PF_Err_BAD_CALLBACK_PARAM;
            if (PF_Err err = readValue(in_data, p.arbH, a)) return err;
            std::memcpy(p.flat_dataPV, &a, kDataSize);
            return PF_Err_NONE;
        }
        case PF_Arbitrary_UNFLATTEN_FUNC: {
            const PF_ArbUnFlattenFuncParams& p = extra->u.unflatten_func_params;
            if (!p.flat_dataPV || !p.arbPH) return PF_Err_BAD_CALLBACK_PARAM;
            *p.arbPH = nullptr;
            if (p.buf_sizeLu > kDataSize) return PF_Err_BAD_CALLBACK_PARAM;
            a = defaults();
            readRecord(p.flat_dataPV, p.buf_sizeLu, a);
            return makeValue(in_data, a, p.arbPH);
        }
        case PF_Arbitrary_INTERP_FUNC: {
            // Expressions do not blend: the earlier keyframe holds until the next.
            const PF_ArbInterpFuncParams& p = extra->u.interp_func_params;
            if (!p.left_arbH || !p.right_arbH || !p.interpPH) return PF_Err_BAD_CALLBACK_PARAM;
            *p.interpPH = nullptr;
            if (PF_Err err = readValue(in_data, p.left_arbH, a)) return err;
            return makeValue(in_data, a, p.interpPH);
        }
        case PF_Arbitrary_COMPARE_FUNC: {
            const PF_ArbCompareFuncParams& p = extra->u.compare_func_params;
            if (!p.a_arbH || !p.b_arbH || !p.compareP) return PF_Err_BAD_CALLBACK_PARAM;
            if (PF_Err err = readValue(in_data, p.a_arbH, a)) return err;
            if (PF_Err err = readValue(in_data, p.b_arbH, b)) return err;
            bool equal = std::strcmp(a.x, b.x) == 0 && std::strcmp(a.y, b.y) == 0;
            *p.compareP = equal ? PF_ArbCompare_EQUAL : PF_ArbCompare_NOT_EQUAL;
            return PF_Err_NONE;
        }
        case PF_Arbitrary_PRINT_SIZE_FUNC: {
            const PF_ArbPrintSizeFuncParams& p = extra->u.print_size_func_params;
            if (!p.print_sizePLu) return PF_Err_BAD_CALLBACK_PARAM;
            *p.print_sizePLu = kPrintSize;
            return PF_Err_NONE;
        }
        case PF_Arbitrary_PRINT_FUNC: return print(in_data, extra->u.print_func_params);
        case PF_Arbitrary_SCAN_FUNC: return scan(in_data, extra->u.scan_func_params);
        default: return PF_Err_NONE;
    }
}

}  // namespace Graph

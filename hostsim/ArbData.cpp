#include "ArbData.h"

#include <cstring>

namespace hostsim {

PF_ArbParamsExtra ArbData::request(PF_FunctionSelector which) const {
    PF_ArbParamsExtra e;
    std::memset(&e, 0, sizeof e);
    e.which_function = which;
    e.id = id;
    return e;
}

PF_Err ArbData::send(Host& host, PF_ArbParamsExtra& extra) { return host.send(PF_Cmd_ARBITRARY_CALLBACK, &extra); }

PF_Err ArbData::made(Host& host, PF_Err err, PF_ArbitraryH* out) {
    if (out && *out && host.handles().valid(*out)) host.handles().setHostOwned(*out);
    return err;
}

PF_Err ArbData::newValue(Host& host, PF_ArbitraryH* out) {
    PF_ArbParamsExtra e = request(PF_Arbitrary_NEW_FUNC);
    e.u.new_func_params.arbPH = out;
    return made(host, send(host, e), out);
}

PF_Err ArbData::dispose(Host& host, PF_ArbitraryH h) {
    PF_ArbParamsExtra e = request(PF_Arbitrary_DISPOSE_FUNC);
    e.u.dispose_func_params.arbH = h;
    return send(host, e);
}

PF_Err ArbData::copy(Host& host, PF_ArbitraryH src, PF_ArbitraryH* out) {
    PF_ArbParamsExtra e = request(PF_Arbitrary_COPY_FUNC);
    e.u.copy_func_params.src_arbH = src;
    e.u.copy_func_params.dst_arbPH = out;
    return made(host, send(host, e), out);
}

PF_Err ArbData::flatSize(Host& host, PF_ArbitraryH h, A_u_long* size) {
    PF_ArbParamsExtra e = request(PF_Arbitrary_FLAT_SIZE_FUNC);
    e.u.flat_size_func_params.arbH = h;
    e.u.flat_size_func_params.flat_data_sizePLu = size;
    return send(host, e);
}

PF_Err ArbData::flatten(Host& host, PF_ArbitraryH h, void* buffer, A_u_long size) {
    PF_ArbParamsExtra e = request(PF_Arbitrary_FLATTEN_FUNC);
    e.u.flatten_func_params.arbH = h;
    e.u.flatten_func_params.buf_sizeLu = size;
    e.u.flatten_func_params.flat_dataPV = buffer;
    return send(host, e);
}

PF_Err ArbData::unflatten(Host& host, const void* data, A_u_long size, PF_ArbitraryH* out) {
    PF_ArbParamsExtra e = request(PF_Arbitrary_UNFLATTEN_FUNC);
    e.u.unflatten_func_params.buf_sizeLu = size;
    e.u.unflatten_func_params.flat_dataPV = data;
    e.u.unflatten_func_params.arbPH = out;
    return made(host, send(host, e), out);
}

PF_Err ArbData::interpolate(Host& host, PF_ArbitraryH left, PF_ArbitraryH right, double t, PF_ArbitraryH* out) {
    PF_ArbParamsExtra e = request(PF_Arbitrary_INTERP_FUNC);
    e.u.interp_func_params.left_arbH = left;
    e.u.interp_func_params.right_arbH = right;
    e.u.interp_func_params.tF = t;
    e.u.interp_func_params.interpPH = out;
    return made(host, send(host, e), out);
}

PF_Err ArbData::compare(Host& host, PF_ArbitraryH a, PF_ArbitraryH b, PF_ArbCompareResult* result) {
    PF_ArbParamsExtra e = request(PF_Arbitrary_COMPARE_FUNC);
    e.u.compare_func_params.a_arbH = a;
    e.u.compare_func_params.b_arbH = b;
    e.u.compare_func_params.compareP = result;
    return send(host, e);
}

PF_Err ArbData::printSize(Host& host, PF_ArbitraryH h, A_u_long* size) {
    PF_ArbParamsExtra e = request(PF_Arbitrary_PRINT_SIZE_FUNC);
    e.u.print_size_func_params.arbH = h;
    e.u.print_size_func_params.print_sizePLu = size;
    return send(host, e);
}

PF_Err ArbData::print(Host& host, PF_ArbPrintFlags flags, PF_ArbitraryH h, A_char* buffer, A_u_long size) {
    PF_ArbParamsExtra e = request(PF_Arbitrary_PRINT_FUNC);
    e.u.print_func_params.print_flags = flags;
    e.u.print_func_params.arbH = h;
    e.u.print_func_params.print_sizeLu = size;
    e.u.print_func_params.print_bufferPC = buffer;
    return send(host, e);
}

PF_Err ArbData::scan(Host& host, const A_char* text, A_u_long length, PF_ArbitraryH* out) {
    PF_ArbParamsExtra e = request(PF_Arbitrary_SCAN_FUNC);
    e.u.scan_func_params.bufPC = text;
    e.u.scan_func_params.bytes_to_scanLu = length;
    e.u.scan_func_params.arbPH = out;
    return made(host, send(host, e), out);
}

namespace {

std::string field(Host& host, PF_ArbitraryH h, std::size_t offset) {
    if (!h || !host.handles().valid(h)) return "<no value>";
    std::size_t size = host.handles().size(h);
    if (size <= offset) return "<short value>";
    const char* p = static_cast<const char*>(*h) + offset;
    return std::string(p, strnlen(p, std::min<std::size_t>(256, size - offset)));
}

}  // namespace

std::string ArbData::x(Host& host, PF_ArbitraryH h) { return field(host, h, 0); }
std::string ArbData::y(Host& host, PF_ArbitraryH h) { return field(host, h, 256); }

}  // namespace hostsim

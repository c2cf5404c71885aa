// The host's arbitrary-data requests (PF_Cmd_ARBITRARY_CALLBACK): one call per
// selector, each building the request record and sending it. Handles the
// effect hands back belong to the host from then on.
#pragma once

#include "AE_CustomUI.h"
#include "Host.h"

#include <string>

namespace hostsim {

class ArbData : public Component {
public:
    // The arbitrary-data id the requests carry.
    A_short id = 83;

    PF_Err newValue(Host& host, PF_ArbitraryH* out);
    PF_Err dispose(Host& host, PF_ArbitraryH h);
    PF_Err copy(Host& host, PF_ArbitraryH src, PF_ArbitraryH* out);
    PF_Err flatSize(Host& host, PF_ArbitraryH h, A_u_long* size);
    PF_Err flatten(Host& host, PF_ArbitraryH h, void* buffer, A_u_long size);
    PF_Err unflatten(Host& host, const void* data, A_u_long size, PF_ArbitraryH* out);
    PF_Err interpolate(Host& host, PF_ArbitraryH left, PF_ArbitraryH right, double t, PF_ArbitraryH* out);
    PF_Err compare(Host& host, PF_ArbitraryH a, PF_ArbitraryH b, PF_ArbCompareResult* result);
    PF_Err printSize(Host& host, PF_ArbitraryH h, A_u_long* size);
    PF_Err print(Host& host, PF_ArbPrintFlags flags, PF_ArbitraryH h, A_char* buffer, A_u_long size);
    PF_Err scan(Host& host, const A_char* text, A_u_long length, PF_ArbitraryH* out);

    // Sends any request record as it stands.
    PF_Err send(Host& host, PF_ArbParamsExtra& extra);

    // The two texts of a value, read by the host itself (bounded).
    static std::string x(Host& host, PF_ArbitraryH h);
    static std::string y(Host& host, PF_ArbitraryH h);

private:
    PF_ArbParamsExtra request(PF_FunctionSelector which) const;
    PF_Err made(Host& host, PF_Err err, PF_ArbitraryH* out);
};

}  // namespace hostsim

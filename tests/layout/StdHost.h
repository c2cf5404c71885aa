// An input record whose maths callbacks are the standard library's, for the
// layout code that must do its maths through the host.
#pragma once

#include "AE_Effect.h"

#include <cmath>

struct StdHost {
    PF_UtilCallbacks utils{};
    PF_InData in{};

    StdHost() {
        PF_ANSICallbacks& a = utils.ansi;
        a.sin = [](double v) { return std::sin(v); };
        a.cos = [](double v) { return std::cos(v); };
        a.acos = [](double v) { return std::acos(v); };
        a.asin = [](double v) { return std::asin(v); };
        a.atan = [](double v) { return std::atan(v); };
        a.atan2 = [](double y, double x) { return std::atan2(y, x); };
        a.fabs = [](double v) { return std::fabs(v); };
        a.floor = [](double v) { return std::floor(v); };
        a.ceil = [](double v) { return std::ceil(v); };
        a.fmod = [](double x, double y) { return std::fmod(x, y); };
        a.sqrt = [](double v) { return std::sqrt(v); };
        a.exp = [](double v) { return std::exp(v); };
        a.pow = [](double x, double y) { return std::pow(x, y); };
        in.utils = &utils;
        in.downsample_x = {1, 1};
        in.downsample_y = {1, 1};
    }
    StdHost(const StdHost&) = delete;
    StdHost& operator=(const StdHost&) = delete;
};

#include "VemaroMask.h"

#include <algorithm>

namespace {

// Steps per segment of the host's length table.
constexpr A_long kFrequency = 100;

double factor(const PF_RationalScale& s) {
    // A degenerate scale would turn every point into an infinity.
    return s.num != 0 && s.den != 0 ? double(s.num) / double(s.den) : 1.0;
}

}  // namespace

Mask::Mask(PF_InData* in_data_, AEGP_SuiteHandler& suites_, unsigned int maskId_)
    : in_data(in_data_),
      suites(&suites_),
      maskId(maskId_),
      downsampleX(factor(in_data_->downsample_x)),
      downsampleY(factor(in_data_->downsample_y)) {}

Mask::~Mask() {
    try {
        checkInPath_();
    } catch (...) {
        // A destructor must not throw; the host reclaims the path with the render.
    }
}

PF_Err Mask::update(A_Time time) { return checkOutPath_(time); }

PF_Err Mask::update() {
    A_Time now{in_data->current_time, in_data->time_scale};
    return checkOutPath_(now);
}

PF_Err Mask::isOpen(unsigned char* out) {
    *out = open;
    return PF_Err_NONE;
}

PF_Err Mask::getSegmentNum(int* count) {
    *count = segmentCount;
    return PF_Err_NONE;
}

PF_Err Mask::getSegmentLength(int index, double* length) {
    PF_Err err = calculateLength_();
    *length = 0;
    if (index < 0 || index >= segmentCount) return err ? err : PF_Err_INVALID_INDEX;
    *length = lengths[std::size_t(index)] - (index > 0 ? lengths[std::size_t(index) - 1] : 0.0);
    return err;
}

PF_Err Mask::getTotalLength(double* length) {
    PF_Err err = calculateLength_();
    *length = lengths.empty() ? 0.0 : lengths.back();
    return err;
}

int Mask::locate_(double d, double* local) const {
    std::size_t k = std::size_t(std::lower_bound(lengths.begin(), lengths.end(), d) - lengths.begin());
    k = std::min(k, lengths.size() - 1);
    *local = d - (k > 0 ? lengths[k - 1] : 0.0);
    return static_cast<int>(k);
}

PF_Err Mask::getPathPoint(double d, bool loop, PathPoint* point) {
    PF_Err err = calculateLength_();
    Vector position, derivative;
    if (segmentCount == 0) {
        singleVertex_(err, position);
    } else {
        const double total = lengths.back();
        if (d != d) d = 0;  // NaN: the start
        double local = 0;
        if (!open && loop && total > 0) {
            d = in_data->utils->ansi.fmod(d, total);
            if (d < 0) d += total;
            int k = locate_(d, &local);
            evaluate_(k, local, err, position, derivative);
        } else if (d < 0) {
            evaluate_(0, 0.0, err, position, derivative);
        } else if (d < total) {
            int k = locate_(d, &local);
            evaluate_(k, local, err, position, derivative);
        } else {
            // The end; also the whole of a closed path of length 0.
            int n = segmentCount;
            double last = lengths[std::size_t(n) - 1] - (n > 1 ? lengths[std::size_t(n) - 2] : 0.0);
            evaluate_(n - 1, last, err, position, derivative);
        }
    }
    point->position = {position.x / downsampleX, position.y / downsampleY};
    point->derivative = {derivative.x / downsampleX, derivative.y / downsampleY};
    return err;
}

PF_Err Mask::getVertexInfos(std::vector<VertexInfo>& infos) {
    PF_Err err = calculateLength_();
    infos.clear();
    if (segmentCount == 0) {
        // A path of a single vertex: that vertex.
        if (path) {
            VertexInfo v{};
            singleVertex_(err, v.position);
            infos.push_back(v);
        }
        return err;
    }
    const int n = segmentCount;
    infos.reserve(std::size_t(n) + (open ? 1 : 0));
    for (int k = 0; k < n; ++k) {
        VertexInfo v{};
        evaluate_(k, 0.0, err, v.position, v.derivative);
        v.distance = k > 0 ? lengths[std::size_t(k) - 1] : 0.0;
        infos.push_back(v);
    }
    if (open) {
        // The end vertex is the end of the last segment: there is no segment n.
        VertexInfo v{};
        double last = lengths[std::size_t(n) - 1] - (n > 1 ? lengths[std::size_t(n) - 2] : 0.0);
        evaluate_(n - 1, last, err, v.position, v.derivative);
        v.distance = lengths.back();
        infos.push_back(v);
    }
    return err;
}

void Mask::evaluate_(int k, double l, PF_Err& err, Vector& position, Vector& derivative) {
    if (err) return;
    PF_PathDataSuite1* data = suites->PathDataSuite1();
    PF_PathSegPrepPtr prep = nullptr;
    err = data->PF_PathPrepareSegLength(in_data->effect_ref, path, k, kFrequency, &prep);
    if (!err)
        err = data->PF_PathEvalSegLengthDeriv1(in_data->effect_ref, path, &prep, k, l, &position.x, &position.y,
                                               &derivative.x, &derivative.y);
    if (prep) {
        PF_Err cleanup = data->PF_PathCleanupSegLength(in_data->effect_ref, path, k, &prep);
        if (!err) err = cleanup;
    }
}

void Mask::singleVertex_(PF_Err& err, Vector& position) {
    if (err || !path) return;
    PF_PathVertex v{};
    err = suites->PathDataSuite1()->PF_PathVertexInfo(in_data->effect_ref, path, 0, &v);
    if (!err) position = {v.x, v.y};
}

PF_Err Mask::checkOutPath_(A_Time time) {
    PF_Err err = PF_Err_NONE;
    if (path) {
        err = checkInPath_();
        if (err) return err;
    }
    err = suites->PathQuerySuite1()->PF_CheckoutPath(in_data->effect_ref, maskId, time.value, in_data->time_step,
                                                     time.scale, &path);
    if (!err && path) {
        A_long count = 0;
        err = suites->PathDataSuite1()->PF_PathNumSegments(in_data->effect_ref, path, &count);
        segmentCount = std::max<A_long>(0, count);
    }
    if (!err && path) {
        PF_Boolean isOpen = 0;
        err = suites->PathDataSuite1()->PF_PathIsOpen(in_data->effect_ref, path, &isOpen);
        open = isOpen ? 1 : 0;
    }
    return err;
}

PF_Err Mask::checkInPath_() {
    if (!path) return PF_Err_NONE;
    PF_PathOutlinePtr p = path;
    path = nullptr;
    segmentCount = 0;
    open = 0;
    lengths.clear();
    return suites->PathQuerySuite1()->PF_CheckinPath(in_data->effect_ref, maskId, false, p);
}

PF_Err Mask::calculateLength_() {
    if (!lengths.empty() || segmentCount == 0) return PF_Err_NONE;
    PF_PathDataSuite1* data = suites->PathDataSuite1();
    lengths.reserve(std::size_t(segmentCount));
    double sum = 0;
    PF_Err err = PF_Err_NONE;
    for (int s = 0; s < segmentCount; ++s) {
        double length = 0;
        PF_PathSegPrepPtr prep = nullptr;
        if (!err) {
            err = data->PF_PathPrepareSegLength(in_data->effect_ref, path, s, kFrequency, &prep);
            if (!err) err = data->PF_PathGetSegLength(in_data->effect_ref, path, s, &prep, &length);
        }
        sum += length;
        lengths.push_back(sum);
        if (prep) {
            PF_Err cleanup = data->PF_PathCleanupSegLength(in_data->effect_ref, path, s, &prep);
            if (!err) err = cleanup;
        }
    }
    return err;
}

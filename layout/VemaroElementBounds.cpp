#include "VemaroElementBounds.h"

#include "Parameters.h"

#include <algorithm>

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kHalfPi = kPi / 2.0;
constexpr double kTwoPi = kPi * 2.0;

Vector normalised(const PF_ANSICallbacks& ansi, const Vector& v) {
    const double length = ansi.sqrt(v.x * v.x + v.y * v.y);
    return length > 0.0 ? v / length : v;
}

// The extent (a diameter) of one shape before the element's own scale.
double shapeExtent(const PF_ANSICallbacks& ansi, const Parameters::Shape& shape) {
    const bool stroked = shape.fillStroke != 1;
    switch (shape.type) {
        case 1: {
            double e = std::max(1.0, shape.thickness) * shape.size;
            if (stroked) e += 2.0 * shape.strokeWidth;
            return e;
        }
        case 2: return stroked ? shape.size + 2.0 * shape.strokeWidth : shape.size;
        case 3: {
            if (!stroked) return shape.size;
            // A bound for any miter; a star's points get their exact miter.
            double e = shape.size + 20.0 * shape.strokeWidth;
            if (shape.starness <= 0.9999) {
                const double r = shape.size / 2.0;
                const double step = kTwoPi / shape.sides;
                const Vector p0{r * ansi.cos(0.0), r * ansi.sin(0.0)};
                const Vector p1{r * ansi.cos(step), r * ansi.sin(step)};
                const Vector q = (p0 + p1) / 2.0 * (1.0 - shape.starness);
                const Vector u = normalised(ansi, q - p0);
                const Vector v = normalised(ansi, -p0);
                // Rounding can push the dot product of unit vectors past 1.
                const double dot = std::min(1.0, std::max(-1.0, u.x * v.x + u.y * v.y));
                const double theta = ansi.acos(dot);
                // A polygon of fewer than three sides gives no usable tip
                // (NaN or infinity); the general bound stands then.
                const double miter = 2.0 * shape.strokeWidth / ansi.sin(theta) + shape.size;
                if (miter < e) e = miter;
            }
            return e;
        }
        default: return shape.size;
    }
}

}  // namespace

void getOriginAndAxis(PF_InData* in_data, double angle, int width, int height, Vector& origin, Vector& axisU,
                      Vector& axisV, double& lengthU, double& lengthV) {
    const PF_ANSICallbacks& ansi = in_data->utils->ansi;
    double a = ansi.fmod(angle, kTwoPi);
    if (a < 0.0) a += kTwoPi;
    // A non-finite angle has no direction; lay the cover along the x axis.
    if (!(a == a)) a = 0.0;

    const int q = a < kHalfPi ? 0 : a < kPi ? 1 : a < 3.0 * kHalfPi ? 2 : 3;
    const double b = a - q * kHalfPi;
    const double c = ansi.cos(b);
    const double s = ansi.sin(b);
    const double w = width;
    const double h = height;

    switch (q) {
        case 0:
            axisU = {c, s};
            axisV = {-s, c};
            origin = {s * (w * s), -w * s * c};
            lengthU = w * c + h * s;
            lengthV = w * s + h * c;
            break;
        case 1:
            axisU = {-s, c};
            axisV = {-c, -s};
            origin = {c * (h * s) + w, s * (h * s)};
            lengthU = w * s + h * c;
            lengthV = h * s + w * c;
            break;
        case 2:
            axisU = {-c, -s};
            axisV = {s, -c};
            origin = {c * (w * c), c * (w * s) + h};
            lengthU = h * s + w * c;
            lengthV = w * s + h * c;
            break;
        default:
            axisU = {s, -c};
            axisV = {c, s};
            origin = {-h * s * c, c * (h * c)};
            lengthU = w * s + h * c;
            lengthV = h * s + w * c;
            break;
    }
}

double getMaxSize(PF_InData* in_data, const Parameters* params) {
    if (params->shapeNumber < 1) return 0.0;
    const PF_ANSICallbacks& ansi = in_data->utils->ansi;
    const double g = std::max(1.0, params->transitionScale) * params->transformScale * 0.5;
    const int count = std::min<int>(params->shapeNumber, 8);

    double largest = 0.0;
    for (int k = 0; k < count; ++k) {
        const Parameters::Shape& shape = params->shapes[k];
        const double e = shapeExtent(ansi, shape);
        double W = 0.0, H = 0.0;
        if (shape.layer) {
            if (shape.type == 4 && !shape.boundingBox) {
                W = ParamConvert::downsampled(in_data->width, in_data->downsample_x);
                H = ParamConvert::downsampled(in_data->height, in_data->downsample_y);
            } else {
                W = shape.layer->width;
                H = shape.layer->height;
            }
        }
        double m;
        if (W > 0.0) {
            const double ax = ansi.fabs(shape.layerCenter.x);
            const double ay = ansi.fabs(shape.layerCenter.y);
            const double dx = e + 2.0 * ax * e / W;
            const double dy = e * H / W + 2.0 * ay * e / W;
            m = ansi.sqrt(dx * dx + dy * dy) * g + 1.5;
        } else {
            // No source, or one without width: the half diagonal of an e x e square.
            m = ansi.sqrt(2.0 * e * e) * g + 1.5;
        }
        largest = std::max(largest, m);
    }
    return largest * 2.0;
}

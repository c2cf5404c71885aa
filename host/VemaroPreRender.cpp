// Pre-render: checks the frame's parameters out, converts them into a new
// Parameters record held in a host handle, hands that handle to the host as the
// pre-render data, and asks for the input frames the smart render will fetch:
// checkout id 0 is the input at the current time, id i + 1 the input at the
// frame offset of shape i (active Input shapes with a non-zero offset only).
#include "VemaroPattern.h"

#include "AEGP_SuiteHandler.h"
#include "Parameters.h"
#include "Smart_Utils.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

namespace cv = ParamConvert;

constexpr int kShapeBase = 170;
constexpr int kShapeStride = 47;

// Checks parameters out at the current time one at a time, hands each to a
// converter and checks it in again at once. After the first error nothing more
// is checked out and the error is kept.
class ParamReader {
public:
    explicit ParamReader(PF_InData* in) : in_(in) {}

    PF_Err error() const { return err_; }

    template <class F>
    void read(int index, F&& convert) {
        if (err_) return;
        PF_ParamDef def;
        std::memset(&def, 0, sizeof def);
        err_ = PF_CHECKOUT_PARAM(in_, index, in_->current_time, in_->time_step, in_->time_scale, &def);
        if (err_) return;
        convert(static_cast<const PF_ParamDef&>(def));
        err_ = PF_CHECKIN_PARAM(in_, &def);
    }

    void raw(int i, int32_t& out) {
        read(i, [&](const PF_ParamDef& d) { out = cv::raw(d); });
    }
    void rawFloat(int i, double& out) {
        read(i, [&](const PF_ParamDef& d) { out = cv::rawFloat(d); });
    }
    void check(int i, uint8_t& out) {
        read(i, [&](const PF_ParamDef& d) { out = cv::check(d); });
    }
    void point(int i, Vector& out) {
        read(i, [&](const PF_ParamDef& d) { out = cv::point(d); });
    }
    void percent(int i, double& out) {
        read(i, [&](const PF_ParamDef& d) { out = cv::percent(d); });
    }
    void fixedPercent(int i, double& out) {
        read(i, [&](const PF_ParamDef& d) { out = cv::fixedPercent(d); });
    }
    void radians(int i, double& out) {
        read(i, [&](const PF_ParamDef& d) { out = cv::radians(d); });
    }
    void turns(int i, double& out) {
        read(i, [&](const PF_ParamDef& d) { out = cv::turns(d); });
    }
    void degrees(int i, float& out) {
        read(i, [&](const PF_ParamDef& d) { out = cv::degrees(d); });
    }
    void percentFloat(int i, float& out) {
        read(i, [&](const PF_ParamDef& d) { out = cv::percentFloat(d); });
    }
    void x(int i, double& out) {
        read(i, [&](const PF_ParamDef& d) { out = cv::scaled(d, cv::factor(in_->downsample_x)); });
    }
    void y(int i, double& out) {
        read(i, [&](const PF_ParamDef& d) { out = cv::scaled(d, cv::factor(in_->downsample_y)); });
    }
    void seed(int i, Vector& out) {
        read(i, [&](const PF_ParamDef& d) { out = cv::seed(d, in_->downsample_x, in_->downsample_y); });
    }
    void rgba(int i, Color& out) {
        read(i, [&](const PF_ParamDef& d) { out = cv::rgba(d); });
    }
    void rgb1(int i, Color& out) {
        read(i, [&](const PF_ParamDef& d) { out = cv::rgb1(d); });
    }
    void pathId(int i, int32_t& out) {
        read(i, [&](const PF_ParamDef& d) { out = cv::pathId(d); });
    }
    // An HLS triple from an angle (hue) and two percentage sliders.
    void hls(int hue, int lightness, int saturation, Color& out) {
        degrees(hue, out.red);
        percentFloat(lightness, out.green);
        percentFloat(saturation, out.blue);
    }

private:
    PF_InData* in_;
    PF_Err err_ = PF_Err_NONE;
};

void readPattern(ParamReader& r, Parameters& p) {
    switch (p.pattern) {
        case 1:
            r.raw(2, p.pointNumber);
            for (int i = 0; i < 8; ++i) r.point(3 + i, p.points[i]);
            break;
        case 2:
            r.point(11, p.lineCenter);
            r.x(12, p.lineWidth);
            r.radians(13, p.lineRotation);
            r.x(14, p.lineOffset);
            break;
        case 3:
            r.raw(15, p.lineSegmentNumber);
            r.point(16, p.lineSegmentPoint1);
            r.point(17, p.lineSegmentPoint2);
            r.percent(18, p.lineSegmentLength);
            r.check(19, p.lineSegmentInvert);
            break;
        case 4:
            r.raw(20, p.circleNumber);
            r.point(21, p.circleCenter);
            r.x(22, p.circleRadius);
            r.radians(23, p.circleCentralAngle);
            r.radians(24, p.circlePhase);
            break;
        case 5:
            r.raw(25, p.rectangleNumber);
            r.point(26, p.rectangleCenter);
            r.raw(27, p.rectangleMode);
            r.x(28, p.rectangleWidth);
            r.x(29, p.rectangleHeight);
            r.x(30, p.rectangleBorderRadius);
            r.radians(31, p.rectangleRotation);
            r.percent(32, p.rectangleLength);
            r.turns(33, p.rectangleOffset);
            break;
        case 6:
            r.point(34, p.gridCenter);
            r.raw(35, p.gridMode);
            r.x(36, p.gridWidth);
            r.y(37, p.gridHeight);
            r.x(38, p.gridOffsetX);
            r.y(39, p.gridOffsetY);
            r.radians(40, p.gridRotation);
            r.raw(41, p.gridOrder);
            break;
        case 7:
            r.point(42, p.finiteGridCenter);
            r.raw(43, p.finiteGridMode);
            r.x(44, p.finiteGridWidth);
            r.y(45, p.finiteGridHeight);
            r.raw(46, p.finiteGridColumn);
            r.raw(47, p.finiteGridRow);
            r.radians(48, p.finiteGridRotation);
            r.raw(49, p.finiteGridOrder);
            break;
        case 8:
            r.point(50, p.triangularGridCenter);
            r.x(51, p.triangularGridRadius);
            r.percent(52, p.triangularGridHeight);
            r.x(53, p.triangularGridOffsetX);
            r.y(54, p.triangularGridOffsetY);
            r.radians(55, p.triangularGridRotation);
            break;
        case 9:
            r.pathId(56, p.pathMask);
            r.point(57, p.pathAnchor);
            r.point(58, p.pathPosition);
            r.percent(59, p.pathScale);
            r.radians(60, p.pathRotation);
            r.raw(61, p.pathMode);
            r.raw(62, p.pathNumber);
            r.x(63, p.pathInterval);
            r.fixedPercent(64, p.pathLength);
            r.turns(65, p.pathOffset);
            r.check(66, p.pathInvert);
            r.raw(68, p.pathShapeMapMode);
            r.raw(69, p.pathScaleMapMode);
            r.raw(70, p.pathColorMapMode);
            r.raw(71, p.pathPhaseMapMode);
            break;
        case 10:
            r.point(74, p.waveformPoint1);
            r.point(75, p.waveformPoint2);
            r.pathId(76, p.waveformMask);
            r.x(77, p.waveformMaxHeight);
            r.rawFloat(78, p.waveformPower);
            r.raw(79, p.waveformSamples);
            r.rawFloat(80, p.waveformSamplingRate);
            r.rawFloat(81, p.waveformDuration);
            r.rawFloat(82, p.waveformOffset);
            break;
        case 11:
            for (int i = 0; i < 10; ++i) r.rawFloat(85 + i, p.graphVariables[i]);
            r.point(96, p.graphOrigin);
            r.radians(97, p.graphRotation);
            r.rawFloat(98, p.graphFrom);
            r.rawFloat(99, p.graphTo);
            r.raw(100, p.graphMode);
            r.raw(101, p.graphNumber);
            r.check(102, p.graphEqualize);
            r.percent(103, p.graphDetail);
            r.rawFloat(104, p.graphDelta);
            break;
        case 12:
            r.rawFloat(105, p.randomDistance);
            r.raw(106, p.randomMode);
            r.rawFloat(107, p.randomExpansion);
            r.point(108, p.randomCenter);
            r.rawFloat(109, p.randomWidth);
            r.rawFloat(110, p.randomHeight);
            r.rawFloat(111, p.randomRadius);
            r.percent(112, p.randomScale);
            r.raw(113, p.randomOrder);
            r.raw(114, p.randomOrderSeed);
            r.raw(115, p.randomSeed);
            break;
        default: break;
    }
}

void readCommon(ParamReader& r, Parameters& p) {
    r.check(116, p.autoOrient);
    r.raw(117, p.cycle);
    r.raw(118, p.cycleOffset);
    r.raw(120, p.displacementMode);
    r.raw(122, p.displacementMapWrap);
    r.raw(123, p.displacementXChannel);
    r.x(124, p.displacementX);
    r.raw(125, p.displacementYChannel);
    r.x(126, p.displacementY);
    r.seed(127, p.displacementSeed);
    r.raw(130, p.transitionMode);
    r.percent(131, p.transitionCompletion);
    r.percent(132, p.transitionDelay);
    r.percent(133, p.transitionRest);
    r.point(134, p.transitionOffset);
    r.check(135, p.transitionManualOffset);
    r.percent(136, p.transitionScale);
    r.check(137, p.transitionManualScale);
    r.hls(138, 139, 140, p.transitionColor);
    r.check(141, p.transitionManualColor);
    r.fixedPercent(142, p.transitionOpacity);
    r.check(143, p.transitionManualOpacity);
    r.radians(144, p.transitionPhase);
    r.check(145, p.transitionManualPhase);
    r.raw(146, p.transitionOrder);
    r.turns(147, p.transitionOrderOffset);
    r.raw(148, p.transitionOrderSeed);
    r.raw(150, p.transitionMapWrap);
    r.raw(151, p.transitionMapChannel);
    r.check(152, p.transitionOrderInvert);
    r.raw(153, p.transitionEasing.type);
    r.raw(154, p.transitionEasing.mode);
    r.percent(155, p.transitionManualDetail);
    r.point(158, p.transformAnchor);
    r.point(159, p.transformPosition);
    r.percent(160, p.transformScale);
    r.radians(161, p.transformRotation);
    r.fixedPercent(162, p.transformOpacity);
    r.raw(165, p.repeaterType);
    r.point(166, p.repeaterX);
    r.point(167, p.repeaterY);
    r.raw(169, p.shapeNumber);
    // A popup value outside 1-8 must not let readers run past the eight shapes.
    p.shapeNumber = std::min(std::max(p.shapeNumber, 0), 8);
    r.raw(554, p.shapeOffset);
    r.check(555, p.randomizeShape);
    r.seed(556, p.shapeSeed);
}

void readShape(ParamReader& r, const PF_InData* in, int i, Parameters::Shape& s) {
    const int b = kShapeBase + kShapeStride * i;
    r.x(b + 1, s.size);
    r.check(b + 2, s.useScale);
    r.percent(b + 3, s.scale);
    r.fixedPercent(b + 4, s.minimumScale);
    r.fixedPercent(b + 5, s.width);
    r.fixedPercent(b + 6, s.minimumWidth);
    r.fixedPercent(b + 7, s.height);
    r.fixedPercent(b + 8, s.minimumHeight);
    r.seed(b + 9, s.scaleSeed);
    r.raw(b + 10, s.type);
    r.percent(b + 11, s.thickness);
    r.fixedPercent(b + 12, s.innerRadius);
    r.raw(b + 13, s.sides);
    r.fixedPercent(b + 14, s.starness);
    r.read(b + 15, [&](const PF_ParamDef& d) {
        // Relative to the centre of the downsampled layer.
        s.layerCenter = cv::point(d) - Vector(in->width * 0.5 * cv::factor(in->downsample_x),
                                              in->height * 0.5 * cv::factor(in->downsample_y));
    });
    r.check(b + 16, s.boundingBox);
    r.raw(b + 17, s.frameOffset);
    r.check(b + 18, s.clampFrame);
    r.raw(b + 20, s.layerSampling);
    r.turns(b + 21, s.layerTime);
    r.raw(b + 22, s.randomizeLayerSampling);
    r.seed(b + 23, s.layerSamplingSeed);
    r.raw(b + 24, s.toner);
    r.rgba(b + 25, s.highlight);
    r.rgba(b + 26, s.shadow);
    r.check(b + 27, s.preserveLuma);
    r.rgb1(b + 28, s.color);
    r.rgb1(b + 29, s.strokeColor);
    r.hls(b + 31, b + 32, b + 33, s.randomizeColor);
    r.seed(b + 34, s.colorSeed);
    r.fixedPercent(b + 36, s.opacity);
    r.fixedPercent(b + 37, s.minimumOpacity);
    r.seed(b + 38, s.opacitySeed);
    r.read(b + 39, [&](const PF_ParamDef& d) { s.fillStroke = cv::lowByte(d); });
    r.x(b + 40, s.strokeWidth);
    r.radians(b + 41, s.phase);
    r.radians(b + 42, s.randomizePhase);
    r.seed(b + 43, s.phaseSeed);
    r.raw(b + 44, s.times);
    r.raw(b + 45, s.priority);
}

void readGlobalShape(ParamReader& r, GlobalShape& g) {
    r.percent(547, g.scale);
    r.degrees(548, g.hue);
    r.percentFloat(549, g.lightness);
    r.percentFloat(550, g.saturation);
    r.percent(551, g.opacity);
    r.radians(552, g.phase);
}

// Where one map group's parameters sit; a wrap index of 0 means the group has
// no wrap popups.
struct MapIndices {
    int shapeWrap, shapeChannel;
    int scaleWrap, scaleChannel;
    int colorWrap, colorMode;
    int phaseWrap, phaseChannel;
};
constexpr MapIndices kMap1D{0, 561, 0, 567, 0, 579, 0, 596};
constexpr MapIndices kMapPre2D{605, 606, 611, 612, 622, 623, 639, 640};
constexpr MapIndices kMapPost2D{0, 649, 0, 654, 0, 664, 0, 680};

void readMapGroup(ParamReader& r, const MapIndices& m, MapGroup& g) {
    if (m.shapeWrap) r.raw(m.shapeWrap, g.shapeMap.wrap);
    r.raw(m.shapeChannel, g.shapeMap.channel);
    r.check(m.shapeChannel + 1, g.shapeMap.invert);

    ScaleMapSettings& s = g.scaleMap;
    if (m.scaleWrap) r.raw(m.scaleWrap, s.wrap);
    r.raw(m.scaleChannel, s.channel);
    r.percent(m.scaleChannel + 1, s.threshold);
    r.percent(m.scaleChannel + 2, s.thresholdSoft);
    r.rawFloat(m.scaleChannel + 3, s.power);
    r.check(m.scaleChannel + 4, s.invert);
    r.percent(m.scaleChannel + 5, s.black);
    r.percent(m.scaleChannel + 6, s.white);

    ColorMapSettings& c = g.colorMap;
    const int k = m.colorMode;
    if (m.colorWrap) r.raw(m.colorWrap, c.wrap);
    r.raw(k, c.mode);
    r.hls(k + 1, k + 2, k + 3, c.adjust);
    r.hls(k + 5, k + 6, k + 7, c.randomize);  // k + 4 opens the Randomize Color group
    r.seed(k + 8, c.colorSeed);
    r.rgba(k + 10, c.highlight);  // k + 9 closes it
    r.rgba(k + 11, c.shadow);
    r.check(k + 12, c.preserveLuma);

    PhaseMapSettings& ph = g.phaseMap;
    if (m.phaseWrap) r.raw(m.phaseWrap, ph.wrap);
    r.raw(m.phaseChannel, ph.channel);
    r.check(m.phaseChannel + 1, ph.invert);
    r.radians(m.phaseChannel + 2, ph.black);
    r.radians(m.phaseChannel + 3, ph.white);
}

// Reads every parameter the frame needs into the record, in the host's order:
// pattern, its block, common groups, active shapes, Global Shape, maps,
// blending. Computed fields and the Global Shape fold follow the shapes.
PF_Err readParameters(PF_InData* in, Parameters& p) {
    ParamReader r(in);
    r.raw(1, p.pattern);
    readPattern(r, p);
    readCommon(r, p);
    for (int i = 0; i < p.shapeNumber; ++i) readShape(r, in, i, p.shapes[i]);
    GlobalShape global;
    readGlobalShape(r, global);
    readMapGroup(r, kMap1D, p.map1D);
    readMapGroup(r, kMapPre2D, p.mapPre2D);
    readMapGroup(r, kMapPost2D, p.mapPost2D);
    r.raw(686, p.blendingMode);
    r.check(687, p.onOriginal);
    if (r.error()) return r.error();
    computeShapeWeights(p);
    foldGlobalShape(p, global);
    return PF_Err_NONE;
}

A_long clampToLong(int64_t v) {
    return static_cast<A_long>(std::min<int64_t>(std::max<int64_t>(v, INT32_MIN), INT32_MAX));
}

// The layer time of a shape's offset frame, in 64 bits so that large offsets
// and time steps cannot wrap; with Clamp Frame it stays within the layer.
A_long offsetFrameTime(const PF_InData* in, int32_t frameOffset, bool clampFrame) {
    int64_t t = static_cast<int64_t>(in->current_time) + static_cast<int64_t>(frameOffset) * in->time_step;
    if (clampFrame) {
        if (t < 0)
            t = 0;
        else
            t = std::min<int64_t>(t, static_cast<int64_t>(in->total_time) - in->time_step);
    }
    return clampToLong(t);
}

// The record's handle for the length of the call: unlocked on every way out,
// and given back to the host unless the call succeeded, so that a failed frame
// leaves nothing behind whatever the host does with failed pre-render data.
class RecordHandle {
public:
    RecordHandle(const PF_HandleSuite2* suite, PF_PreRenderOutput* out) : suite_(suite), out_(out) {}
    RecordHandle(const RecordHandle&) = delete;
    RecordHandle& operator=(const RecordHandle&) = delete;
    ~RecordHandle() {
        if (!handle_) return;
        if (locked_) suite_->host_unlock_handle(handle_);
        if (kept_) return;
        if (out_->pre_render_data == handle_) {
            out_->pre_render_data = nullptr;
            out_->delete_pre_render_data_func = hostDelete_;
        }
        suite_->host_dispose_handle(handle_);
    }

    // A new zeroed record, locked and stored as the pre-render data; null when
    // the host has no memory for it.
    Parameters* create() {
        handle_ = suite_->host_new_handle(sizeof(Parameters));
        if (!handle_) return nullptr;
        void* mem = suite_->host_lock_handle(handle_);
        if (!mem) return nullptr;
        locked_ = true;
        std::memset(mem, 0, sizeof(Parameters));
        Parameters* p = new (mem) Parameters{};
        p->disposeHandle = suite_->host_dispose_handle;
        hostDelete_ = out_->delete_pre_render_data_func;
        out_->pre_render_data = handle_;
        out_->delete_pre_render_data_func = releasePreRenderData;
        return p;
    }
    void keep() { kept_ = true; }

private:
    const PF_HandleSuite2* suite_;
    PF_PreRenderOutput* out_;
    PF_Handle handle_ = nullptr;
    PF_DeletePreRenderDataFunc hostDelete_ = nullptr;
    bool locked_ = false;
    bool kept_ = false;
};

void growToLayer(PF_LRect& r, A_long w, A_long h) {
    r.left = std::min<A_long>(r.left, 0);
    r.top = std::min<A_long>(r.top, 0);
    r.right = std::max(r.right, w);
    r.bottom = std::max(r.bottom, h);
}

}  // namespace

PF_Err PreRender(PF_InData* in_data, PF_OutData*, PF_PreRenderExtra* extra) {
    if (!extra || !extra->input || !extra->output || !extra->cb || !extra->cb->checkout_layer)
        return PF_Err_BAD_CALLBACK_PARAM;
    AEGP_SuiteHandler suites(in_data->pica_basicP);
    PF_PreRenderOutput* out = extra->output;
    RecordHandle record(suites.HandleSuite2(), out);
    Parameters* p = record.create();
    if (!p) return PF_Err_OUT_OF_MEMORY;

    PF_Err err = readParameters(in_data, *p);
    if (err) return err;

    const A_long layerW = cv::downsampled(in_data->width, in_data->downsample_x);
    const A_long layerH = cv::downsampled(in_data->height, in_data->downsample_y);
    bool anyInput = false;
    for (int i = 0; i < p->shapeNumber; ++i) anyInput = anyInput || p->shapes[i].type == 4;

    // Input shapes copy the whole layer, wherever the host would crop it.
    PF_RenderRequest req = extra->input->output_request;
    req.preserve_rgb_of_zero_alpha = true;
    if (anyInput) {
        growToLayer(req.rect, layerW, layerH);
        out->flags |= PF_RenderOutputFlag_RETURNS_EXTRA_PIXELS;
    }

    // The output describes the current frame: the rectangles come from this
    // checkout, never from an offset frame's.
    PF_CheckoutResult current;
    std::memset(&current, 0, sizeof current);
    err = extra->cb->checkout_layer(in_data->effect_ref, 0, 0, &req, in_data->current_time, in_data->time_step,
                                    in_data->time_scale, &current);
    if (err) return err;

    bool textOrShape = false;
    AEGP_LayerH layer = nullptr;
    err = suites.PFInterfaceSuite1()->AEGP_GetEffectLayer(in_data->effect_ref, &layer);
    if (!err) {
        AEGP_ObjectType type = AEGP_ObjectType_NONE;
        err = suites.LayerSuite13()->AEGP_GetLayerObjectType(layer, &type);
        if (!err) textOrShape = type == AEGP_ObjectType_TEXT || type == AEGP_ObjectType_VECTOR;
    }

    for (int i = 0; i < p->shapeNumber; ++i) {
        Parameters::Shape& s = p->shapes[i];
        if (s.type == 5) {
            s.boundingBox = 1;
        } else if (s.type == 4) {
            if (!textOrShape) s.boundingBox = 1;
            if (s.frameOffset != 0 && !err) {
                PF_CheckoutResult offset;
                std::memset(&offset, 0, sizeof offset);
                err = extra->cb->checkout_layer(in_data->effect_ref, 0, i + 1, &req,
                                                offsetFrameTime(in_data, s.frameOffset, s.clampFrame != 0),
                                                in_data->time_step, in_data->time_scale, &offset);
            }
        }
    }
    if (err) return err;

    PF_LRect result = current.result_rect;
    PF_LRect maxResult = current.max_result_rect;
    if (textOrShape && !IsEmptyRect(&result)) {
        // Text and shape layers report only their glyphs' or paths' bounds;
        // the pattern may draw anywhere on the layer.
        growToLayer(result, layerW, layerH);
        maxResult.left = std::min(maxResult.left, result.left);
        maxResult.top = std::min(maxResult.top, result.top);
        maxResult.right = std::max(maxResult.right, result.right);
        maxResult.bottom = std::max(maxResult.bottom, result.bottom);
        out->flags |= PF_RenderOutputFlag_RETURNS_EXTRA_PIXELS;
    }
    UnionLRect(&result, &out->result_rect);
    UnionLRect(&maxResult, &out->max_result_rect);
    record.keep();
    return PF_Err_NONE;
}

#include "VemaroRenderHelpers.h"

#include "VemaroRasteriser.h"

PF_Err getBPC(PF_InData*, PF_OutData*, PF_WorldSuite2* worldSuite, PF_LayerDef* world, int* bpc) {
    PF_PixelFormat format = PF_PixelFormat_INVALID;
    const PF_Err err = worldSuite->PF_GetPixelFormat(world, &format);
    switch (format) {
        case PF_PixelFormat_ARGB128: *bpc = 2; break;
        case PF_PixelFormat_ARGB64: *bpc = 1; break;
        case PF_PixelFormat_ARGB32: *bpc = 0; break;
        default: break;
    }
    return err;
}

PF_Err hasVideo(int pluginId, PF_InData* in_data, AEGP_SuiteHandler& suites, AEGP_EffectRefH effect, AEGP_CompH comp,
                int paramIndex, int* layerId, unsigned char* hasVideoOut) {
    if (hasVideoOut) *hasVideoOut = 0;
    if (layerId) *layerId = 0;

    AEGP_StreamSuite9* streams = suites.StreamSuite9();
    AEGP_StreamRefH stream = nullptr;
    AEGP_StreamValue2 value{};
    bool haveValue = false;
    PF_Err err = streams->AEGP_GetNewEffectStreamByIndex(pluginId, effect, paramIndex, &stream);
    if (!err) {
        const A_Time time{in_data->current_time, in_data->time_scale};
        err = streams->AEGP_GetNewStreamValue(pluginId, stream, AEGP_LTimeMode_LayerTime, &time, false, &value);
        haveValue = !err;
    }
    const AEGP_LayerIDVal id = haveValue ? value.val.layer_id : 0;
    if (layerId) *layerId = id;
    if (stream) {
        // The value is disposed only when it was read; each clean-up error
        // counts only when none came before.
        if (haveValue) {
            const PF_Err e = streams->AEGP_DisposeStreamValue(&value);
            if (!err) err = e;
        }
        const PF_Err e = streams->AEGP_DisposeStream(stream);
        if (!err) err = e;
    }
    if (id == 0 || err) return err;

    AEGP_LayerSuite13* layers = suites.LayerSuite13();
    AEGP_LayerH layer = nullptr;
    if ((err = layers->AEGP_GetLayerFromLayerID(comp, id, &layer))) return err;

    bool video = false;
    AEGP_ObjectType type = -1;
    err = layers->AEGP_GetLayerObjectType(layer, &type);
    if (type == AEGP_ObjectType_TEXT || type == AEGP_ObjectType_VECTOR) {
        video = true;
    } else if (type == AEGP_ObjectType_AV && !err) {
        AEGP_ItemH item = nullptr;
        err = layers->AEGP_GetLayerSourceItem(layer, &item);
        if (!err && item) {
            AEGP_ItemFlags flags = 0;
            err = suites.ItemSuite13()->AEGP_GetItemFlags(item, &flags);
            if (!err && (flags & AEGP_ItemFlag_HAS_VIDEO)) video = true;
        }
    }
    if (video && hasVideoOut) *hasVideoOut = 1;
    return err;
}

namespace {

template <class P>
bool covered(const P& p) {
    return p.alpha != 0;
}
template <>
bool covered<PF_PixelFloat>(const PF_PixelFloat& p) {
    return static_cast<double>(p.alpha) > 1e-6;
}

// Rows are scanned from the top and from the bottom; the columns only within
// the covered rows, each row stopping at the first covered pixel from either
// side.
template <class P>
void layerRect(const PF_LayerDef* world, PF_LRect& rect) {
    const A_long W = world->width, H = world->height;
    auto rowCovered = [&](A_long y) {
        const P* row = raster::row<P>(world, y);
        for (A_long x = 0; x < W; ++x)
            if (covered(row[x])) return true;
        return false;
    };
    A_long top = 0;
    while (top < H && !rowCovered(top)) ++top;
    if (top == H) {
        rect = {W - 1, H - 1, 1, 1};
        return;
    }
    A_long bottom = H - 1;
    while (bottom > top && !rowCovered(bottom)) --bottom;
    A_long left = W, right = 0;
    for (A_long y = top; y <= bottom; ++y) {
        const P* row = raster::row<P>(world, y);
        for (A_long x = 0; x < left; ++x)
            if (covered(row[x])) {
                left = x;
                break;
            }
        for (A_long x = W - 1; x > right; --x)
            if (covered(row[x])) {
                right = x;
                break;
            }
    }
    // A single covered column 0 leaves right at its initial 0, which is right.
    rect = {left - 1, top - 1, right + 1, bottom + 1};
}

}  // namespace

void calculateLayerRect(PF_InData*, AEGP_SuiteHandler&, int bpc, PF_LayerDef* world, PF_LRect& rect) {
    rect = {world->width - 1, world->height - 1, 1, 1};
    raster::forDepth(bpc, [&](auto pixel) { layerRect<decltype(pixel)>(world, rect); });
}

// The per-render object that lays out the frame's elements and draws them.
// The layouts (element creation) live in layout/, the drawing in render/.
#pragma once

#include "AEGP_SuiteHandler.h"
#include "AE_Effect.h"
#include "Color.h"
#include "Parameters.h"
#include "Vector.h"
#include "VemaroShapeTransitioner.h"

#include <cstdint>
#include <memory>
#include <vector>

class Blender;
class TransitionAnimator;

class ShapeDrawer {
public:
    // One placed element. The defaults are what every layout gives a fresh one.
    // Ordered by size and the flags packed, so that the record is 120 bytes:
    // a frame may keep millions of them.
    struct Pattern {
        double t = 0.0;      // normalised position along the layout
        Vector position;     // output-world pixels (the world's origin subtracted)
        double phase = 0.0;  // radians
        double opacity = 1.0;
        double scale = 1.0;
        double phaseOffset = 0.0;  // radians
        Color color1;              // 1D colour map, HLS {alpha, hue, lightness, saturation}
        Color color2;              // pre-2D colour map, HLS
        Color colorModifier;       // {1, hue shift, lightness factor, saturation factor}
        int32_t shapeIndex = 0;
        int32_t i = 0;
        int32_t j = 0;
        // Which optional values apply, one bit each (0 or 1).
        uint8_t hasScale : 1;
        uint8_t hasColor1 : 1;
        uint8_t hasColor2 : 1;
        uint8_t hasColorModifier : 1;
        uint8_t hasPhaseOffset : 1;

        Pattern() : hasScale(0), hasColor1(0), hasColor2(0), hasColorModifier(0), hasPhaseOffset(0) {}
    };

    // One draw: the element, its shape and the repeater copy (what `trace`
    // records).
    struct PatternQueue {
        int32_t shapeIndex;
        const Parameters::Shape* shape;
        const Pattern* pattern;
        Vector offset;  // the repeater copy's draw offset, not the element position
    };

    // One element draw of the frame, in the order of drawing.
    struct DrawJob {
        const Pattern* element;
        int32_t shapeIndex;
        uint8_t kind;   // which rasteriser's record
        uint32_t slot;  // the record's place among the batch's records of its kind
        Vector offset;  // the repeater copy's draw offset
    };
    // The records and strips of the batch being drawn (render/).
    struct Batch;

    // What the frame's launches do besides drawing: the first clears the
    // output, the last runs the Blender's opacity pass, blend pass, or both.
    struct FrameWork {
        bool clear = false;
        const Blender* blender = nullptr;
        bool lighten = false;
        bool blend = false;
    };

    // Fields 1 to 17 from the render, then the shape transitioner from the
    // record and the (initialised) animator.
    ShapeDrawer(AEGP_PluginID pluginId, PF_InData* in_data, AEGP_SuiteHandler& suites, AEGP_EffectRefH effect,
                PF_EffectWorld* input, PF_EffectWorld* output, int bpc, const Parameters& params,
                const TransitionAnimator& animator, uint8_t draft);

    // ---- element creation (layout/)
    // Runs the layout of Parameters::pattern; any other value creates nothing.
    PF_Err createPatterns();
    PF_Err createPointPatterns();
    PF_Err createLinePatterns();
    PF_Err createLineSegmentPatterns();
    PF_Err createCirclePatterns();
    PF_Err createRectanglePatterns();
    PF_Err createGridPatterns();
    PF_Err createFiniteGridPatterns();
    PF_Err createTriangularGridPatterns();
    PF_Err createPathPatterns();
    PF_Err createWaveformPatterns();
    PF_Err createGraphPatterns();
    PF_Err createRandomPatterns();

    // ---- drawing (render/)
    PF_Err draw();
    PF_Err drawNormal();
    PF_Err drawRepeater1D();
    PF_Err drawRepeater2D();
    void calculateBoundingBox(Vector& min, Vector& max) const;
    bool hitRectangle(const Vector& aMin, const Vector& aMax, const Vector& bMin, const Vector& bMax) const;
    // Chooses the element's shape and, when it is at the priority being
    // drawn, hands it to the schedule.
    PF_Err drawPattern(Pattern& element, const Vector& offset);
    // The shape an element draws with (the post-2D shape map may choose
    // another); outside 0..7 it draws nothing.
    int chooseShape(const Pattern& element, const Vector& offset, PF_Err& err);
    // Adds one draw to the batch; a full batch is drawn.
    PF_Err emit(int shapeIndex, const Pattern& element, const Vector& offset);
    // Adds every element at the offset, the last first, to the batch as one
    // pass (see `passes`); full batches are drawn.
    PF_Err emitPass(const Vector& offset);
    // Draws the batch in one launch over strips of the output (last: with the
    // frame's closing passes).
    PF_Err launch(bool last);
    PF_Err acquireBandSuites();
    PF_Err calculateScale(const Parameters::Shape& shape, const Pattern& element, const Vector& offset, double& scale);
    PF_Err calculateOpacity(const Parameters::Shape& shape, const Pattern& element, double& opacity);
    PF_Err calculatePhase(const Parameters::Shape& shape, const Pattern& element, const Vector& offset, double& phase);
    PF_Err calculateColor(int shapeIndex, const Parameters::Shape& shape, const Pattern& element, const Vector& offset,
                          Color& fill, Color& stroke, double& alpha);

    AEGP_PluginID pluginId;
    PF_InData* in_data;
    AEGP_SuiteHandler* suites;
    AEGP_EffectRefH effect;
    PF_EffectWorld* input;
    PF_EffectWorld* output;
    int bpc;
    const Parameters* params;
    std::vector<Pattern> patterns;
    // With different priorities the frame walks its draws once per priority,
    // greatest first, and draws only those of shapes at queueLevel: each
    // priority's draws in the order they come, with no list of the draws.
    uint8_t queueMode = 0;                       // drawing state
    int32_t queueLevel = 0;                      // drawing state
    std::vector<PatternQueue>* trace = nullptr;  // when set, every draw is also recorded there (tests)
    AEGP_LayerH layer = nullptr;                 // drawing state
    uint8_t draft;
    int width;  // layer size in downsampled pixels
    int height;
    double originX;  // the output world's origin
    double originY;
    int threads = 0;  // drawing state
    FrameWork frameWork;
    std::vector<DrawJob> jobs;     // drawing state: the batch being collected
    std::shared_ptr<Batch> batch;  // drawing state, kept from launch to launch
    int heldFrames = 0;            // drawing state: jobs of the batch with a frame of their own
    bool cleared = false;          // drawing state
    bool drawing = false;          // drawing state: inside draw()
    // Drawing state: the frame's plain passes go to the batch whole, their
    // draws found in the set-up pass (no priority queue, no shape map, no
    // frame checked out per element).
    bool passes = false;
    // A failure of the element pipeline met after its layout returned (while
    // working out queued elements); the render reports it.
    PF_Err layoutError = PF_Err_NONE;
    const TransitionAnimator* animator;
    ShapeTransitioner shapeTransitioner;
};

static_assert(sizeof(ShapeDrawer::Pattern) <= 120, "the element record is kept per element: keep it compact");

// The layer size at the downsampled resolution as the layouts see it:
// size × num / den in unsigned 32-bit arithmetic, product first. A zero
// denominator counts as full resolution.
int downsampledSize(A_long size, const PF_RationalScale& factor);

// The simulated host's worlds: the world suites, the utility callbacks and
// their accounting.
#include "RenderFixture.h"

#include <algorithm>

using hostsim::Depth;
using hostsim::World;

using Worlds = RenderFixture;

namespace {
template <class S>
S* acquire(PF_InData& in, const char* name, int version) {
    const void* s = nullptr;
    EXPECT_EQ(in.pica_basicP->AcquireSuite(name, version, &s), kSPNoError);
    return static_cast<S*>(const_cast<void*>(s));
}
}  // namespace

TEST_F(Worlds, NewWorldsAtEveryFormat) {
    auto* ws = acquire<PF_WorldSuite2>(in, kPFWorldSuite, 2);
    const std::pair<PF_PixelFormat, std::size_t> formats[] = {
        {PF_PixelFormat_ARGB32, 4}, {PF_PixelFormat_ARGB64, 8}, {PF_PixelFormat_ARGB128, 16}};
    for (auto [format, size] : formats) {
        PF_EffectWorld w{};
        ASSERT_EQ(ws->PF_NewWorld(in.effect_ref, 7, 5, true, format, &w), PF_Err_NONE);
        EXPECT_EQ(w.width, 7);
        EXPECT_EQ(w.height, 5);
        EXPECT_GT(static_cast<std::size_t>(w.rowbytes), 7 * size);  // padded rows
        EXPECT_EQ(w.rowbytes % size, 0u);
        PF_PixelFormat got = PF_PixelFormat_INVALID;
        EXPECT_EQ(ws->PF_GetPixelFormat(&w, &got), PF_Err_NONE);
        EXPECT_EQ(got, format);
        const auto* bytes = static_cast<const unsigned char*>(w.data);
        for (int y = 0; y < 5; ++y)
            EXPECT_TRUE(std::all_of(bytes + y * w.rowbytes, bytes + y * w.rowbytes + 7 * size,
                                    [](unsigned char b) { return b == 0; }));
        EXPECT_EQ(host.get<hostsim::Worlds>().live(), 1);
        EXPECT_EQ(ws->PF_DisposeWorld(in.effect_ref, &w), PF_Err_NONE);
        EXPECT_EQ(host.get<hostsim::Worlds>().live(), 0);
    }
    PF_EffectWorld w{};
    EXPECT_NE(ws->PF_NewWorld(in.effect_ref, 7, 5, true, PF_PixelFormat_INVALID, &w), PF_Err_NONE);
    EXPECT_NE(ws->PF_NewWorld(in.effect_ref, -1, 5, true, PF_PixelFormat_ARGB32, &w), PF_Err_NONE);
    EXPECT_EQ(host.get<hostsim::Worlds>().live(), 0);
    in.pica_basicP->ReleaseSuite(kPFWorldSuite, 2);
}

TEST_F(Worlds, UtilityCallbacksAndFill) {
    PF_EffectWorld w{};
    ASSERT_EQ(in.utils->new_world(in.effect_ref, 6, 4, PF_NewWorldFlag_DEEP_PIXELS, &w), PF_Err_NONE);
    World* world = World::liveFromRecord(&w);
    ASSERT_NE(world, nullptr);
    EXPECT_EQ(world->depth(), Depth::Bits16);
    // Not cleared when not asked: an effect must not rely on zeros.
    EXPECT_NE(world->at<PF_Pixel16>(0, 0).alpha, 0);

    const PF_Pixel white{255, 255, 255, 255};
    const PF_Rect rect{-3, 1, 2, 99};  // clipped to the world
    ASSERT_EQ(in.utils->fill(in.effect_ref, &white, &rect, &w), PF_Err_NONE);
    EXPECT_TRUE(samePixel(world->at<PF_Pixel16>(1, 3), PF_Pixel16{32768, 32768, 32768, 32768}));
    EXPECT_FALSE(samePixel(world->at<PF_Pixel16>(2, 1), PF_Pixel16{32768, 32768, 32768, 32768}));
    ASSERT_EQ(in.utils->fill(in.effect_ref, nullptr, nullptr, &w), PF_Err_NONE);  // whole world, transparent
    EXPECT_TRUE(samePixel(world->at<PF_Pixel16>(5, 3), PF_Pixel16{0, 0, 0, 0}));
    EXPECT_TRUE(world->paddingUntouched());

    ASSERT_EQ(in.utils->dispose_world(in.effect_ref, &w), PF_Err_NONE);
    EXPECT_EQ(w.data, nullptr);
    EXPECT_TRUE(host.violations().empty());
}

TEST_F(Worlds, MisuseAndLeaksAreReported) {
    PF_EffectWorld w{};
    ASSERT_EQ(in.utils->new_world(in.effect_ref, 3, 3, PF_NewWorldFlag_CLEAR_PIXELS, &w), PF_Err_NONE);
    PF_EffectWorld copy = w;
    ASSERT_EQ(in.utils->dispose_world(in.effect_ref, &w), PF_Err_NONE);
    EXPECT_NE(in.utils->dispose_world(in.effect_ref, &copy), PF_Err_NONE);  // twice
    ASSERT_EQ(host.violations().size(), 1u);
    host.clearViolations();

    ASSERT_EQ(in.utils->new_world(in.effect_ref, 3, 3, PF_NewWorldFlag_CLEAR_PIXELS, &w), PF_Err_NONE);
    const std::vector<std::string> leaks = host.unloadLeaks();
    EXPECT_EQ(std::count(leaks.begin(), leaks.end(), "1 world(s) never disposed"), 1);
    ASSERT_EQ(in.utils->dispose_world(in.effect_ref, &w), PF_Err_NONE);

    host.faults().failCall("new_world", host.faults().calls("new_world") + 1, PF_Err_OUT_OF_MEMORY);
    EXPECT_EQ(in.utils->new_world(in.effect_ref, 3, 3, 0, &w), PF_Err_OUT_OF_MEMORY);
}

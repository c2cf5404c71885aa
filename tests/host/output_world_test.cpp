// The host's output worlds are reused between renders, as a host's frame
// buffers are: never one that a caller still holds, always with the origin of
// the new request.
#include "smartrender_fixture.h"

#include <vector>

using namespace sr;

namespace {

std::vector<unsigned char> bytesOf(const hostsim::World& w) {
    const auto* p = static_cast<const unsigned char*>(w.get()->data);
    return {p, p + std::size_t(w.get()->rowbytes) * std::size_t(w.height())};
}

PF_RenderRequest request(PF_LRect rect) {
    PF_RenderRequest req{};
    req.rect = rect;
    req.field = PF_Field_FRAME;
    req.channel_mask = PF_ChannelMask_ARGB;
    return req;
}

TEST_F(SmartRenderTest, HeldOutputsAreNeverReusedAndDroppedOnesAre) {
    set(kOnOriginal, 1);  // the input's frame number shows in every frame
    hostsim::SmartRenderCall first = smart.render(3);
    ASSERT_EQ(first.err, PF_Err_NONE);
    const std::vector<unsigned char> firstBytes = bytesOf(*first.output);
    hostsim::SmartRenderCall second = smart.render(4);
    ASSERT_EQ(second.err, PF_Err_NONE);
    EXPECT_NE(second.output.get(), first.output.get());
    EXPECT_EQ(bytesOf(*first.output), firstBytes) << "a held output was drawn over";
    EXPECT_NE(bytesOf(*second.output), firstBytes);

    // Both dropped: the next render draws into one of them and gives what the
    // same frame gave in a fresh world.
    const void* firstData = first.output->get()->data;
    const void* secondData = second.output->get()->data;
    first = {};
    second = {};
    hostsim::SmartRenderCall again = smart.render(3);
    ASSERT_EQ(again.err, PF_Err_NONE);
    const void* data = again.output->get()->data;
    EXPECT_TRUE(data == firstData || data == secondData);
    EXPECT_EQ(bytesOf(*again.output), firstBytes);
    EXPECT_TRUE(again.output->paddingUntouched());
}

TEST_F(SmartRenderTest, ReusedOutputTakesTheOriginOfTheNewRequest) {
    for (PF_LRect rect : {PF_LRect{100, 50, 140, 70}, PF_LRect{0, 0, 40, 20}, PF_LRect{7, 9, 47, 29}}) {
        PF_RenderRequest req = request(rect);
        hostsim::PreRenderCall pre = comp.preRender(&req);
        ASSERT_EQ(pre.err, PF_Err_NONE);
        hostsim::SmartRenderCall call = smart.send(pre);
        comp.releasePreRenderData(pre);
        ASSERT_EQ(call.err, PF_Err_NONE);
        EXPECT_EQ(call.output->get()->origin_x, rect.left);
        EXPECT_EQ(call.output->get()->origin_y, rect.top);
    }
}

}  // namespace

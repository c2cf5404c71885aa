#include "Host.h"

#include <gtest/gtest.h>

TEST(HostSim, LoadsTheModule) {
    hostsim::Host host;
    std::string error;
    ASSERT_TRUE(host.load(VEMARO_MODULE_PATH, &error)) << error;
    EXPECT_EQ(host.module().pipl().pascalString("name"), "VemaroPatternFx");
}

// A loaded effect under the simulated host, with checks that nothing leaked.
#pragma once

#include "Host.h"

#include <gtest/gtest.h>

#include <sstream>

inline std::string joinLines(const std::vector<std::string>& v) {
    std::ostringstream o;
    for (const auto& s : v) o << "  " << s << "\n";
    return o.str();
}

class HostFixture : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(host.load(VEMARO_MODULE_PATH, &error)) << error;
    }
    void TearDown() override {
        EXPECT_TRUE(host.violations().empty()) << "host saw misuse or leaks:\n" << joinLines(host.violations());
    }
    // Global setup and sequence setup, as the host does for a new instance.
    void startInstance() {
        ASSERT_EQ(host.globalSetup(), PF_Err_NONE);
        ASSERT_EQ(host.sequenceSetup(), PF_Err_NONE);
    }
    void endInstance() {
        EXPECT_EQ(host.sequenceSetdown(), PF_Err_NONE);
        EXPECT_EQ(host.globalSetdown(), PF_Err_NONE);
    }

    hostsim::Host host;
};

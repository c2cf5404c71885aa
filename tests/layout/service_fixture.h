// A simulated host without the module: layout code is called directly with the
// host's records and a suite handler, as the smart render would pass them.
#pragma once

#include "AEGP_SuiteHandler.h"
#include "Host.h"

#include <gtest/gtest.h>

#include <memory>

class HostServices : public ::testing::Test {
protected:
    HostServices() : in(host.nextInData()) {}

    // A fresh suite handler, as each command builds one.
    AEGP_SuiteHandler& suites() {
        if (!suites_) suites_ = std::make_unique<AEGP_SuiteHandler>(host.basicSuite());
        return *suites_;
    }
    // Ends the "command": releases the suites and checks that nothing is held.
    void endCommand() {
        suites_.reset();
        EXPECT_EQ(host.suites().outstanding(), 0);
    }
    void TearDown() override {
        endCommand();
        EXPECT_TRUE(host.violations().empty()) << host.violations().front();
    }

    hostsim::Host host;
    PF_InData in;

private:
    std::unique_ptr<AEGP_SuiteHandler> suites_;
};

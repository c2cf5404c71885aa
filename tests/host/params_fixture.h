// A loaded effect after global setup, with the parameter side of the host at
// hand.
#pragma once

#include "HostFixture.h"
#include "Params.h"

#include <string>
#include <vector>

class ParamsTest : public HostFixture {
protected:
    void SetUp() override {
        HostFixture::SetUp();
        ASSERT_EQ(host.globalSetup(), PF_Err_NONE);
    }

    // Loads the effect's table; most tests start here.
    void setUpTable() {
        ASSERT_EQ(params.setup(), PF_Err_NONE);
        ASSERT_EQ(params.count(), 688);
    }

    // Ends the instance and expects nothing misused or left behind.
    void expectCleanEnd() {
        EXPECT_EQ(host.globalSetdown(), PF_Err_NONE);
        EXPECT_EQ(host.violations(), std::vector<std::string>{});
        EXPECT_EQ(host.unloadLeaks(), std::vector<std::string>{});
    }

    hostsim::Params& params = host.get<hostsim::Params>();
};

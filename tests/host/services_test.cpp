#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include "host/clock.h"
#include "host/pal.h"
#include "host/services.h"
#include "support/manual_clock.h"
#include "support/scoped_host.h"

namespace {

using unified_track::Host;
using unified_track::HostServices;
using unified_track::ScopedHostServices;

TEST(HostServicesTest, GuardsNestAndPutBackOnlyWhatTheyReplaced) {
    const HostServices real = Host();
    EXPECT_EQ(real.clock, &unified_track::RealClock());
    EXPECT_EQ(real.files, &unified_track::SystemFileOps());
    ut_test::ManualClock outerClock(1000, 1000);
    ut_test::ManualClock innerClock(2000, 2000);
    unified_track::FileOps files;
    {
        ut_test::ScopedClock outer(&outerClock);
        {
            HostServices both;
            both.clock = &innerClock;
            both.files = &files;
            ScopedHostServices inner(both);
            EXPECT_EQ(PAL_GetSystemTime(), 2000u);
            EXPECT_EQ(Host().files, &files);
            EXPECT_EQ(Host().dns, real.dns);  // not replaced: still the real one
        }
        EXPECT_EQ(PAL_GetSystemTime(), 1000u);
        EXPECT_EQ(Host().files, real.files);
    }
    EXPECT_EQ(Host().clock, real.clock);
    EXPECT_TRUE(unified_track::HostClockIsReal());
}

// A fatal assertion leaves the test body at once; the guard still puts the real clock back.
void FailWithClockInstalled(ut_test::ManualClock *clock) {
    ut_test::ScopedClock installed(clock);
    ASSERT_TRUE(false) << "expected";
}

TEST(HostServicesTest, AFailedAssertionDoesNotLeaveTheDoubleInstalled) {
    ut_test::ManualClock clock(5, 5);
    ::testing::TestPartResultArray failures;
    {
        ::testing::ScopedFakeTestPartResultReporter reporter(
            ::testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD, &failures);
        FailWithClockInstalled(&clock);
    }
    EXPECT_EQ(failures.size(), 1);
    EXPECT_TRUE(unified_track::HostClockIsReal());
}

}  // namespace

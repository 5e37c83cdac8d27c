// A started library with a manual clock and a configured context, so that every reporter event
// is written to the user dot file at once; Events() drains the command thread and reads them back.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <unified_track/unified_track.h>

#include "support/manual_clock.h"
#include "support/scoped_host.h"
#include "manager/UTThreadMgr.h"
#include "support/temp_dir.h"

namespace ut_reporters {

using ut_test::ManualClock;

inline constexpr uint64_t kWallMs = 1700000000000ULL;
inline constexpr uint64_t kRunMs = 1000000ULL;  // well past the first 30 s of run time

struct Event {
    std::string eventId, event, arg2, arg3, arg4;
};

class ReporterEvents : public ::testing::Test {
protected:
    void SetUp() override {
        installed_.emplace(&clock_);
        ASSERT_EQ(InitUnifiedTrack(3, 0, 0, dir_.path().c_str(), dir_.path().c_str()),
                  static_cast<OST_UT_RESULT>(UT_SUCCESS));
        // Events are held back until the context is configured; write them at once.
        tagUTBrioContextPublicParam ctx{};
        ctx.context15 = "suite";
        ASSERT_EQ(Track_ConfigBrioContextPublicParam(&ctx), static_cast<OST_UT_RESULT>(UT_SUCCESS));
    }
    void TearDown() override {
        Track_Uninit();
        // The upload thread sleeps on the manual clock: end it before that clock goes away.
        unified_track::UTThreadMgr::ShutdownThreads();
        installed_.reset();
    }

    // Waits for every command queued so far, then reads the reporter events of the user dot file.
    std::vector<Event> Events() {
        unified_track::UTThreadMgr::GetInstance().PushCmd(
            std::function<OST_UT_RESULT()>([] { return static_cast<OST_UT_RESULT>(UT_SUCCESS); }), "_test_drain");
        std::vector<Event> events;
        std::ifstream in(dir_.path() + "/dotdata/user_dot_data.dat", std::ios::binary);
        std::string line;
        while (std::getline(in, line)) {
            // Fields 26..29 never hold "|" here; the payload (field 30) may.
            std::vector<std::string> f;
            size_t pos = 0, bar = 0;
            while (f.size() < 29 && (bar = line.find('|', pos)) != std::string::npos) {
                f.push_back(line.substr(pos, bar - pos));
                pos = bar + 1;
            }
            if (f.size() == 29) events.push_back({f[25], f[26], f[27], f[28], line.substr(pos)});
        }
        return events;
    }

    Event Only() {
        std::vector<Event> events = Events();
        EXPECT_EQ(events.size(), 1u);
        return events.empty() ? Event{} : events.front();
    }

    ManualClock clock_{kWallMs, kRunMs};
    std::optional<ut_test::ScopedClock> installed_;
    ut_test::TempDir dir_;
};

}  // namespace ut_reporters

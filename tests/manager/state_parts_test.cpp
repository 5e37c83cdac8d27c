// The manager's small parts through their own interfaces: parameters and switches, the time
// base, held-back records, timed events and message counters.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "manager/msg_counters.h"
#include "manager/param_store.h"
#include "manager/record_caches.h"
#include "manager/time_base.h"
#include "manager/timed_events.h"

namespace unified_track {
namespace {

TEST(ParamStoreTest, EffectiveSwitchFollowsUploadAndAppSwitches) {
    struct Step {
        bool setUpload;  // else the app switch
        bool value;
        bool dot;
    };
    const Step steps[] = {{true, true, false}, {false, true, true},   {true, false, false},
                          {true, true, true},  {false, false, false}, {false, true, true}};
    ParamStore store;
    store.RestoreSwitches(SwitchState{false, false, false, false, false, false});
    for (const Step &s : steps) {
        if (s.setUpload) {
            store.SetUploadSwitch(s.value);
        } else {
            store.SetAppSwitch(s.value);
        }
        EXPECT_EQ(store.DotSwitch(), s.dot);
    }
}

TEST(ParamStoreTest, ConcurrentSwitchesLeaveTheEffectiveSwitchConsistent) {
    ParamStore store;
    std::thread upload([&] {
        for (int i = 0; i < 2000; ++i) store.SetUploadSwitch(i % 2 == 0);
    });
    std::thread app([&] {
        for (int i = 0; i < 2000; ++i) store.SetAppSwitch(i % 3 != 0);
    });
    upload.join();
    app.join();
    const SwitchState s = store.Switches();
    EXPECT_EQ(s.dot, s.upload && s.app);
}

TEST(ParamStoreTest, ReservesAreBuiltFromTheirFieldsAndCopiesAreIndependent) {
    ParamStore store;
    store.With([](ParamFields &f) {
        f.m_terminalType = "PC";
        f.m_confuuid = "c-1";
        f.m_pid = "p\"2";
        f.m_context[13] = "9.1";
        f.m_context[0] = "6.0";
        f.m_uploadParam.serverAddr = "host";
    });
    store.BuildReserves();
    EXPECT_EQ(store.With([](ParamFields &f) { return f.reserves; }),
              "{\"terminalType\":\"PC\",\"confuuid\":\"c-1\",\"pid\":\"p\"2\",\"thirdAppVersion\":\"9.1\"}");
    UpLoadParam copy = store.UploadParam();
    copy.serverAddr = "other";
    EXPECT_EQ(store.UploadParam().serverAddr, "host");
    EXPECT_EQ(store.Context(0), "6.0");
    EXPECT_EQ(store.Context(14), "");  // out of range: nothing, no crash
}

TEST(ParamStoreTest, RestoredSwitchesReadBackAsGiven) {
    ParamStore store;
    const SwitchState states[] = {{true, true, true, true, true, true},
                                  {false, true, false, true, false, true},
                                  {false, false, false, false, false, false}};
    for (const SwitchState &want : states) {
        store.RestoreSwitches(want);
        const SwitchState got = store.Switches();
        EXPECT_EQ(got.dot, want.dot);
        EXPECT_EQ(got.upload, want.upload);
        EXPECT_EQ(got.app, want.app);
        EXPECT_EQ(store.MeetingSdkSwitch(), want.meetingSdk);
        EXPECT_EQ(store.UploadSet(), want.uploadSet);
        EXPECT_EQ(store.ContextConfigured(), want.contextConfigured);
    }
}

TEST(TimeBaseTest, ReadersNeverSeeOneLoginsServerTimeWithAnothersBase) {
    TimeBase time;
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int64_t i = 1; i <= 5000; ++i) time.Set(static_cast<uint64_t>(i) * 7, i);
        done.store(true);
    });
    bool mixed = false;
    while (!done.load()) {
        uint64_t server = 0;
        int64_t base = 0;
        time.Get(&server, &base);
        if (server != static_cast<uint64_t>(base) * 7) mixed = true;
    }
    writer.join();
    EXPECT_FALSE(mixed);
}

TEST(TimeBaseTest, LoginStoresTheServerTimeWithANonZeroBase) {
    TimeBase time;
    uint64_t server = 0;
    int64_t base = 0;
    time.RecordLogin(1700000000000ull, &server, &base);
    uint64_t readServer = 0;
    int64_t readBase = 0;
    time.Get(&readServer, &readBase);
    EXPECT_EQ(server, 1700000000000ull);
    EXPECT_EQ(readServer, server);
    EXPECT_EQ(readBase, base);
}

TEST(TimeBaseTest, StampFromTheServerTimeHasTheRecordShape) {
    TimeBase time;
    time.Set(1700000000000ull, 1000);
    const std::string stamp = time.DiffTimeStamp(1500);
    ASSERT_EQ(stamp.size(), 29u) << stamp;  // "YYYY-MM-DD hh:mm:ss.mmm +hhmm"
    EXPECT_EQ(stamp.substr(0, 4), "2023");
    EXPECT_EQ(stamp.substr(20, 3), "500");  // the capture time's offset from the base
}

ContextSpecialParam Record(const std::string &event) {
    ContextSpecialParam record;
    record.event = event;
    return record;
}

TEST(RecordCachesTest, HoldsUpToOneMoreThanTheLimitInOrder) {
    RecordCaches caches;
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(caches.HoldUser(Record("u" + std::to_string(i)), 3)) << i;
    EXPECT_FALSE(caches.HoldUser(Record("late"), 3));
    EXPECT_TRUE(caches.HoldMedia(Record("m"), 3));
    const RecordCaches::Records user = caches.UserRecords();
    ASSERT_EQ(user.size(), 4u);
    EXPECT_EQ(user.front().event, "u0");
    EXPECT_EQ(user.back().event, "u3");
    EXPECT_EQ(caches.MediaCount(), 1u);
    caches.ClearUser();
    EXPECT_EQ(caches.UserCount(), 0u);
    EXPECT_EQ(caches.MediaRecords().size(), 1u);  // each list on its own
    caches.ClearMedia();
    EXPECT_EQ(caches.MediaCount(), 0u);
}

TEST(TimedEventsTest, StartFindTakeAndRestart) {
    TimedEvents events;
    EXPECT_EQ(events.Find("a"), nullptr);
    EXPECT_EQ(events.Take("a"), nullptr);
    events.Start("a", 10);
    auto first = events.Find("a");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->startTime, 10u);
    events.Start("a", 20);  // a restart replaces the event
    auto second = events.Take("a");
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->startTime, 20u);
    EXPECT_NE(first, second);
    EXPECT_EQ(first->startTime, 10u);  // a holder keeps its event alive
    EXPECT_EQ(events.Count(), 0u);
    events.Start("b", 1);
    events.Clear();
    EXPECT_EQ(events.Find("b"), nullptr);
}

TEST(MsgCountersTest, BumpReadAndTake) {
    MsgCounters counters;
    EXPECT_FALSE(counters.Bump(MsgCounters::kCount));
    EXPECT_TRUE(counters.Bump(0));
    EXPECT_TRUE(counters.Bump(10));
    EXPECT_TRUE(counters.Bump(10));
    counters.Set(5, 0xFFFFFFFFu);
    EXPECT_EQ(counters.Get(MsgCounters::kCount), 0u);
    uint32_t counts[MsgCounters::kCount];
    counters.Read(counts, false);
    EXPECT_EQ(counts[0], 1u);
    EXPECT_EQ(counts[10], 2u);
    EXPECT_EQ(counts[5], 0xFFFFFFFFu);
    counters.Read(counts, true);
    EXPECT_EQ(counts[10], 2u);
    EXPECT_EQ(counters.Get(10), 0u);
    counters.Bump(3);
    counters.ClearAll();
    EXPECT_EQ(counters.Get(3), 0u);
}

TEST(MsgCountersTest, TakingWhileAnotherThreadBumpsLosesNoBump) {
    MsgCounters counters;
    constexpr uint32_t kBumps = 20000;
    std::thread bumper([&] {
        for (uint32_t i = 0; i < kBumps; ++i) counters.Bump(2);
    });
    uint64_t taken = 0;
    uint32_t counts[MsgCounters::kCount];
    for (int i = 0; i < 200; ++i) {
        counters.Read(counts, true);
        taken += counts[2];
    }
    bumper.join();
    counters.Read(counts, true);
    taken += counts[2];
    EXPECT_EQ(taken, kBumps);
}

}  // namespace
}  // namespace unified_track

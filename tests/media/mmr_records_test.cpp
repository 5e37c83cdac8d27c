// MMR records: placeholders, the counter hand-over, user-name masking, the export's length
// checks, immediate packing, and the message counters.
#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <thread>

#include "manager/UTManager.h"
#include "media_test_env.h"

using namespace media_test;
using unified_track::UTManager;

namespace {
uint32_t Counter(uint32_t i) {
    return UTManager::GetInstance().Counters().Get(i);
}
OST_UT_RESULT AddMmr(const std::string &text) {
    return Track_AddMMRTrack(text.c_str(), static_cast<int32_t>(text.size() + 1), 0);
}
}  // namespace

// Counter 9 counts the commands the command thread ran meanwhile, so both tests read it back.
TEST_F(MediaEnv, MmrPlaceholdersMaskingAndCounterHandOver) {
    ConfigureAll();
    Drain();
    for (uint32_t i : {11u, 0x80000000u, 0xFFFFFFFEu}) EXPECT_EQ(Track_MsgDotCount(i), UT_FAILED) << i;
    UTManager::GetInstance().Counters().Set(5, 0xFFFFFFFFu);
    EXPECT_EQ(Track_MsgDotCount(5), UT_SUCCESS);  // wraps
    EXPECT_EQ(Counter(5), 0u);
    // Only all ones takes the counters back to zero.
    ASSERT_EQ(Track_MsgDotCount(0xFFFFFFFFu), UT_SUCCESS);
    for (uint32_t i : {0u, 0u, 10u}) Track_MsgDotCount(i);
    ASSERT_EQ(AddMmr(R"({"v":"ut-version-tmp","s":msgCountDotSumValue,"l":"msgCountDotValue",)"
                     R"("j":"{\"userName\":\"Alice\",\"userName\":\"Bo\"}"})"),
              UT_SUCCESS);
    Drain();
    const std::string content = MmrContent();
    const std::string list = R"("l":"2,0,0,0,0,0,0,0,0,)";
    const size_t found = content.find(list), at = found + list.size();
    ASSERT_NE(found, std::string::npos) << content;
    const std::string ninth = content.substr(at, content.find(',', at) - at);
    EXPECT_LE(std::stoul(ninth), 2u);
    EXPECT_EQ(content, R"({"v":"1.2.3","s":)" + std::to_string(3 + std::stoul(ninth)) + R"(,"l":"2,0,0,0,0,0,0,0,0,)" +
                           ninth + R"(,1","j":"{\"userName\":\"A****\",\"userName\":\"B*\"}"},)");
    EXPECT_EQ(Counter(0), 0u);
    EXPECT_EQ(Counter(10), 0u);
}

TEST_F(MediaEnv, MmrWithOneCountFormKeepsTheCounters) {
    Drain();
    ASSERT_EQ(Track_MsgDotCount(0xFFFFFFFFu), UT_SUCCESS);
    Track_MsgDotCount(3);
    ASSERT_EQ(AddMmr("sum=msgCountDotSumValue"), UT_SUCCESS);
    ASSERT_EQ(AddMmr("list=msgCountDotValue;ut-version-tmp"), UT_SUCCESS);  // no version yet
    Drain();
    EXPECT_EQ(Counter(3), 1u);
    const std::string content = MmrContent();
    unsigned long sum = 0, ninth = 0;
    int end = 0;
    ASSERT_EQ(std::sscanf(content.c_str(), "sum=%lu,list=0,0,0,1,0,0,0,0,0,%lu,0;,%n", &sum, &ninth, &end), 2);
    EXPECT_EQ(static_cast<size_t>(end), content.size()) << content;
    // The second record may have seen one more finished command.
    EXPECT_TRUE(sum == ninth + 1 || sum == ninth) << content;
}

TEST_F(MediaEnv, MmrLengthChecksAndImmediateReport) {
    EXPECT_EQ(Track_AddMMRTrack("abcde", 5, 0), UT_FAILED);
    EXPECT_EQ(log_.Count("strcpy_s content failed! ret:"), 1u);
    EXPECT_EQ(Track_AddMMRTrack("abcde", 6, 0), UT_SUCCESS);
    EXPECT_EQ(Track_AddMMRTrack("abc", 1000000, 0), UT_SUCCESS);  // longer bound than the text
    for (int32_t len : {0, -1, INT32_MIN})
        EXPECT_EQ(Track_AddMMRTrack("abc", len, len == INT32_MIN ? 2 : 0), UT_FAILED);
    EXPECT_EQ(log_.Count("onDotDataReport dataLen error."), 3u);
    EXPECT_EQ(Track_AddMMRTrack(nullptr, 10, 0), UT_FAILED);
    // A buffer without a terminating NUL is never read past dataLen.
    std::unique_ptr<char[]> raw(new char[5]);
    std::memcpy(raw.get(), "vwxyz", 5);
    EXPECT_EQ(Track_AddMMRTrack(raw.get(), 5, 0), UT_FAILED);
    EXPECT_EQ(log_.Count("strcpy_s content failed! ret:"), 2u);

    // An immediate report packs without a text, whatever its length.
    EXPECT_EQ(Track_AddMMRTrack(nullptr, 0, 1), UT_SUCCESS);
    EXPECT_EQ(Track_AddMMRTrack("ignored", -5, 1), UT_SUCCESS);
    Drain();
    EXPECT_EQ(log_.Count("file size = 0 byte, isReportImmediately=1, zip!"), 2u);
    EXPECT_FALSE(std::filesystem::exists(MmrDotFile()));
    ASSERT_EQ(ZipFiles(MmrZipFolder()).size(), 1u);
    EXPECT_EQ(Gunzip(ZipFiles(MmrZipFolder())[0]), "[abcde,abc]");
    // The immediate flag only packs: a text passed with it is not read.
    ASSERT_EQ(Track_AddMMRTrack("{\"b\":2}", 8, 1), UT_SUCCESS);
    Drain();
    EXPECT_EQ(log_.Count("file size = 0 byte, isReportImmediately=1, zip!"), 3u);
    EXPECT_EQ(MmrContent(), "abcde,abc,");
}

TEST_F(MediaEnv, MmrPackedPastThreshold) {
    const std::string big(46079, 'm');  // 46080 bytes with its comma
    ASSERT_EQ(AddMmr(big), UT_SUCCESS);
    ASSERT_EQ(AddMmr(big), UT_SUCCESS);  // 92160: not yet
    Drain();
    EXPECT_EQ(log_.Count(" byte, isReportImmediately="), 0u);
    EXPECT_TRUE(log_.Contains("trackData.length() = 46080"));
    ASSERT_EQ(AddMmr("z"), UT_SUCCESS);
    Drain();
    EXPECT_TRUE(log_.Contains("file size = 92162 byte, isReportImmediately=0, zip!"));
    EXPECT_EQ(log_.Count("trackData.length() = "), 1u);  // only a new largest length
    EXPECT_EQ(MmrContent(), big + "," + big + ",z,");
}

TEST_F(MediaEnv, CounterHandOverLosesNoBump) {
    Drain();
    Track_MsgDotCount(0xFFFFFFFFu);
    constexpr int kThreads = 3, kBumps = 20000;
    std::atomic<int> running{kThreads};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < kBumps; ++i) Track_MsgDotCount(2);
            running.fetch_sub(1);
        });
    }
    uint64_t records = 0;
    do {
        char *text = std::strcpy(new char[40], "msgCountDotSumValue msgCountDotValue");
        EXPECT_EQ(UTManager::GetInstance().AddMMRTrack(text, 40, 0), UT_SUCCESS);
        ++records;
    } while (running.load() > 0 || records < 2);
    for (auto &thread : threads) thread.join();

    // Each record reads "<sum> <c0>,<c1>,...,<c10>,".
    std::istringstream in(MmrContent());
    int64_t sum = 0;
    uint32_t counts[11] = {};
    char comma = 0;
    uint64_t taken = 0, parsed = 0;
    for (; in >> sum; ++parsed) {
        for (uint32_t &count : counts) in >> count >> comma;
        taken += counts[2];
    }
    EXPECT_EQ(parsed, records);
    EXPECT_EQ(taken + Counter(2), static_cast<uint64_t>(kThreads) * kBumps);
}

// MMR records: placeholders, the counter hand-over, user-name masking, the export's length
// checks, immediate packing, and the message counters.
#include <atomic>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <thread>

#include "manager/UTManager.h"
#include "media_test_env.h"

using namespace media_test;
using unified_track::UTManager;

namespace {
char *HeapText(const std::string &text) {
    char *block = new char[text.size() + 1];
    std::memcpy(block, text.c_str(), text.size() + 1);
    return block;
}
uint32_t Counter(uint32_t i) { return UTManager::GetInstance().m_msgCounters[i].load(); }
// Reads "<sum> <c0>,<c1>,...,<c10>," records one after another.
struct CountRecord {
    int64_t sum = 0;
    uint32_t counts[11] = {};
};
std::vector<CountRecord> ParseCountRecords(const std::string &content) {
    std::vector<CountRecord> records;
    std::istringstream in(content);
    CountRecord record;
    char sep = 0;
    while (in >> record.sum) {
        for (uint32_t &count : record.counts) {
            if (!(in >> count >> sep) || sep != ',') return records;
        }
        records.push_back(record);
    }
    return records;
}
// The counter list and the sum as placeholders would have been filled with `counts`.
std::string ListText(const uint32_t (&counts)[11]) {
    std::string text;
    for (int i = 0; i < 11; ++i) text += (i ? "," : "") + std::to_string(counts[i]);
    return text;
}
OST_UT_RESULT AddMmr(const std::string &text) {
    return Track_AddMMRTrack(text.c_str(), static_cast<int32_t>(text.size() + 1), 0);
}
}  // namespace

TEST_F(MediaEnv, MmrPlaceholdersMaskingAndCounterHandOver) {
    ConfigureAll();
    Drain();
    ASSERT_EQ(Track_MsgDotCount(0xFFFFFFFFu), UT_SUCCESS);
    Track_MsgDotCount(0);
    Track_MsgDotCount(0);
    Track_MsgDotCount(10);
    ASSERT_EQ(AddMmr(R"({"v":"ut-version-tmp","s":msgCountDotSumValue,"l":"msgCountDotValue",)"
                     R"("j":"{\"userName\":\"Alice\",\"userName\":\"Bo\"}"})"),
              UT_SUCCESS);
    Drain();
    // Counter 9 counts the commands the command thread ran meanwhile, so it is read back.
    const std::string content = MmrContent();
    const size_t at = content.find(",1\",\"j\"");
    ASSERT_NE(at, std::string::npos) << content;
    const size_t from = content.rfind(',', at - 1) + 1;
    uint32_t counts[11] = {2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    counts[9] = static_cast<uint32_t>(std::stoul(content.substr(from, at - from)));
    EXPECT_LE(counts[9], 2u);
    EXPECT_EQ(content, "{\"v\":\"1.2.3\",\"s\":" + std::to_string(3 + counts[9]) + ",\"l\":\"" +
                           ListText(counts) +
                           R"(","j":"{\"userName\":\"A****\",\"userName\":\"B*\"}"},)");
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
    // Counter 9 counts the commands the command thread ran meanwhile.
    const std::string content = MmrContent();
    ASSERT_EQ(content.rfind("sum=", 0), 0u) << content;
    const size_t comma = content.find(",list=");
    ASSERT_NE(comma, std::string::npos) << content;
    const uint32_t sum = static_cast<uint32_t>(std::stoul(content.substr(4, comma - 4)));
    ASSERT_GE(sum, 1u);
    uint32_t counts[11] = {0, 0, 0, 1};
    counts[9] = sum - 1;
    std::string expected = "sum=" + std::to_string(sum) + ",list=" + ListText(counts) + ";,";
    // The second record may have seen one more finished command.
    std::string later = expected;
    counts[9] += 1;
    later = "sum=" + std::to_string(sum) + ",list=" + ListText(counts) + ";,";
    EXPECT_TRUE(content == expected || content == later) << content;
}

TEST_F(MediaEnv, MmrPlaceholdersAtTheVeryEnd) {
    ConfigureAll();
    ASSERT_EQ(AddMmr("ut-version-tmp"), UT_SUCCESS);
    ASSERT_EQ(AddMmr("x\\\"userName\\\":\\\""), UT_SUCCESS);
    ASSERT_EQ(AddMmr("x\\\"userName\\\":\\\"Alice"), UT_SUCCESS);
    Drain();
    EXPECT_EQ(MmrContent(), "1.2.3,x\\\"userName\\\":\\\",x\\\"userName\\\":\\\"Alice,");
}

TEST_F(MediaEnv, MmrLengthChecksOfTheExport) {
    EXPECT_EQ(Track_AddMMRTrack("abcde", 5, 0), UT_FAILED);
    EXPECT_EQ(log_.Count("strcpy_s content failed! ret:"), 1u);
    EXPECT_EQ(Track_AddMMRTrack("abcde", 6, 0), UT_SUCCESS);
    EXPECT_EQ(Track_AddMMRTrack("abc", 1000000, 0), UT_SUCCESS);  // longer bound than the text

    EXPECT_EQ(Track_AddMMRTrack("abc", 0, 0), UT_FAILED);
    EXPECT_EQ(Track_AddMMRTrack("abc", -1, 0), UT_FAILED);
    EXPECT_EQ(Track_AddMMRTrack("abc", INT32_MIN, 2), UT_FAILED);
    EXPECT_EQ(log_.Count("onDotDataReport dataLen error."), 3u);
    EXPECT_EQ(Track_AddMMRTrack(nullptr, 10, 0), UT_FAILED);

    // A buffer without a terminating NUL is never read past dataLen.
    std::unique_ptr<char[]> raw(new char[5]);
    std::memcpy(raw.get(), "vwxyz", 5);
    EXPECT_EQ(Track_AddMMRTrack(raw.get(), 5, 0), UT_FAILED);
    EXPECT_EQ(log_.Count("strcpy_s content failed! ret:"), 2u);
    Drain();
    EXPECT_EQ(MmrContent(), "abcde,abc,");
}

TEST_F(MediaEnv, MmrImmediateReportPacksWithoutText) {
    ASSERT_EQ(AddMmr("{\"a\":1}"), UT_SUCCESS);
    EXPECT_EQ(Track_AddMMRTrack(nullptr, 0, 1), UT_SUCCESS);
    EXPECT_EQ(Track_AddMMRTrack("ignored", -5, 1), UT_SUCCESS);
    Drain();
    EXPECT_EQ(log_.Count("file size = 0 byte, isReportImmediately=1, zip!"), 2u);
    EXPECT_FALSE(std::filesystem::exists(MmrDotFile()));
    ASSERT_EQ(ZipFiles(MmrZipFolder()).size(), 1u);
    EXPECT_EQ(Gunzip(ZipFiles(MmrZipFolder())[0]), "[{\"a\":1}]");
    EXPECT_EQ(MmrContent(), "{\"a\":1},");
    // The immediate flag only packs: a text passed with it is not read.
    ASSERT_EQ(Track_AddMMRTrack("{\"b\":2}", 8, 1), UT_SUCCESS);
    Drain();
    EXPECT_EQ(log_.Count("file size = 0 byte, isReportImmediately=1, zip!"), 3u);
    EXPECT_EQ(MmrContent(), "{\"a\":1},");
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

TEST(MsgCounters, IndexRules) {
    UTManager &mgr = UTManager::GetInstance();
    for (uint32_t i = 0; i <= 10; ++i) EXPECT_EQ(Track_MsgDotCount(i), UT_SUCCESS) << i;
    EXPECT_EQ(Track_MsgDotCount(11), UT_FAILED);
    EXPECT_EQ(Track_MsgDotCount(0x80000000u), UT_FAILED);
    EXPECT_EQ(Track_MsgDotCount(0xFFFFFFFEu), UT_FAILED);
    EXPECT_EQ(mgr.m_msgCounters[0].load(), 1u);
    mgr.m_msgCounters[5].store(0xFFFFFFFFu);
    EXPECT_EQ(Track_MsgDotCount(5), UT_SUCCESS);  // wraps
    EXPECT_EQ(mgr.m_msgCounters[5].load(), 0u);
    EXPECT_EQ(Track_MsgDotCount(0xFFFFFFFFu), UT_SUCCESS);
    for (auto &counter : mgr.m_msgCounters) EXPECT_EQ(counter.load(), 0u);
}

TEST_F(MediaEnv, CounterHandOverLosesNoBump) {
    Drain();
    Track_MsgDotCount(0xFFFFFFFFu);
    constexpr int kThreads = 3;
    constexpr int kBumps = 20000;
    std::atomic<int> running{kThreads};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < kBumps; ++i) Track_MsgDotCount(2);
            running.fetch_sub(1);
        });
    }
    UTManager &mgr = UTManager::GetInstance();
    int records = 0;
    do {
        EXPECT_EQ(mgr.AddMMRTrack(HeapText("msgCountDotSumValue msgCountDotValue"), 0, 0), UT_SUCCESS);
        ++records;
    } while (running.load() > 0 || records < 2);
    for (auto &thread : threads) thread.join();

    uint64_t taken = 0;
    const std::vector<CountRecord> parsed = ParseCountRecords(MmrContent());
    EXPECT_EQ(parsed.size(), static_cast<size_t>(records));
    for (const CountRecord &record : parsed) taken += record.counts[2];
    EXPECT_EQ(taken + Counter(2), static_cast<uint64_t>(kThreads) * kBumps);
}

// Shared set-up of the configuration tests: a configuration folder of the test's own, files
// written into it, the log capture, and a resolver that answers what the test says.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include <unified_track/host_services.h>
#include <unified_track/ost_config.h>

#include "host/dns_resolver.h"
#include "support/log_capture.h"
#include "support/scoped_host.h"
#include "support/temp_dir.h"

namespace ut_test {

// A resolver whose answer the test sets; counts the look-ups.
class FakeResolver : public unified_track::DnsResolver {
public:
    uint32_t ResolveIpv4(const std::string &host, std::vector<unified_track::Ipv4Address> *addresses) override {
        std::lock_guard<std::mutex> lock(mutex_);
        ++calls_;
        lastHost_ = host;
        if (result_ == 0) *addresses = answer_;
        return result_;
    }
    void Answer(std::vector<unified_track::Ipv4Address> answer) {
        std::lock_guard<std::mutex> lock(mutex_);
        result_ = 0;
        answer_ = std::move(answer);
    }
    void Fail(uint32_t code) {
        std::lock_guard<std::mutex> lock(mutex_);
        result_ = code;
    }
    int Calls() {
        std::lock_guard<std::mutex> lock(mutex_);
        return calls_;
    }

private:
    std::mutex mutex_;
    uint32_t result_ = UT_DNS_ERR_NOT_FOUND;
    std::vector<unified_track::Ipv4Address> answer_;
    int calls_ = 0;
    std::string lastHost_;
};

class ConfigTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(SetConfigFilePath(dir_.path().c_str()), 0u); }
    void TearDown() override { OstClearGlobalCfg(); }

    void Write(const std::string &name, const std::string &content) {
        std::ofstream out(dir_.file(name), std::ios::binary | std::ios::trunc);
        out << content;
    }

    TempDir dir_;
    LogCapture log_;
};

// A guaranteed list built the way the SDK builds it: with new[], handed over.
inline tagDOMAIN_IP_LIST MakeGuaranteedList(const std::vector<std::pair<std::string, std::string>> &rows) {
    tagDOMAIN_IP_LIST list{};
    list.count = static_cast<uint32_t>(rows.size());
    list.records = new tagDOMAIN_IP_INFO[rows.size()]();
    for (size_t i = 0; i < rows.size(); ++i) {
        rows[i].first.copy(list.records[i].domain, sizeof(list.records[i].domain) - 1);
        rows[i].second.copy(list.records[i].ips, sizeof(list.records[i].ips) - 1);
    }
    return list;
}

inline std::string DomainIpJson(const std::vector<std::pair<std::string, std::string>> &rows) {
    std::string json = "{\"Domains\":[";
    for (size_t i = 0; i < rows.size(); ++i) {
        if (i > 0) json += ",";
        json += "{\"domain\":\"" + rows[i].first + "\",\"fixIp\":\"" + rows[i].second + "\"}";
    }
    return json + "]}";
}

}  // namespace ut_test

// Guards that install one test double among the host services for a scope and put the previous
// one back afterwards, also when an assertion ends the test early.
#pragma once

#include <cstdint>
#include <functional>
#include <utility>

#include "host/services.h"

namespace ut_test {

template <typename T, T *unified_track::HostServices::*Member>
class ScopedHostService : public unified_track::ScopedHostServices {
public:
    explicit ScopedHostService(T *service) : ScopedHostServices(Only(service)) {}

private:
    static unified_track::HostServices Only(T *service) {
        unified_track::HostServices s;
        s.*Member = service;
        return s;
    }
};

using ScopedClock = ScopedHostService<unified_track::Clock, &unified_track::HostServices::clock>;
using ScopedFileOps = ScopedHostService<unified_track::FileOps, &unified_track::HostServices::files>;
using ScopedDnsResolver = ScopedHostService<unified_track::DnsResolver, &unified_track::HostServices::dns>;
using ScopedHttpSender = ScopedHostService<unified_track::HttpSender, &unified_track::HostServices::http>;

// An HTTP exchange made by a test function, in place of the network.
class FunctionSender : public unified_track::HttpSender {
public:
    using Func = std::function<int32_t(tagOstHttpRequest *request, int32_t repeat)>;
    explicit FunctionSender(Func func) : func_(std::move(func)) {}
    int32_t Send(tagOstHttpRequest *request, int32_t repeat) override { return func_(request, repeat); }

private:
    Func func_;
};

}  // namespace ut_test

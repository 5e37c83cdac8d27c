// The services the library takes from its host that a test must be able to replace: the clock,
// the HTTP exchange, the file operations that can fail, the DNS resolver. The library reaches
// them only through Host(); each has a real default. Tests install their own with a
// ScopedHostServices, which puts the previous ones back when it goes out of scope, also when an
// assertion ends the test early.
#pragma once

#include <cstdint>

struct tagOstHttpRequest;

namespace unified_track {

class Clock;
class FileOps;
class DnsResolver;

// One whole HTTP exchange: sends the request and writes the response code and body back into
// it. Returns OST_HTTP_*. Called on any thread, possibly concurrently.
class HttpSender {
public:
    virtual ~HttpSender() = default;
    virtual int32_t Send(tagOstHttpRequest *request, int32_t repeat) = 0;
};

// The services in use. From Host() every member is set; in a ScopedHostServices a null member
// keeps what is installed. The caller owns the objects and keeps them alive while installed.
struct HostServices {
    Clock *clock = nullptr;
    HttpSender *http = nullptr;
    FileOps *files = nullptr;
    DnsResolver *dns = nullptr;
};

HostServices Host();
// The one the library reads on every time stamp: a single load instead of four.
Clock &HostClock();
// True while no clock is installed (the real clock reads finer than milliseconds).
bool HostClockIsReal();

class ScopedHostServices {
public:
    explicit ScopedHostServices(const HostServices &replacements);
    ~ScopedHostServices();
    ScopedHostServices(const ScopedHostServices &) = delete;
    ScopedHostServices &operator=(const ScopedHostServices &) = delete;

private:
    HostServices previous_;
    HostServices installed_;
};

// The real services (what Host() gives while nothing is installed).
Clock &RealClock();
HttpSender &CurlHttpSender();
FileOps &SystemFileOps();
DnsResolver &SystemDnsResolver();

}  // namespace unified_track

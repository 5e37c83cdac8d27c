// The demo: a host that drives the library end to end against a collector on 127.0.0.1.
// Starts the HTTPS collector (certificate made now, trusted through the certificate setting),
// initialises the library in a scratch folder, configures it in the order a host does, records
// every kind of record, makes them upload and waits (bounded) until each one has arrived.
// Exit status 0 only when every record arrived.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <unified_track/unified_track.h>

#include "common/https_collector.h"

namespace {

const char kUsage[] =
    "usage: ut_demo [--timeout SECONDS] [--keep] [--no-upload] [FOLDER]\n"
    "  FOLDER       where the library keeps its files (default: a new temporary folder)\n"
    "  --timeout    how long to wait for the uploads (default 60 seconds)\n"
    "  --keep       leave the temporary folder in place\n"
    "  --no-upload  give the library no server: the records stay on disk (for ut-dump)\n";

// What the demo sends: a kind for the report and a key that finds the record at the collector.
struct Sent {
    std::string kind;  // "user event", "timed event", "diagnostic", "media", "MMR"
    std::string key;
};

// The key of a received record, in the same terms as Sent::key.
std::string KeyOf(const ut_tools::Record &r) {
    switch (r.kind) {
        case ut_tools::Kind::User:
            return r.Text("event") + "/" + r.Text("arg2");
        case ut_tools::Kind::Media: {
            const std::string payload = r.Text("payload");
            const size_t at = payload.find("demo-media-");
            return at == std::string::npos ? std::string() : payload.substr(at, 12);
        }
        case ut_tools::Kind::Mmr: {
            const Json::Value &v = r.fields.empty() ? Json::Value() : r.fields.front().second;
            return v.isObject() && v["demoSeq"].isInt() ? "mmr-" + std::to_string(v["demoSeq"].asInt()) : std::string();
        }
        default:
            return {};
    }
}

class Demo {
public:
    Demo(ut_tools::HttpsCollector &collector, std::string folder) : c_(collector), folder_(std::move(folder)) {}

    bool Start() {
        const std::string log = folder_ + "/log/", data = folder_ + "/data/";
        // The library makes its own "dotdata" level inside the data folder, not the folder itself.
        std::error_code ec;
        std::filesystem::create_directories(data, ec);
        std::filesystem::create_directories(log, ec);
        const OST_UT_RESULT r = InitUnifiedTrack(2, 0, 0, log.c_str(), data.c_str());
        std::printf("InitUnifiedTrack(%s) -> %u\n", folder_.c_str(), static_cast<unsigned>(r));
        return r == UT_SUCCESS;
    }

    // The configuration calls in the order a host makes them.
    bool Configure(bool upload) {
        tagUTPublicSdkParam sdk = {"demo-uuid-0001", "demo.user", "10.0.0.1", "10.0.0.2", "corp-demo",
                                   "ut-demo/1.0",    nullptr,     nullptr,    nullptr};
        tagUTBrioContextPublicParam ctx = {"1.0.0",  "device-0001",   "x86_64", "en",       "wifi",    "1920x1080",
                                           "app-id", "demo",          "Linux",  "",         "",        "lan",
                                           "lan",    "demo-host 2.0", "suite",  "tenant-1", "region-1"};
        tagUTConfInfoParam conf = {"conf-demo-42", "pid-7"};
        tagUTParticipantInfo participant = {42, 7, "pid-7"};
        tagUTCertInfo cert = {};
        if (c_.CaFile().size() >= sizeof cert.certInfo) return false;
        std::memcpy(cert.certInfo, c_.CaFile().c_str(), c_.CaFile().size() + 1);
        tagUTTransferParam transfer = {
            nullptr, "demo-token", nullptr, "127.0.0.1", 1, static_cast<uint16_t>(c_.Port()), {},
            0,       nullptr,      nullptr, nullptr};
        bool ok = Track_ConfigPublicSdkParam(&sdk) == UT_SUCCESS;
        ok = Track_ConfigBrioContextPublicParam(&ctx) == UT_SUCCESS && ok;
        ok = Track_SetTerminalType("PC") == UT_SUCCESS && ok;
        ok = Track_SetConfInfoParam(&conf) == UT_SUCCESS && ok;
        ok = Track_SetParticipantInfo(&participant) == UT_SUCCESS && ok;
        ok = Track_SetStunInfo("192.168.1.20", 3478) == UT_SUCCESS && ok;
        ok = Track_SetCertInfo(&cert) == UT_SUCCESS && ok;  // trust the collector's certificate
        if (upload) ok = Track_ConfigUploadParam(&transfer) == UT_SUCCESS && ok;
        std::printf("configured: context, public parameters, conference, participant, certificate, %s\n",
                    upload ? ("server 127.0.0.1:" + std::to_string(c_.Port())).c_str() : "no server");
        return ok;
    }

    void Record() {
        // User events.
        const char *const names[] = {"ut_event_demo_start", "ut_event_demo_click", "ut_event_demo_share",
                                     "ut_event_demo_chat", "ut_event_demo_leave"};
        for (int i = 0; i < 5; ++i) {
            const std::string id = std::to_string(1001 + i), arg2 = "demo-user-" + std::to_string(i + 1);
            const std::string arg4 = "{\"step\":" + std::to_string(i + 1) + "}";
            tagUTContextSpecialParam ev = {id.c_str(), names[i], arg2.c_str(), "ok", arg4.c_str(), 0, 0};
            Track_AddUserTrack(&ev);
            sent_.push_back({"user event", std::string(names[i]) + "/" + arg2});
        }
        // A timed event with two sub-events.
        Track_StartEvent("ut_event_demo_join");
        tagUTContextSubEventParam sub = {"connect", 0};
        Track_AddSubEvent("ut_event_demo_join", &sub);
        sub.isEnd = 1;
        Track_AddSubEvent("ut_event_demo_join", &sub);
        sub = {"media", 0};
        Track_AddSubEvent("ut_event_demo_join", &sub);
        sub.isEnd = 1;
        Track_AddSubEvent("ut_event_demo_join", &sub);
        tagUTContextSpecialParam join = {"1100", "ut_event_demo_join", "demo-timed", "ok", "{}", 0, 0};
        Track_FinishEvent("ut_event_demo_join", &join);
        sent_.push_back({"timed event", "ut_event_demo_join/demo-timed"});
        // Diagnostic reports: each becomes a user event with the id "1" and a JSON payload (an
        // HTTP error is reported for the SDK's own addresses only).
        track_rtc_error("demo_rtc_start", 1001, "demo failure");
        track_http_error("https://conf.example.test/v1/usg/acs/login/sc", "req-demo", 7, 503, "{\"error\":\"busy\"}");
        track_log_zip_error(3, "demo.log");
        for (const char *e :
             {"ut_event_sdk_rtc_error", "ut_event_sdk_http_error", "ut_event_sdk_logfile_compress_error"})
            sent_.push_back({"diagnostic", std::string(e) + "/0"});
        // Media records; the last one asks for the file to be packed at once.
        const char *const mediaIds[] = {"30014", "30009", "30007", "30001"};
        for (int i = 0; i < 4; ++i) {
            const std::string key = "demo-media-" + std::to_string(i + 1);
            const std::string payload = i == 3 ? "conf-demo-42|[\"" + key + "\",\"Call Start\"]"
                                               : "conf-demo-42|{\"tag\":\"" + key + "\",\"loss\":0}";
            tagUTContextSpecialParam m = {mediaIds[i], nullptr, nullptr, nullptr, payload.c_str(), 42, 7};
            Track_AddMediaTrack(&m, i == 3 ? 1 : 0);
            sent_.push_back({"media", key});
        }
        // MMR records (each text counts its NUL), then an immediate report packs them.
        for (int i = 1; i <= 3; ++i) {
            const std::string text = "{\"demoSeq\":" + std::to_string(i) + ",\"ver\":\"ut-version-tmp\"}";
            Track_AddMMRTrack(text.c_str(), static_cast<int32_t>(text.size() + 1), 0);
            sent_.push_back({"MMR", "mmr-" + std::to_string(i)});
        }
        Track_AddMMRTrack(nullptr, 0, 1);
        // Pack the user file now rather than at the next timer; a synchronous call waits for
        // everything queued before it.
        Track_UploadUserTrack();
        char version[64] = {0};
        Track_GetVersion(version, static_cast<int32_t>(sizeof version));
        std::printf("recorded %zu records (library context version %s)\n", sent_.size(), version);
    }

    // Waits until every sent record has arrived, or the time is up.
    bool Wait(int timeoutSeconds) {
        const bool tty = isatty(STDOUT_FILENO) != 0;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
        size_t arrived = 0;
        while (true) {
            arrived = Arrived();
            if (tty) {
                std::printf("\r  %zu/%zu records arrived, %zu uploads ", arrived, sent_.size(), c_.Requests().size());
                std::fflush(stdout);
            }
            if (arrived == sent_.size() || std::chrono::steady_clock::now() >= deadline) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        if (tty) std::printf("\n");
        return arrived == sent_.size();
    }

    void Report() {
        const std::vector<ut_tools::CollectedRequest> requests = c_.Requests();
        std::map<std::string, size_t> sentBy, receivedBy;
        std::set<std::string> keys = ReceivedKeys(requests);
        for (const Sent &s : sent_) {
            ++sentBy[s.kind];
            if (keys.count(s.key) != 0) ++receivedBy[s.kind];
        }
        std::printf("\n%-14s %6s %9s\n", "records", "sent", "received");
        for (const char *kind : {"user event", "timed event", "diagnostic", "media", "MMR"})
            std::printf("%-14s %6zu %9zu\n", kind, sentBy[kind], receivedBy[kind]);
        size_t raw = 0, wire = 0, ok = 0, other = 0;
        for (const auto &r : requests) {
            raw += r.body.size();
            wire += r.wireBytes;
            ++(r.status == 200 ? ok : other);
        }
        std::printf("\nuploads: %zu round trips (%zu answered 200, %zu other)\n", requests.size(), ok, other);
        std::printf("bytes:   %zu before gzip, %zu after gzip (%.0f%%)\n", raw, wire,
                    raw == 0 ? 0.0 : 100.0 * static_cast<double>(wire) / static_cast<double>(raw));
        std::printf("\na few decoded records:\n");
        std::set<std::string> shown;
        for (const auto &r : requests) {
            for (const ut_tools::Record &rec : r.records) {
                // One of each kind; for user records the timed event and a diagnostic.
                const std::string event = rec.Text("event");
                const std::string which = rec.kind == ut_tools::Kind::User ? event : ut_tools::KindName(rec.kind);
                if (rec.kind == ut_tools::Kind::User && event != "ut_event_demo_join" &&
                    event != "ut_event_sdk_rtc_error")
                    continue;
                if (!shown.insert(which).second) continue;
                std::string line = ut_tools::ToJsonLine(rec);
                if (rec.kind == ut_tools::Kind::User) {
                    line = std::string("user ") + rec.Text("eventId") + " " + event + " at " + rec.Text("time") + ": " +
                           rec.Text("arg2") + " | " + rec.Text("arg3") + " | " + rec.Text("arg4");
                }
                if (line.size() > 200) line = line.substr(0, 197) + "...";
                std::printf("  %s\n", line.c_str());
            }
        }
        size_t missing = 0;
        for (const Sent &s : sent_) {
            if (keys.count(s.key) != 0) continue;
            if (missing++ == 0) std::printf("\nmissing:\n");
            std::printf("  %s %s\n", s.kind.c_str(), s.key.c_str());
        }
        std::printf("\n%s\n",
                    missing == 0 ? "every record reached the collector" : "some records did not reach the collector");
    }

private:
    static std::set<std::string> ReceivedKeys(const std::vector<ut_tools::CollectedRequest> &requests) {
        std::set<std::string> keys;
        for (const auto &r : requests) {
            if (r.status != 200) continue;
            for (const ut_tools::Record &rec : r.records) {
                keys.insert(KeyOf(rec));
                // Diagnostics are told apart by their event name; their arg2 is "0".
                if (rec.kind == ut_tools::Kind::User && rec.Text("eventId") == "1")
                    keys.insert(rec.Text("event") + "/0");
            }
        }
        return keys;
    }

    size_t Arrived() const {
        const std::set<std::string> keys = ReceivedKeys(c_.Requests());
        size_t n = 0;
        for (const Sent &s : sent_) n += keys.count(s.key);
        return n;
    }

    ut_tools::HttpsCollector &c_;
    std::string folder_;
    std::vector<Sent> sent_;
};

}  // namespace

int main(int argc, char **argv) {
    int timeout = 60;
    bool keep = false, upload = true;
    std::string folder;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--timeout" && i + 1 < argc) {
            timeout = std::atoi(argv[++i]);
        } else if (a == "--keep") {
            keep = true;
        } else if (a == "--no-upload") {
            upload = false;
            keep = true;
        } else if (a == "-h" || a == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (!a.empty() && a[0] != '-' && folder.empty()) {
            folder = a;
        } else {
            std::fprintf(stderr, "ut_demo: unknown argument %s\n%s", a.c_str(), kUsage);
            return 2;
        }
    }
    if (timeout <= 0) timeout = 60;
    bool made = false;
    if (folder.empty()) {
        std::string tmpl = (std::filesystem::temp_directory_path() / "ut_demo_XXXXXX").string();
        if (mkdtemp(tmpl.data()) == nullptr) {
            std::perror("ut_demo: mkdtemp");
            return 1;
        }
        folder = tmpl;
        made = true;
    }
    int status = 1;
    try {
        ut_tools::HttpsCollector collector;
        std::printf("collector: https://127.0.0.1:%d (certificate made for this run: %s)\n", collector.Port(),
                    collector.CaFile().c_str());
        Demo demo(collector, folder);
        if (demo.Start() && demo.Configure(upload)) {
            demo.Record();
            if (upload) {
                const bool all = demo.Wait(timeout);
                demo.Report();
                status = all ? 0 : 1;
            } else {
                status = 0;
            }
        } else {
            std::fprintf(stderr, "ut_demo: the library did not start or refused its configuration\n");
        }
        // Stop the library while the collector still answers: its upload thread ends cleanly.
        Track_Uninit();
    } catch (const std::exception &e) {
        std::fprintf(stderr, "ut_demo: %s\n", e.what());
        status = 1;
    }
    if (made && !keep) {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    } else {
        std::printf("files kept in %s (read them with: ut-dump %s/data)\n", folder.c_str(), folder.c_str());
    }
    return status;
}

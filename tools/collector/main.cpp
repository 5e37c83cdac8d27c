// ut-collector: the HTTPS collector as a program. Receives uploads on 127.0.0.1, decodes each
// body (gzip, envelope) and writes its records as DIR/<sequence>.jsonl, one JSON object per
// record; prints one line per request. Ctrl-C stops it.
#include <signal.h>
#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/https_collector.h"

namespace {

const char kUsage[] =
    "usage: ut-collector --port PORT --out DIR [--cert FILE --key FILE] [--fail N:CODE]...\n"
    "  --port PORT     port on 127.0.0.1 (0: any free port, printed at start)\n"
    "  --out DIR       where DIR/<sequence>.jsonl files go (made if missing)\n"
    "  --cert, --key   PEM certificate and key; without them a self-signed certificate is made\n"
    "                  and written to DIR/ca.pem for the host to trust\n"
    "  --fail N:CODE   answer the next N requests with CODE (repeatable, applied in order)\n";

struct Args {
    int port = -1;
    std::string out, cert, key;
    std::vector<ut_tools::Answer> script;
};

bool ParseNumber(const std::string &text, long min, long max, long *value) {
    if (text.empty()) return false;
    char *end = nullptr;
    errno = 0;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || v < min || v > max) return false;
    *value = v;
    return true;
}

// Returns an error text, empty when the arguments are good.
std::string ParseArgs(int argc, char **argv, Args *args) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "-h" || a == "--help") return "help";
        if (i + 1 >= argc) return "missing value after " + a;
        const std::string v = argv[++i];
        long n = 0;
        if (a == "--port") {
            if (!ParseNumber(v, 0, 65535, &n)) return "bad port: " + v;
            args->port = static_cast<int>(n);
        } else if (a == "--out") {
            args->out = v;
        } else if (a == "--cert") {
            args->cert = v;
        } else if (a == "--key") {
            args->key = v;
        } else if (a == "--fail") {
            const size_t colon = v.find(':');
            long code = 0;
            if (colon == std::string::npos || !ParseNumber(v.substr(0, colon), 1, 1000000, &n) ||
                !ParseNumber(v.substr(colon + 1), 100, 599, &code))
                return "bad --fail value (N:CODE, e.g. 3:503): " + v;
            args->script.insert(args->script.end(), static_cast<size_t>(n),
                                ut_tools::Answer{static_cast<int>(code), false});
        } else {
            return "unknown argument: " + a;
        }
    }
    if (args->port < 0) return "--port is required";
    if (args->out.empty()) return "--out is required";
    if (args->cert.empty() != args->key.empty()) return "--cert and --key go together";
    return {};
}

bool WriteRecords(const std::string &path, const ut_tools::CollectedRequest &r) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (const ut_tools::Record &record : r.records) out << ut_tools::ToJsonLine(record) << '\n';
    out.close();
    return static_cast<bool>(out);
}

void PrintRequest(const std::string &outDir, const ut_tools::CollectedRequest &r) {
    std::string line = "#" + std::to_string(r.sequence) + " " + r.method + " " + r.path + " -> " +
                       std::to_string(r.status) + ", " + std::to_string(r.wireBytes) + " bytes gzip, " +
                       std::to_string(r.body.size()) + " bytes decoded";
    if (!r.decodeError.empty()) {
        line += ", undecodable: " + r.decodeError;
    } else if (r.status == 200) {
        char name[32];
        std::snprintf(name, sizeof name, "%06zu.jsonl", r.sequence);
        const std::string kind = r.records.empty() ? "" : std::string(ut_tools::KindName(r.records.front().kind)) + " ";
        line += ", " + std::to_string(r.records.size()) + " " + kind + "records";
        if (WriteRecords(outDir + "/" + name, r))
            line += " -> " + std::string(name);
        else
            line += ", cannot write " + std::string(name);
    } else {
        line += ", not kept (the client sends it again)";
    }
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char **argv) {
    Args args;
    const std::string error = ParseArgs(argc, argv, &args);
    if (error == "help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (!error.empty()) {
        std::fprintf(stderr, "ut-collector: %s\n%s", error.c_str(), kUsage);
        return 2;
    }
    std::error_code ec;
    std::filesystem::create_directories(args.out, ec);
    if (!std::filesystem::is_directory(args.out)) {
        std::fprintf(stderr, "ut-collector: cannot make the folder %s\n", args.out.c_str());
        return 1;
    }
    // Signals wait for the main thread only: the server threads inherit the blocked set.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    try {
        ut_tools::CollectorOptions options;
        options.port = args.port;
        options.certFile = args.cert;
        options.keyFile = args.key;
        options.keepAliveSeconds = 1;
        ut_tools::HttpsCollector collector(options);
        std::string trust = args.cert;
        if (args.cert.empty()) {
            trust = args.out + "/ca.pem";
            std::filesystem::copy_file(collector.CaFile(), trust, std::filesystem::copy_options::overwrite_existing,
                                       ec);
            if (ec) {
                std::fprintf(stderr, "ut-collector: cannot write %s: %s\n", trust.c_str(), ec.message().c_str());
                return 1;
            }
        }
        collector.Script(args.script);
        std::atomic<size_t> answered{0};
        collector.SetObserver([&args, &answered](const ut_tools::CollectedRequest &r) {
            PrintRequest(args.out, r);
            ++answered;
        });
        std::printf("ut-collector listening on https://127.0.0.1:%d, records to %s, certificate %s\n", collector.Port(),
                    args.out.c_str(), trust.c_str());
        std::fflush(stdout);
        int sig = 0;
        sigwait(&stopSignals, &sig);
        collector.SetObserver(nullptr);  // waits for a line being printed
        std::printf("ut-collector stopping (%s) after %zu requests\n", sig == SIGINT ? "interrupt" : "terminate",
                    answered.load());
        std::fflush(stdout);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "ut-collector: %s\n", e.what());
        return 1;
    }
    return 0;
}

// Feeds every JSON reader of the server-address configuration: the first byte picks the file,
// the rest is written into a configuration folder of the harness's own and read back through
// the reader's own path. Net dial texts also go straight to the text parser.
#include <stdint.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unified_track/ost_config.h>

#include "config/OstConfigFileOperation.h"

namespace {

// Kept for the whole run (never destroyed, so the exit handler can still use it).
const std::string &Folder() {
    static const std::string *folder = [] {
        std::string tmpl = (std::filesystem::temp_directory_path() / "ut_cfg_fuzz_XXXXXX").string();
        if (mkdtemp(tmpl.data()) == nullptr) abort();
        SetConfigFilePath(tmpl.c_str());
        return new std::string(tmpl);
    }();
    static const bool cleanup = (atexit([] {
                                     std::error_code ec;
                                     std::filesystem::remove_all(*folder, ec);
                                 }),
                                 true);
    (void)cleanup;
    return *folder;
}

void WriteFile(const char *name, const uint8_t *data, size_t size) {
    std::ofstream out(Folder() + "/" + name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(data), static_cast<std::streamsize>(size));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    using namespace unified_track::config;
    if (size < 1) return 0;
    Folder();
    const uint8_t which = data[0] % 6;
    const uint8_t *body = data + 1;
    const size_t len = size - 1;
    switch (which) {
        case 0: {
            WriteFile(kDomainIpFile, body, len);
            std::lock_guard<RecursiveMutex> lock(State().configLock);
            GetDomainIpList();
            for (const tagDOMAIN_IP_INFO &rec : State().domainIpList) {
                if (strnlen(rec.domain, sizeof(rec.domain)) == sizeof(rec.domain) ||
                    strnlen(rec.ips, sizeof(rec.ips)) == sizeof(rec.ips)) {
                    abort();  // every stored field is NUL-terminated
                }
            }
            break;
        }
        case 1: {
            WriteFile(kCommonConfigFile, body, len);
            {
                std::lock_guard<RecursiveMutex> lock(State().configLock);
                State().serverDomainIdentity.clear();  // read the file every time
            }
            Ost_SetServerDomainStrategy("net", true);
            std::string domain = "svc.idn.com";
            GetRightServerDomain(domain);
            break;
        }
        case 2: {
            WriteFile(kDetectUrlFile, body, len);
            std::vector<std::string> domains;
            GetFwDetectIps(domains);
            GetNetDetectIps(domains, true);
            break;
        }
        case 3: {
            WriteFile(kOfflineJoinIpFile, body, len);
            std::vector<tagADDR_INFO> addrs;
            GetConfctrlAddrFromCfgFile("https://a.intl.example", addrs);
            GetConfctrlAddrFromCfgFile("https://a.example", addrs);
            break;
        }
        case 4: {
            WriteFile(kNetDetectFile, body, len);
            std::vector<tagNET_DIAL_NODE> nodes;
            GetNetDetectFromFile(nodes);
            std::string text(reinterpret_cast<const char *>(body), len);
            GetNetDetectFromStr(nodes, text.c_str(), false);
            break;
        }
        default: {
            WriteFile(kAssistantFile, body, len);
            std::vector<std::string> a, b, c;
            GetWakeupKeyWords(a, b, c);
            break;
        }
    }
    return 0;
}

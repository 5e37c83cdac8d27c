// The reader of zip files and dot files that ut-dump and the collector use: any bytes, as a zip
// file of each kind, as a dot file of each kind, must decode or be refused without a crash.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/gzip_bytes.h"
#include "common/records.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string bytes(reinterpret_cast<const char *>(data), size);
    const ut_tools::Kind kinds[] = {ut_tools::Kind::Unknown, ut_tools::Kind::User, ut_tools::Kind::Media,
                                    ut_tools::Kind::Mmr};
    std::string text, error;
    // A gzip stream goes through the envelope; anything else is also tried as the content itself.
    if (!ut_tools::GunzipBytes(bytes, &text, &error)) text = bytes;
    for (ut_tools::Kind kind : kinds) {
        std::vector<ut_tools::Record> records;
        ut_tools::DecodeError de;
        if (ut_tools::DecodeEnvelope(text, kind, &records, &de)) {
            for (const auto &r : records) (void)ut_tools::ToJsonLine(r);
        }
    }
    std::vector<ut_tools::Record> records;
    ut_tools::DecodeError de;
    (void)ut_tools::DecodeLines(bytes, ut_tools::Kind::Unknown, &records, &de);
    (void)ut_tools::DecodeMmrDotText(bytes, &records, &de);
    for (const auto &r : records) (void)ut_tools::ToJsonLine(r);
    return 0;
}

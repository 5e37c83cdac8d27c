// The SDK's global configuration store: numbered items, thread-safe. The host sets items through
// host_services.h; the library reads them.
#pragma once

#include <unified_track/host_services.h>

#include <cstdint>
#include <string>

namespace unified_track {
// The bytes stored under an item exactly as set (binary items included); false when missing.
bool GetGlobalCfgBytes(uint32_t item, std::string *bytes);
}  // namespace unified_track

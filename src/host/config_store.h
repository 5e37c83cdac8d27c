// The SDK's global configuration store: numbered items, thread-safe. The host sets items through
// host_services.h; the library reads them.
#pragma once

#include <unified_track/host_services.h>

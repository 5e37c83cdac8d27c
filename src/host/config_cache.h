// The host's configuration cache as the library reads it: the query function the host handed
// to setAddCacheFun. Kept in the host layer so that the configuration code reads the cache
// without reaching up into the manager.
#pragma once

#include <string>

#include <unified_track/unified_track.h>

namespace unified_track {

// Null unregisters.
void SetConfigCacheQuery(QueryConfigCacheFunc query);
// One entry, its line breaks removed. True with nothing registered (value untouched); false,
// logged, when the cache reports an error.
bool QueryConfigCache(const std::string &key, std::string &value);

}  // namespace unified_track

// Lookup tables of the link and transport reporters: link names, the URL-name table and the
// HTTP error descriptions. Constant data only; safe from any thread.
#pragma once

#include <cstddef>
#include <cstdint>

namespace unified_track {

// Names of the link codes; any other code gives "unknow".
const char *LinkTypeName(int32_t linkType);
const char *LinkReasonName(int32_t reason);
const char *LinkStatusName(int32_t status);

struct UrlNameRow {
    const char *key;
    const char *path;
};
constexpr size_t kUrlNameRowCount = 45;
// The rows in search order.
const UrlNameRow *UrlNameTable();
// The first row whose path occurs in the URL (exact, case-sensitive), or null for a null URL or
// no match. Rows are searched in table order, so earlier rows shadow later ones.
const UrlNameRow *FindUrlName(const char *url);

// Entry i (0..97) describes libcurl's CURLcode i; entry 98 a response the HTTP layer could not parse.
constexpr int32_t kHttpErrorDescCount = 99;
const char *HttpErrorDescEntry(int32_t index);  // null outside 0..98
// The description for an HTTP layer error number: libcurl failures arrive as 100 + CURLcode,
// so 101..198 select entries 1..98; anything else gives "".
const char *HttpErrorDesc(int32_t err);

}  // namespace unified_track

// Gzip in memory, for the tools and the tests: what the library writes into a zip file and what a
// collector receives.
#pragma once

#include <string>

namespace ut_tools {

// Empty on failure.
std::string GzipBytes(const std::string &raw);

// Inflates one gzip stream (trailing bytes after it are an error). On failure returns false and
// says why in *error ("not a gzip stream", "truncated gzip stream", ...).
bool GunzipBytes(const std::string &gz, std::string *out, std::string *error);

// Empty on failure.
std::string GunzipBytes(const std::string &gz);

// True when the bytes start like a gzip stream.
bool LooksGzip(const std::string &bytes);

}  // namespace ut_tools

// Packing of dot files into gzip zip files. Callers hold the dot file's lock; these functions
// only read the dot file and write the zip file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace unified_track {

// Path of a new zip file in zipFolder: the wall clock in ms plus ".gz". A name already taken
// (finished or being written) moves on to the next free millisecond, so two packs in the same
// millisecond never overwrite each other and names keep their order.
std::string GetZipFilePathName(const std::string &zipFolder);

// Where a pack writes before its zip file is complete.
std::string PackTempPath(const std::string &zipPath);

// The bytes with every byte that does not belong to a well-formed UTF-8 sequence (stray
// continuation, cut or overlong sequence, surrogate, beyond U+10FFFF) replaced by U+FFFD on its
// own; every other byte stays where it was. The JSON writer decodes UTF-8 without checking the
// continuation bytes, so an invalid lead byte would take the separator or newline after it.
std::string ReplaceInvalidUtf8(const char *data, size_t len);

// Packs a user or media dot file as {"data": <file>, "user": <uuid>}. errorCode (start it at 0)
// receives a ZipErrorCode on failure, or 2003 on a success that needed the narrow path. A failed
// pack leaves no file behind.
bool zipFile(const std::string &dotFilePath, const std::string &zipPath, const std::string &uuid, int32_t &errorCode);

// Packs the MMR dot file as a JSON array: "[", the records without their last ",", "]".
bool zipMMRFile(const std::string &dotFilePath, const std::string &zipPath);

}  // namespace unified_track

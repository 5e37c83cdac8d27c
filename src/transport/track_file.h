// Packing of dot files into gzip zip files. Callers hold the dot file's lock; these functions
// only read the dot file and write the zip file.
#pragma once

#include <cstdint>
#include <string>

namespace unified_track {

// Path of a new zip file in zipFolder: the wall clock in ms plus ".gz". A name already taken
// (finished or being written) moves on to the next free millisecond, so two packs in the same
// millisecond never overwrite each other and names keep their order.
std::string GetZipFilePathName(const std::string &zipFolder);

// Where a pack writes before its zip file is complete.
std::string PackTempPath(const std::string &zipPath);

// Packs a user or media dot file as {"data": <file>, "user": <uuid>}. errorCode (start it at 0)
// receives a ZipErrorCode on failure, or 2003 on a success that needed the narrow path. A failed
// pack leaves no file behind.
bool zipFile(const std::string &dotFilePath, const std::string &zipPath, const std::string &uuid,
             int32_t &errorCode);

// Packs the MMR dot file as a JSON array: "[", the records without their last ",", "]".
bool zipMMRFile(const std::string &dotFilePath, const std::string &zipPath);

}  // namespace unified_track

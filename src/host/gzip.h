// Gzip writer of the common library: RFC 1952 streams through zlib. Used by packing only.
#pragma once

#include <cstddef>
#include <string>

using GzipHandle = void *;

// Opens a gzip file for writing (mode "wb"). Null on failure.
GzipHandle GzipOpen(const char *path, const char *mode);
// The same with a UTF-16 path (the form the Windows file API takes).
GzipHandle GzipOpenW(const std::u16string &path, const char *mode);
// Compresses len bytes into the stream; returns the number of bytes taken, 0 on failure.
int GzipWrite(GzipHandle file, const void *data, size_t len);
// Flushes and closes; 0 when the whole stream reached the file.
int GzipClose(GzipHandle file);

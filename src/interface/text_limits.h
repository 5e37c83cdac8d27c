// The check every record export makes before it copies a text: the texts of one record must fit
// in the largest record a dot file can hold. Longer texts are refused, not cut: a cut record
// would be a different record.
#pragma once

#include <cstring>
#include <initializer_list>

#include "manager/record_constants.h"

namespace unified_track {

// True when the texts (a null one counts as empty) hold at most kMaxRecordBytes together. Reads
// no text further than that bound.
inline bool TextsFitRecord(std::initializer_list<const char *> texts) {
    size_t total = 0;
    for (const char *text : texts) {
        if (text == nullptr) continue;
        total += strnlen(text, kMaxRecordBytes - total + 1);
        if (total > kMaxRecordBytes) return false;
    }
    return true;
}

}  // namespace unified_track

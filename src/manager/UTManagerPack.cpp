// Packing of dot files into zip files. Not built yet: the calls only say so.
#include "host/log.h"
#include "manager/UTManager.h"

namespace unified_track {
void UTManager::CompressDotFileToZip(RecursiveLock &, const std::string &, const std::string &) {
    UT_LOGD("packing not available yet");
}
bool UTManager::CompressMMRDotFileToZip() {
    UT_LOGD("packing not available yet");
    return false;
}
void UTManager::CompressOldVersionFile() { UT_LOGD("packing not available yet"); }
void UTManager::CompressAllDotFiles() { UT_LOGD("packing not available yet"); }
}  // namespace unified_track

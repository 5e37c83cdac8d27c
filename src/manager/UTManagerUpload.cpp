// Upload worker. Not built yet: the thread only idles until told to stop.
#include "host/clock.h"
#include "host/log.h"
#include "manager/UTManager.h"

namespace unified_track {
int UTManager::UploadThread() {
    while (UploadRunning().load()) {
        PAL_SleepMs(200);
    }
    return 0;
}
OST_UT_RESULT UTManager::UploadUserTrack() {
    UT_LOGD("upload not available yet");
    return UT_UPLOAD_ERROR;
}
}  // namespace unified_track

// Diagnostic reporters. Not built yet: the calls only say so.
#include <unified_track/unified_track.h>

#include "host/log.h"

extern "C" {
UT_API void track_dotdata_delete_file(const char *, int32_t, int32_t, const char *, int32_t) {
    UT_LOGD("reporter not available yet");
}
UT_API void track_zipfile_generate_error(const char *, int32_t, int32_t) {
    UT_LOGD("reporter not available yet");
}
UT_API void track_log_zip_error(int32_t, const char *) { UT_LOGD("reporter not available yet"); }
UT_API void track_dotdata_log(const char *, const char *) { UT_LOGD("reporter not available yet"); }
}

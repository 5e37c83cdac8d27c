// Payloads of the timing, blocking and analysis reports.
#pragma once

#include <cstdint>

#include <unified_track/unified_track.h>

#include "interface/secure_string.h"

namespace unified_track {

SecureString BuildTimeTakenPayload(const tagUTTimeTakenRecord &record);
// Plain concatenation, no JSON escaping: a quote inside either text breaks the object, and the
// receiving side relies on exactly this shape. Both texts must be non-null.
SecureString BuildErrorAnalyzePayload(const char *type, const char *errorInfo);
SecureString BuildAnonymousAuthPayload(const char *serverIp, const char *confId, uint32_t result);
SecureString BuildPalMsgPayload(const tagUTPalMsgRecord &msg);

// The record's function name, read up to its NUL or the end of its array.
SecureString TimeTakenFuncName(const tagUTTimeTakenRecord &record);

}  // namespace unified_track

/*
 * Services a host application feeds to unified_track: the global configuration store and the
 * message bus registrations. Plain C, callable from any thread.
 */
#ifndef UNIFIED_TRACK_HOST_SERVICES_H
#define UNIFIED_TRACK_HOST_SERVICES_H

#include <stdint.h>
#include "export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- global configuration store ---- */

/* Stores len bytes under item (a text item is stored without needing a NUL). 0 on success. */
UT_API int32_t OstSetGlobalCfg(uint32_t item, const void *data, uint32_t len);
/* Copies the item into buffer as a NUL-terminated text; non-zero when the item is missing or
 * does not fit (the buffer is then emptied). */
UT_API int32_t OstGetGlobalCfg(uint32_t item, void *buffer, uint32_t size);
/* The item read as a decimal 32-bit integer, or defVal when missing or not a number. */
UT_API int32_t OstGetGlobalInt32CfgWithDefVal(uint32_t item, int32_t defVal);

typedef int32_t (*OstGlobalCfgCallback)(uint32_t item, void *buffer, uint32_t size);
/* Registers the callback of an item (null removes it). */
UT_API int32_t OstRegGlobalCfgCallback(uint32_t item, OstGlobalCfgCallback callback);
/* Hands buffer to the callback of the item; non-zero when none is registered. */
UT_API int32_t OstRunGlobalCfgCallback(uint32_t item, void *buffer, uint32_t size);
/* Removes every item and callback. */
UT_API void OstClearGlobalCfg(void);

/* ---- message bus ---- */

typedef void (*PAL_MsgLogFunc)(int32_t level, const char *errNo, const char *file, int32_t line, const char *msg);
typedef void (*PAL_MsgDotDataFunc)(const void *msg);
/* What the library registered with the bus (null until InitUnifiedTrack). */
UT_API PAL_MsgLogFunc PAL_MSG_GetMsgLogCallback(void);
UT_API PAL_MsgDotDataFunc PAL_MSG_GetMsgDotDataCallback(void);

#ifdef __cplusplus
}
#endif

#endif

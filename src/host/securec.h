// Bounds-checking string functions: a call whose result does not fit empties the destination
// and reports failure. strcpy_s/strcat_s/memset_s return 0 on success, non-zero on failure;
// sprintf_s/vsnprintf_s return the number of characters written, or -1 on failure.
#pragma once

// The one log text for a failed bounded call, in its signed and unsigned forms.
#define UT_SECURE_ERR_D "secure func return err:%d"
#define UT_SECURE_ERR_U "secure func return err:%u"

#include <cstdarg>
#include <cstddef>

#if defined(_MSC_VER)
#include <string.h>
#else
int strcpy_s(char *dest, size_t destMax, const char *src);
int strncpy_s(char *dest, size_t destMax, const char *src, size_t count);
int strcat_s(char *dest, size_t destMax, const char *src);
int memset_s(void *dest, size_t destMax, int c, size_t count);
int memcpy_s(void *dest, size_t destMax, const void *src, size_t count);
int sprintf_s(char *dest, size_t destMax, const char *format, ...) __attribute__((format(printf, 3, 4)));
int vsnprintf_s(char *dest, size_t destMax, size_t count, const char *format, va_list args)
    __attribute__((format(printf, 4, 0)));
#endif

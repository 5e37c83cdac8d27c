/* Export macro of the unified_track library. */
#ifndef UNIFIED_TRACK_EXPORT_H
#define UNIFIED_TRACK_EXPORT_H

#if defined(_WIN32)
#if defined(UT_BUILDING_LIBRARY)
#define UT_API __declspec(dllexport)
#else
#define UT_API __declspec(dllimport)
#endif
#else
#define UT_API __attribute__((visibility("default")))
#endif

#endif

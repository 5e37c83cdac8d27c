// Clang thread-safety annotations (-Wthread-safety). They say which lock guards a field and which
// locks a function needs; other compilers see nothing.
#pragma once

#if defined(__clang__)
#define UT_THREAD_ANNOTATION(x) __attribute__((x))
#else
#define UT_THREAD_ANNOTATION(x)
#endif

#define CAPABILITY(x) UT_THREAD_ANNOTATION(capability(x))
#define SCOPED_CAPABILITY UT_THREAD_ANNOTATION(scoped_lockable)
#define GUARDED_BY(x) UT_THREAD_ANNOTATION(guarded_by(x))
#define PT_GUARDED_BY(x) UT_THREAD_ANNOTATION(pt_guarded_by(x))
#define REQUIRES(...) UT_THREAD_ANNOTATION(requires_capability(__VA_ARGS__))
#define ACQUIRE(...) UT_THREAD_ANNOTATION(acquire_capability(__VA_ARGS__))
#define RELEASE(...) UT_THREAD_ANNOTATION(release_capability(__VA_ARGS__))
#define TRY_ACQUIRE(...) UT_THREAD_ANNOTATION(try_acquire_capability(__VA_ARGS__))
#define EXCLUDES(...) UT_THREAD_ANNOTATION(locks_excluded(__VA_ARGS__))
#define RETURN_CAPABILITY(x) UT_THREAD_ANNOTATION(lock_returned(x))
#define NO_THREAD_SAFETY_ANALYSIS UT_THREAD_ANNOTATION(no_thread_safety_analysis)

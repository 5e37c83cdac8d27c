/* Loads, starts, stops and unloads the library in a loop: each unload must really unload it and
 * leave no thread of it behind. */
#define _GNU_SOURCE
#include <dirent.h>
#include <dlfcn.h>
#include <pthread.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

typedef uint32_t (*InitFn)(uint32_t, uint32_t, uint32_t, const char *, const char *);
typedef uint32_t (*UninitFn)(void);

static void *Nothing(void *arg) {
    return arg;
}

static int ThreadCount(void) {
    int n = 0;
    DIR *d = opendir("/proc/self/task");
    struct dirent *e;
    if (d == NULL) return -1;
    while ((e = readdir(d)) != NULL) {
        if (e->d_name[0] != '.') ++n;
    }
    closedir(d);
    return n;
}

int main(void) {
    char base[] = "/tmp/ut_abi_dl_XXXXXX";
    char logPath[128];
    char dataPath[128];
    char cmd[160];
    int failures = 0;
    int baseline;
    int round;
    pthread_t warmUp;

    /* A first thread start can make runtime helpers start their own thread (ThreadSanitizer
     * does); count after one. */
    if (pthread_create(&warmUp, NULL, Nothing, NULL) != 0 || pthread_join(warmUp, NULL) != 0) return 2;
    baseline = ThreadCount();

    if (mkdtemp(base) == NULL) return 2;
    snprintf(logPath, sizeof(logPath), "%s/log", base);
    snprintf(dataPath, sizeof(dataPath), "%s/data", base);

    for (round = 0; round < 5; ++round) {
        void *lib = dlopen(UT_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
        InitFn init;
        UninitFn uninit;
        uint32_t ret;
        if (lib == NULL) {
            fprintf(stderr, "round %d: dlopen failed: %s\n", round, dlerror());
            return 1;
        }
        init = (InitFn)(uintptr_t)dlsym(lib, "InitUnifiedTrack");
        uninit = (UninitFn)(uintptr_t)dlsym(lib, "Track_Uninit");
        if (init == NULL || uninit == NULL) {
            fprintf(stderr, "round %d: missing export\n", round);
            return 1;
        }
        ret = init(2, 0, 0, logPath, dataPath);
        if (ret != 0) {
            fprintf(stderr, "round %d: InitUnifiedTrack returned %u\n", round, (unsigned)ret);
            ++failures;
        }
        if (ThreadCount() < baseline + 2) {
            fprintf(stderr, "round %d: command and upload threads not running\n", round);
            ++failures;
        }
        /* Every other round unloads without stopping first: unload itself must stop the threads. */
        if (round % 2 == 0) uninit();
        if (dlclose(lib) != 0) {
            fprintf(stderr, "round %d: dlclose failed: %s\n", round, dlerror());
            ++failures;
        }
        if (dlopen(UT_LIBRARY_PATH, RTLD_NOW | RTLD_NOLOAD) != NULL) {
            fprintf(stderr, "round %d: library still loaded after dlclose\n", round);
            return 1;
        }
        if (ThreadCount() != baseline) {
            fprintf(stderr, "round %d: %d threads, %d before\n", round, ThreadCount(), baseline);
            ++failures;
        }
    }
    snprintf(cmd, sizeof(cmd), "rm -rf '%s'", base);
    if (system(cmd) != 0) ++failures;
    return failures == 0 ? 0 : 1;
}

/* Uses the public headers from C: they must compile cleanly and the exports must be callable. */
#define _POSIX_C_SOURCE 200809L
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <unified_track/host_services.h>
#include <unified_track/unified_track.h>

static int failures = 0;

#define CHECK(cond)                                                            \
    do {                                                                       \
        if (!(cond)) {                                                         \
            fprintf(stderr, "%s:%d: failed: %s\n", __FILE__, __LINE__, #cond); \
            ++failures;                                                        \
        }                                                                      \
    } while (0)

int main(void) {
    char base[] = "/tmp/ut_abi_c_XXXXXX";
    char logPath[128];
    char dataPath[128];
    char buffer[64];
    char cmd[160];
    int32_t isBrio = -1;
    PAL_MsgLogFunc registered;

    if (mkdtemp(base) == NULL) return 2;
    snprintf(logPath, sizeof(logPath), "%s/log", base);
    snprintf(dataPath, sizeof(dataPath), "%s/data/", base);

    CHECK(InitUnifiedTrack(4, 0, 0, logPath, dataPath) == UT_FAILED);
    CHECK(InitUnifiedTrack(2, 0, 0, logPath, dataPath) == UT_SUCCESS);
    registered = PAL_MSG_GetMsgLogCallback();
    CHECK(registered == PalMsgLogCallback);
    CHECK(CheckAppIdAndSetDotData("xBrioBoardx", &isBrio) == UT_SUCCESS);
    CHECK(isBrio == 1);
    CHECK(Track_ConfigKeyLogSwitch(1) == UT_SUCCESS);
    CHECK(Track_UpdateLogPath(4, 0, 0, logPath) == UT_FAILED);

    memset(buffer, 'z', sizeof(buffer));
    GetOrignalCorpTrustAppId(buffer, (uint32_t)sizeof(buffer));
    CHECK(buffer[0] == '\0');

    CHECK(OstSetGlobalCfg(57, "abc", 3) == 0);
    CHECK(OstGetGlobalCfg(57, buffer, (uint32_t)sizeof(buffer)) == 0);
    CHECK(strcmp(buffer, "abc") == 0);

    CHECK(Track_Uninit() == UT_SUCCESS);
    CHECK(CheckAppIdAndSetDotData("BrioMeeting", &isBrio) == UT_FAILED);

    snprintf(cmd, sizeof(cmd), "rm -rf '%s'", base);
    if (system(cmd) != 0) ++failures;
    return failures == 0 ? 0 : 1;
}

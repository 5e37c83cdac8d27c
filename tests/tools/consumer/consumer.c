/* A host built against an installed tree: starts the library, records one event, reads the
 * configured version back and stops. Prints "consumer ok" when every call did what it says. */
#include <stdio.h>
#include <string.h>

#include <unified_track/unified_track.h>

int main(int argc, char **argv) {
    char logPath[512], dataPath[512], version[32] = {0};
    const char *base = argc > 1 ? argv[1] : ".";
    snprintf(logPath, sizeof logPath, "%s/log/", base);
    snprintf(dataPath, sizeof dataPath, "%s/", base);
    if (InitUnifiedTrack(2, 0, 0, logPath, dataPath) != UT_SUCCESS) return 1;

    tagUTBrioContextPublicParam ctx;
    memset(&ctx, 0, sizeof ctx);
    ctx.context1 = "9.8.7";
    ctx.context15 = "suite";
    Track_ConfigBrioContextPublicParam(&ctx);
    tagUTContextSpecialParam ev = {"1001", "ut_event_consumer", "a", "b", "{}", 0, 0};
    Track_AddUserTrack(&ev);
    Track_GetVersion(version, (int32_t)sizeof version); /* waits for the event's command */
    Track_Uninit();
    if (strcmp(version, "9.8.7") != 0) return 1;
    printf("consumer ok\n");
    return 0;
}

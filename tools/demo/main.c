/* Smoke program: starts the library in a scratch folder, configures a context, records a user
 * event and a timed event, and prints the user dot file the command thread wrote. */
#include <stdio.h>
#include <string.h>

#include <unified_track/unified_track.h>

static void print_file(const char *path)
{
    char line[4096];
    FILE *f = fopen(path, "rb");
    if (f == NULL) {
        printf("(no file %s)\n", path);
        return;
    }
    while (fgets(line, sizeof(line), f) != NULL) {
        fputs(line, stdout);
    }
    fclose(f);
}

int main(int argc, char **argv)
{
    const char *base = argc > 1 ? argv[1] : "/tmp";
    char logPath[512];
    char dataPath[512];
    char dotFile[600];
    char version[64] = {0};
    snprintf(logPath, sizeof(logPath), "%s/log/", base);
    snprintf(dataPath, sizeof(dataPath), "%s/", base);
    snprintf(dotFile, sizeof(dotFile), "%sdotdata/user_dot_data.dat", dataPath);

    OST_UT_RESULT ret = InitUnifiedTrack(2, 0, 0, logPath, dataPath);
    printf("InitUnifiedTrack -> %u\n", (unsigned)ret);
    if (ret != UT_SUCCESS) {
        return 1;
    }

    tagUTBrioContextPublicParam ctx;
    memset(&ctx, 0, sizeof(ctx));
    ctx.context1 = "1.0.0";
    ctx.context2 = "device-0001";
    ctx.context9 = "Linux";
    ctx.context14 = "demo-host 2.0";
    ctx.context15 = "suite";
    Track_ConfigBrioContextPublicParam(&ctx);
    Track_SetTerminalType("PC");

    tagUTContextSpecialParam ev;
    memset(&ev, 0, sizeof(ev));
    ev.eventId = "1001";
    ev.event = "ut_event_demo_start";
    ev.arg2 = "a";
    ev.arg3 = "b";
    ev.arg4 = "{\"k\":1}";
    Track_AddUserTrack(&ev);

    tagUTContextSubEventParam sub;
    sub.name = "connect";
    sub.isEnd = 0;
    Track_StartEvent("ut_event_demo_join");
    Track_AddSubEvent("ut_event_demo_join", &sub);
    sub.isEnd = 1;
    Track_AddSubEvent("ut_event_demo_join", &sub);
    ev.eventId = "1002";
    ev.event = "ut_event_demo_join";
    ev.arg4 = "{}";
    Track_FinishEvent("ut_event_demo_join", &ev);

    /* A synchronous call waits for every command queued before it. */
    Track_GetVersion(version, (int32_t)sizeof(version));
    printf("version field: %s\nuser dot file %s:\n", version, dotFile);
    print_file(dotFile);

    ret = Track_Uninit();
    printf("Track_Uninit -> %u\n", (unsigned)ret);
    return 0;
}

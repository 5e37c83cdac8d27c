/* Smoke program: starts the library in a scratch folder, records an event and stops. */
#include <stdio.h>
#include <string.h>

#include <unified_track/unified_track.h>

int main(int argc, char **argv)
{
    const char *base = argc > 1 ? argv[1] : "/tmp";
    char logPath[512];
    char dataPath[512];
    snprintf(logPath, sizeof(logPath), "%s/log/", base);
    snprintf(dataPath, sizeof(dataPath), "%s/data/", base);

    OST_UT_RESULT ret = InitUnifiedTrack(2, 0, 0, logPath, dataPath);
    printf("InitUnifiedTrack(%s) -> %u\n", dataPath, (unsigned)ret);
    ret = Track_Uninit();
    printf("Track_Uninit -> %u\n", (unsigned)ret);
    return 0;
}

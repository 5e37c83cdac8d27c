/* A C host driving the media exports through unified_track.h alone, from start to stop.
 * (Every export is called from C++ tests too, which catches a lost C linkage; this checks the
 * media calls as a C caller writes them.)
 * ut_c_drive_interface returns 0 when every check held, else the line of the first failed one. */
#include <string.h>

#include <unified_track/unified_track.h>

#define CHECK(cond)                   \
    do {                              \
        if (!(cond)) return __LINE__; \
    } while (0)

int ut_c_drive_interface(const char *logPath, const char *dataPath) {
    char version[64];
    tagUTContextSpecialParam media = {"30014", NULL, NULL, NULL, "conf|c-media", 0, 0};
    unsigned char sysInfo[UT_MEDIA_SYS_INFO_LEN];

    CHECK(InitUnifiedTrack(3, 0, 0, logPath, dataPath) == UT_SUCCESS);
    CHECK(Track_ConfigDotSwitch(true) == UT_SUCCESS);
    CHECK(Track_ConfigPublicSdkParam(&(tagUTPublicSdkParam){"uuid-c", "carol", "cu", "sbc", "corp"}) == UT_SUCCESS);
    CHECK(Track_ConfigBrioContextPublicParam(&(tagUTBrioContextPublicParam){.context1 = "9.9.9", .context15 = "c15"}) ==
          UT_SUCCESS);

    CHECK(Track_AddMediaTrack(&media, 0) == UT_SUCCESS);
    CHECK(Track_AddMediaTrack(NULL, 0) == UT_FAILED);
    CHECK(Track_AddMMRTrack("{\"c\":1}", 8, 0) == UT_SUCCESS);
    CHECK(Track_MsgDotCount(4) == UT_SUCCESS);

    MediaTrack_SetConfId("conf-c");
    CHECK(strcmp(MediaTrack_GetConfId(), "conf-c") == 0);
    MediaTrack_SetConfServeType("MCU");
    MediaTrack_SetAudioDecoderNameAndSample("OPUS", 48000);
    MediaTrack_SetCpuAndMemoryInfo(&(tagMediaCpuMemInfo){1, 0, 0, "cpu"});
    CHECK(MediaTrack_SetPaticipantInfo(&(tagMediaParticipantInfo){3, 0, "p-media"}) == UT_SUCCESS);
    CHECK(MediaTrack_SetPaticipantInfo(NULL) == UT_FAILED);
    memset(sysInfo, 0xAA, sizeof(sysInfo));
    CHECK(MediaTrack_GetSysInfo(sysInfo) == sysInfo && sysInfo[0] == 0 && sysInfo[UT_MEDIA_SYS_INFO_LEN - 1] == 0);
    CHECK(MediaTrack_GetSysInfo(NULL) == NULL);
    CHECK(MediaTrack_AddDataConfDotData(30009, "c-data", 0) == UT_SUCCESS);
    CHECK(MediaTrack_AddDataConfDotData(30009, NULL, 0) == UT_FAILED);
    MediaTrack_AddStaticShowInfo();

    /* a record after the stop is dropped, not refused */
    CHECK(Track_GetVersion(version, (int32_t)sizeof(version)) == UT_SUCCESS && strcmp(version, "9.9.9") == 0);
    CHECK(Track_Uninit() == UT_SUCCESS);
    CHECK(Track_AddMediaTrack(&media, 0) == UT_SUCCESS);
    CHECK(Track_GetVersion(version, (int32_t)sizeof(version)) == UT_FAILED);
    return 0;
}

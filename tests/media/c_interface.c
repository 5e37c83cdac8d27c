/* A C host driving the whole exported interface through unified_track.h alone.
 * ut_c_drive_interface returns 0 when every check held, else the line of the first failed one. */
#include <stdio.h>
#include <string.h>

#include <unified_track/unified_track.h>

#define CHECK(cond)              \
    do {                         \
        if (!(cond)) return __LINE__; \
    } while (0)

static long FileSize(const char *path) {
    FILE *f = fopen(path, "rb");
    long size = -1;
    if (f == NULL) return -1;
    if (fseek(f, 0, SEEK_END) == 0) size = ftell(f);
    fclose(f);
    return size;
}

/* A synchronous call waits for every record queued before it. */
static void Drain(void) {
    char version[64];
    (void)Track_GetVersion(version, (int32_t)sizeof(version));
}

static int blockedCalls = 0;
static void OnBlocked(void) { ++blockedCalls; }

int ut_c_drive_interface(const char *logPath, const char *dataPath, const char *dotFolder) {
    char userDotFile[512], mediaDotFile[512], mmrDotFile[512];
    int32_t isBrio = -1;
    char buffer[128];
    uint64_t serverTime = 0, baseTime = 0;
    tagUTPublicSdkParam sdk = {"uuid-c", "carol", "cu", "sbc", "corp", "c-agent", "r2", "r3", "r4"};
    tagUTBrioContextPublicParam brio = {"9.9.9", "DEVICE99", "c3", "c4", "c5", "c6", "corp-app",
                                        "c8", "C-OS", "c10", "c11", "c12", "c13", "c14", "c15",
                                        "c16", "c17"};
    tagUTContextPublicParam ctx = {"9.9.9", "DEVICE99", "c3", "c4", "c5", "c6", "corp-app", "c8",
                                   "C-OS", "c10", "c11", "c12", "c13", "c14"};
    tagUTConfInfoParam conf = {"conf-uuid", "pid-1"};
    tagUTParticipantInfo participant = {1, 2, "p-c"};
    tagUTCertInfo cert;
    tagUTCertInfo certOut;
    tagUTTransferParam transfer;
    tagUTContextSpecialParam event = {"2", "ut_event_c_host", "a2", "a3", "{\"k\":1}", 0, 0};
    tagUTContextSubEventParam sub = {"step", 0};
    tagUTContextSpecialParam media = {"30014", NULL, NULL, NULL, "conf|c-media", 0, 0};
    tagMediaCpuMemInfo cpu;
    tagMediaParticipantInfo mediaParticipant;
    unsigned char sysInfo[UT_MEDIA_SYS_INFO_LEN];
    long mediaSize;
    long userSize;
    tagUTTimeTakenRecord timeTaken;
    tagUTPalMsgRecord busMsg;

    snprintf(userDotFile, sizeof(userDotFile), "%suser_dot_data.dat", dotFolder);
    snprintf(mediaDotFile, sizeof(mediaDotFile), "%smedia_dot_data.dat", dotFolder);
    snprintf(mmrDotFile, sizeof(mmrDotFile), "%smmr_dot_data.dat", dotFolder);

    /* start */
    CHECK(InitUnifiedTrack(4, 0, 0, logPath, dataPath) == UT_FAILED);
    CHECK(InitUnifiedTrack(3, 0, 0, logPath, dataPath) == UT_SUCCESS);
    CHECK(InitUnifiedTrack(3, 0, 0, logPath, dataPath) == UT_SUCCESS);
    CHECK(CheckAppIdAndSetDotData("plain-app", &isBrio) == UT_SUCCESS && isBrio == 0);
    CHECK(CheckAppIdAndSetDotData("xBrioMeetingx", &isBrio) == UT_SUCCESS && isBrio == 1);
    PalMsgLogCallback(1, "0", "bus.c", 1, "hello from the bus");
    PalMsgLogCallback(1, NULL, NULL, 0, NULL);
    CHECK(Track_UpdateLogPath(3, 0, 0, logPath) == UT_SUCCESS);
    CHECK(Track_UpdateLogPath(4, 0, 0, logPath) == UT_FAILED);
    CHECK(Track_ConfigKeyLogSwitch(1) == UT_SUCCESS);

    /* parameters */
    CHECK(Track_ConfigCustomParam(1) == UT_SUCCESS);
    CHECK(Track_ConfigDotSwitch(true) == UT_SUCCESS);
    CHECK(Track_SetMeetingSDKDotSwitch(true) == UT_SUCCESS);
    CHECK(Track_ConfigPublicSdkParam(&sdk) == UT_SUCCESS);
    CHECK(Track_ConfigPublicSdkParam(NULL) == UT_FAILED);
    CHECK(Track_ConfigContextPublicParam(&ctx) == UT_SUCCESS);
    CHECK(Track_ConfigBrioContextPublicParam(&brio) == UT_SUCCESS);
    CHECK(Track_ConfigBrioContextPublicParam(NULL) == UT_FAILED);
    CHECK(Track_SetConfInfoParam(&conf) == UT_SUCCESS);
    CHECK(Track_SetParticipantInfo(&participant) == UT_SUCCESS);
    CHECK(Track_SetStunInfo("10.1.2.3", 3478) == UT_SUCCESS);
    CHECK(Track_SetStunInfo(NULL, 0) == UT_FAILED);
    CHECK(Track_SetTerminalType("C-PC") == UT_SUCCESS);
    CHECK(Track_SetTerminalType(NULL) == UT_FAILED);
    CHECK(Track_UpdateAccessDesc("desc") == UT_SUCCESS);
    memset(&cert, 0, sizeof(cert));
    strcpy(cert.certInfo, "cert-text");
    cert.certNumber = 3;
    CHECK(Track_SetCertInfo(&cert) == UT_SUCCESS);
    memset(&certOut, 0, sizeof(certOut));
    CHECK(Track_GetCertInfo(&certOut) == UT_SUCCESS);
    CHECK(strcmp(certOut.certInfo, "cert-text") == 0 && certOut.certNumber == 3);
    CHECK(Track_GetVersion(buffer, (int32_t)sizeof(buffer)) == UT_SUCCESS);
    CHECK(strcmp(buffer, "9.9.9") == 0);
    GetOrignalCorpTrustAppId(buffer, (uint32_t)sizeof(buffer));
    CHECK(strcmp(buffer, "corp-app") == 0);
    GetOrignalCorpTrustAppId(NULL, 0);
    CHECK(Track_RecordUtcTimeByLogin(1714979289010ull) == UT_SUCCESS);
    CHECK(Track_GetServerUtcTimeAndBaseTime(&serverTime, &baseTime) == UT_SUCCESS);
    CHECK(serverTime == 1714979289010ull);
    CHECK(Track_GetServerUtcTimeAndBaseTime(NULL, &baseTime) == UT_FAILED);
    memset(&transfer, 0, sizeof(transfer));
    CHECK(Track_ConfigUploadParam(&transfer) == UT_SUCCESS);  /* no credentials: nothing goes out */
    CHECK(Track_ConfigUploadParam(NULL) == UT_FAILED);
    CHECK(Track_UpdateOpsAddress(NULL, 0) == UT_FAILED);

    /* user and timed events */
    CHECK(Track_AddUserTrack(&event) == UT_SUCCESS);
    CHECK(Track_AddUserTrack(NULL) == UT_FAILED);
    CHECK(Track_StartEvent("ut_event_c_timed") == UT_SUCCESS);
    CHECK(Track_AddSubEvent("ut_event_c_timed", &sub) == UT_SUCCESS);
    CHECK(Track_FinishEvent("ut_event_c_timed", &event) == UT_SUCCESS);
    CHECK(Track_StartEvent(NULL) == UT_FAILED);
    CHECK(Track_AddSubEvent("ut_event_c_timed", NULL) == UT_FAILED);
    CHECK(Track_FinishEvent("ut_event_c_timed", NULL) == UT_FAILED);
    CHECK(Track_UploadUserTrack() == UT_SUCCESS);

    /* media and MMR records */
    CHECK(Track_AddMediaTrack(&media, 0) == UT_SUCCESS);
    CHECK(Track_AddMediaTrack(NULL, 0) == UT_FAILED);
    CHECK(Track_AddMMRTrack("{\"c\":1}", 8, 0) == UT_SUCCESS);
    CHECK(Track_AddMMRTrack("{\"c\":1}", 7, 0) == UT_FAILED);
    CHECK(Track_AddMMRTrack(NULL, 0, 0) == UT_FAILED);
    CHECK(Track_MsgDotCount(4) == UT_SUCCESS);
    CHECK(Track_MsgDotCount(11) == UT_FAILED);
    Drain();
    mediaSize = FileSize(mediaDotFile);
    CHECK(mediaSize > 0);
    CHECK(FileSize(mmrDotFile) == 8);

    /* MediaTrack family */
    MediaTrack_SetConfId("conf-c");
    CHECK(strcmp(MediaTrack_GetConfId(), "conf-c") == 0);
    MediaTrack_SetConfServeType("MCU");
    MediaTrack_SetAudioDecoderNameAndSample("OPUS", 48000);
    memset(&cpu, 0, sizeof(cpu));
    cpu.number1 = 1;
    strcpy(cpu.text, "cpu");
    MediaTrack_SetCpuAndMemoryInfo(&cpu);
    memset(&mediaParticipant, 0, sizeof(mediaParticipant));
    mediaParticipant.mNumber = 3;
    strcpy(mediaParticipant.participantId, "p-media");
    CHECK(MediaTrack_SetPaticipantInfo(&mediaParticipant) == UT_SUCCESS);
    CHECK(MediaTrack_SetPaticipantInfo(NULL) == UT_FAILED);
    CHECK(MediaTrack_GetSysInfo(sysInfo) == sysInfo && sysInfo[0] == 0 && sysInfo[63] == 0);
    CHECK(MediaTrack_GetSysInfo(NULL) == NULL);
    CHECK(MediaTrack_AddDataConfDotData(30009, "c-data", 0) == UT_SUCCESS);
    CHECK(MediaTrack_AddDataConfDotData(30009, NULL, 0) == UT_FAILED);
    Drain();
    CHECK(FileSize(mediaDotFile) > mediaSize);
    MediaTrack_AddStaticShowInfo(); /* packs the media file at once */
    Drain();
    CHECK(FileSize(mediaDotFile) < 0);

    /* reporters and bus callbacks: each becomes a user event */
    Drain();
    userSize = FileSize(userDotFile);
    CHECK(userSize > 0);
    track_http_error("https://ops.example/x", "req-1", 7, 503, "busy");
    track_websocket_error(0, 1, "connect", "seq-1", 110, "timed out");
    track_websocket_retry(1, 2, 3000);
    track_websocket_heartbeat_timeout("confctrl");
    track_websocket_heartbeat_timeout(NULL);
    track_websocket_link_connect("confctrl", "10.0.0.9", "region", 1, "ok", 1714979289000ull, NULL, 30);
    track_rtc_error("rtcJoin", 5, "no media");
    track_dotdata_delete_file("f.gz", 4, 0, "ops", -1);
    track_zipfile_generate_error("z.gz", 1002, 1);
    track_log_zip_error(3, "log.txt");
    track_dotdata_log("content", "func");
    track_dotdata_parse_domain_error("ops.example", 11);
    track_set_deploy_mode(1);
    track_switch_deploy_mode(2, 1);
    track_usg_websocket_detect_result(1, "10.0.0.10");
    CHECK(track_set_local_addr("10.0.0.11") == 0);
    CHECK(track_set_confctrl_addr("10.0.0.12") == 0);
    CHECK(track_set_confmanage_addr("10.0.0.13") == 0);
    CHECK(track_set_confid("conf-c") == 0);
    CHECK(track_set_self_participant_id("p-c") == 0);
    CHECK(track_set_media_addr("10.0.0.14", 5000) == 0);
    CHECK(track_set_websocket_link_status(0, 5, "ok") == 0);
    CHECK(track_set_local_addr(NULL) == 0);

    memset(&timeTaken, 0, sizeof(timeTaken));
    timeTaken.blockedNotify = 1;
    timeTaken.useTime = 1500;
    strcpy(timeTaken.data, "slow");
    strcpy(timeTaken.funcName, "c_slow_func");
    Track_SetBlockedNotifyCB("c_slow_func", OnBlocked);
    Track_SetBlockedNotifyCB(NULL, OnBlocked);
    Track_TimeTakenDotData(&timeTaken);
    Track_TimeTakenDotData(NULL);
    CHECK(blockedCalls == 1);
    CHECK(Track_IsMainThreadDelay() == 0);
    strcpy(timeTaken.funcName, "lum_conf_main_detect_delay");
    timeTaken.blockedNotify = 0;
    Track_TimeTakenDotData(&timeTaken);
    CHECK(Track_IsMainThreadDelay() == 0); /* same millisecond as the report */
    Track_ErrorAnalyze("c-type", "c-info");
    Track_ErrorAnalyze(NULL, NULL);
    Track_AnonymousAuth("10.0.0.15", "conf-c", 0);
    Track_AnonymousAuth(NULL, NULL, 1);
    memset(&busMsg, 0, sizeof(busMsg));
    busMsg.seqId = 1;
    strcpy(busMsg.sendApp, "app-a");
    strcpy(busMsg.recvApp, "app-b");
    PalMsgDotData(&busMsg);
    PalMsgDotData(NULL);
    Drain();
    CHECK(FileSize(userDotFile) > userSize);

    /* clean-up and stop */
    CHECK(Track_ClearConfigPublicSdkParam() == UT_SUCCESS);
    (void)Track_DelUserInfo();
    CHECK(Track_DelDotData() == UT_SUCCESS);
    CHECK(FileSize(mmrDotFile) < 0);
    CHECK(Track_Uninit() == UT_SUCCESS);
    CHECK(Track_AddMediaTrack(&media, 0) == UT_SUCCESS); /* dropped after stop */
    CHECK(Track_GetVersion(buffer, (int32_t)sizeof(buffer)) == UT_FAILED);
    return 0;
}

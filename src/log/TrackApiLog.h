// The API log gate: every SDK module logs its interface calls and signalling messages through
// here into the "sdk_api_info" module. Floods and noise are dropped, sensitive values masked, line
// breaks normalised and over-long texts shortened before one line is written.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <string>

class TrackApiLog {
public:
    // Formats (at most 2999 characters; longer output is cut) and runs the pipeline.
    static void AddApiLogWithParam(int32_t from, int32_t to, const char *format, va_list args)
        __attribute__((format(printf, 3, 0)));
    // Runs the pipeline on a ready text (null is refused).
    static void AddApiLogStr(int32_t from, int32_t to, const char *text);

    // The pipeline's steps, in order.
    // True when the text is an interface-call line ("<prefix>called...") whose prefix makes up
    // more than a third of the recent call lines; records the call either way. The summary line
    // of drops shows the prefixes masked for the modules of the call that was dropped.
    static bool IsAbandoned(const std::string &text, int32_t from, int32_t to);
    static bool IsNoise(const std::string &text);
    // Masks sensitive values (api_log_mask.h) and applies the two URL rules.
    static void Mask(std::string &text, int32_t from, int32_t to);
    static void Normalise(std::string &text, int32_t from, int32_t to);
    static void Shorten(std::string &text);
    // "" for an unknown id.
    static const char *ModuleName(int32_t id);

    // Forgets the recent calls and the drop counts (tests running in one process).
    static void ClearFloodState();

private:
    static void Pipeline(int32_t from, int32_t to, std::string text);
};

// What every exported function stands on: no exception leaves it, and a text argument may be
// null. Shared by the interface and the configuration exports.
#pragma once

#include <exception>
#include <string>

#include "host/log.h"

namespace unified_track {

// A text argument of an export; null reads as "".
inline std::string Text(const char *text) {
    return text != nullptr ? std::string(text) : std::string();
}

// Result form: the body's result, or `failed` when it throws. With a name, the failure is logged
// as "<name> failed[: <what>]".
template <typename R, typename F>
R GuardExport(const char *name, R failed, F &&body) noexcept {
    try {
        return body();
    } catch (const std::exception &e) {
        try {
            if (name != nullptr) UT_LOGE("%s failed: %s", name, e.what());
        } catch (...) {
        }
    } catch (...) {
        try {
            if (name != nullptr) UT_LOGE("%s failed", name);
        } catch (...) {
        }
    }
    return failed;
}

// Void form: a report is best effort and its caller never sees a failure.
template <typename F>
void GuardExport(F &&body) noexcept {
    try {
        body();
    } catch (...) {
    }
}

}  // namespace unified_track

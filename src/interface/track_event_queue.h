// Hand-over of a reporter's event to the user-event path: an event with id "1" queued to the
// command thread without waiting, where UTManager::AddUserTrack writes it. The queued copy of the
// payload is wiped when the command is done with it.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "interface/secure_string.h"

namespace unified_track {

// arg2 may be null (empty); time is the record's capture time in run-time milliseconds.
void QueueReportEvent(const char *event, const char *arg2, const SecureString &payload, uint64_t time,
                      const char *commandName);

// The link and transport reporters' way: arg2 "0", captured now, under "_Track_AddUserTrack".
void QueueLinkEvent(const char *event, const SecureString &payload);

// False, with a log line, when a report's texts together could not fit in one record: the
// reporters check this before they copy anything.
bool ReportTextsFit(std::initializer_list<const char *> texts);

}  // namespace unified_track

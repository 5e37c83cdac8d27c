// JSON text of the reporters: jsoncpp's stream writer with an empty indentation (one line, no
// spaces, members in ascending byte order of their names), written straight into a wiped string.
#pragma once

#include <json/value.h>

#include "interface/secure_string.h"

namespace unified_track {

SecureString WriteJson(const Json::Value &obj);

// A JSON string member from a text that may be null: `absent` stands in for null.
Json::Value JsonText(const char *text, const char *absent);

}  // namespace unified_track

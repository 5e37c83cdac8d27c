// Masks for personal values, counted in UTF-16 code units.
#pragma once

#include <string>

namespace unified_track {
// Paths in log lines: keeps the first four and the last four characters.
std::string MiddleMask(const std::string &text);
// Record fields: the last four characters become '*'.
std::string LastFourMask(const std::string &text);
// Record fields: every character after the first becomes '*'.
std::string AllButFirstMask(const std::string &text);
}  // namespace unified_track

// The API log's masker: one pass over a text that finds keys and masks their values.
//
// Keys are found as JSON keys (a quoted name, optional blanks, ':'), also inside JSON held in a
// string at any escape depth (\" , \\\" ...), and as `name=value` pairs in plain text. A key's
// whole value is masked, whatever its type: a string with its escapes, a number or literal, an
// object or array (brackets counted outside strings), or a value cut off by the end of the text.
//
// Which keys, and the shape of the mask:
// - password keys (and names ending in "password", "passwd", "pwd" or "secret"), any module
//   pair, any letter case: the value becomes " ...... ";
// - token keys (and names ending in "token"), any module pair, any case: each character becomes
//   '*' but the last; a plain token of 40 or more characters keeps its first 11;
// - extended-field keys, any module pair: the key and its value become " ...... ";
// - conference-control name keys (a name ending in one, exact case) and "participantID" (first
//   character and last three stay) when either module is CMS; gateway account keys (exact name
//   and case) when either module is USG: '*' per character, the last one of 8 or more kept.
// A value cut off by the end of the text (or of the string holding it) has no known end, so no
// character of it stays readable at its end.
// Called on any caller thread; the tables are built once and then only read.
#pragma once

#include <cstdint>
#include <string>

namespace apilog {

// The masked copy of `text` for a line between modules `from` and `to`. Linear in the text's
// length; never reads outside it, whatever its bytes.
std::string MaskKeys(const std::string &text, int32_t from, int32_t to);

}  // namespace apilog

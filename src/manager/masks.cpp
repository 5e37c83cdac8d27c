// Masks work on UTF-16 code units so that a character is never cut in half on Windows-built
// peers that count the same way; the text goes UTF-8 -> UTF-16 -> masked -> UTF-8.
#include "manager/masks.h"

#include "host/string_helper.h"

namespace unified_track {
namespace {
constexpr size_t kMiddleKeep = 4;
constexpr size_t kLastFour = 4;

std::string MaskRange(const std::string &text, size_t from, size_t to)  // [from, to)
{
    std::u16string units = StringHelper::UTF8ToWstring(text);
    if (to > units.size()) to = units.size();
    for (size_t i = from; i < to; ++i) units[i] = u'*';
    return StringHelper::WstringToUTF8(units);
}
}  // namespace

std::string MiddleMask(const std::string &text) {
    std::u16string units = StringHelper::UTF8ToWstring(text);
    if (units.size() <= 2 * kMiddleKeep) return text;
    for (size_t i = kMiddleKeep; i + kMiddleKeep < units.size(); ++i) units[i] = u'*';
    return StringHelper::WstringToUTF8(units);
}

std::string LastFourMask(const std::string &text) {
    std::u16string units = StringHelper::UTF8ToWstring(text);
    if (units.size() < kLastFour) return text;
    for (size_t i = units.size() - kLastFour; i < units.size(); ++i) units[i] = u'*';
    return StringHelper::WstringToUTF8(units);
}

std::string AllButFirstMask(const std::string &text) {
    if (text.empty()) return text;
    return MaskRange(text, 1, std::string::npos);
}

}  // namespace unified_track

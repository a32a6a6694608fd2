#include "core/find_fields.h"

#include <cctype>
#include <cmath>
#include <ctime>

namespace sizewalk {

namespace {

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return text;
}

// Reads `count` digits at `pos` of `text` into `value`.
bool Digits(std::string_view text, std::size_t pos, std::size_t count, int& value) {
    if (pos + count > text.size()) return false;
    value = 0;
    for (std::size_t i = pos; i < pos + count; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) return false;
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

}  // namespace

std::optional<std::uint64_t> ParseSizeText(std::string_view text) {
    text = Trimmed(text);
    std::size_t pos = 0;
    long double whole = 0;
    bool digits = false;
    while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos]))) {
        whole = whole * 10 + (text[pos++] - '0');
        digits = true;
    }
    if (pos < text.size() && text[pos] == '.') {
        long double scale = 0.1L;
        for (++pos; pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos]));
             ++pos, scale /= 10) {
            whole += (text[pos] - '0') * scale;
            digits = true;
        }
    }
    if (!digits) return std::nullopt;
    std::string unit;
    for (char c : Trimmed(text.substr(pos)))
        unit += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    long double factor = 1;
    if (unit.empty() || unit == "B")
        factor = 1;
    else if (unit == "K" || unit == "KB")
        factor = 1024.0L;
    else if (unit == "M" || unit == "MB")
        factor = 1024.0L * 1024;
    else if (unit == "G" || unit == "GB")
        factor = 1024.0L * 1024 * 1024;
    else if (unit == "T" || unit == "TB")
        factor = 1024.0L * 1024 * 1024 * 1024;
    else
        return std::nullopt;
    const long double bytes = std::ceil(whole * factor);
    // 2^64 and above does not fit.
    if (!(bytes < 18446744073709551616.0L)) return std::nullopt;
    return static_cast<std::uint64_t>(bytes);
}

std::optional<std::int64_t> ParseDayText(std::string_view text) {
    text = Trimmed(text);
    std::tm day{};
    int year = 0, month = 0, mday = 0, hour = 0, minute = 0;
    if (!(text.size() == 10 || text.size() == 16) || !Digits(text, 0, 4, year) || text[4] != '-' ||
        !Digits(text, 5, 2, month) || text[7] != '-' || !Digits(text, 8, 2, mday))
        return std::nullopt;
    if (text.size() == 16 && (text[10] != ' ' || !Digits(text, 11, 2, hour) || text[13] != ':' ||
                              !Digits(text, 14, 2, minute)))
        return std::nullopt;
    if (year < 1970 || month < 1 || month > 12 || mday < 1 || hour > 23 || minute > 59)
        return std::nullopt;
    static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (mday > kDays[month - 1] || (month == 2 && mday == 29 && !leap)) return std::nullopt;
    day.tm_year = year - 1900;
    day.tm_mon = month - 1;
    day.tm_mday = mday;
    day.tm_hour = hour;
    day.tm_min = minute;
    day.tm_isdst = -1;  // whatever the day's rule is
    const std::time_t seconds = std::mktime(&day);
    if (seconds == static_cast<std::time_t>(-1)) return std::nullopt;
    return static_cast<std::int64_t>(seconds);
}

std::optional<FindRequest> ReadFindFields(const FindFields& fields, std::string& error) {
    FindRequest request;
    request.fields = fields;
    const std::string_view pattern = Trimmed(fields.strPattern);
    if (pattern.empty()) {
        error = "Type a name to find, such as *.iso, or a regular expression such as /^core\\./.";
        return std::nullopt;
    }
    std::string why;
    std::unique_ptr<CNamePattern> compiled = CNamePattern::Compile(pattern, why);
    if (!compiled) {
        error = "The name \"" + std::string(pattern) + "\" cannot be searched for: " + why;
        return std::nullopt;
    }
    request.pattern = std::move(compiled);
    if (!Trimmed(fields.strMinSize).empty()) {
        const auto size = ParseSizeText(fields.strMinSize);
        if (!size) {
            error = "The least size \"" + std::string(Trimmed(fields.strMinSize)) +
                    "\" is not a size such as 10 MB.";
            return std::nullopt;
        }
        request.filters.nMinSize = *size;
    }
    const auto day = [&](const std::string& text, std::string_view what,
                         std::int64_t& into) -> bool {
        if (Trimmed(text).empty()) return true;
        const auto seconds = ParseDayText(text);
        if (!seconds) {
            error = "The date \"" + std::string(Trimmed(text)) + "\" (modified " +
                    std::string(what) + ") is not a day such as 2026-12-01.";
            return false;
        }
        // The bound itself is never kNoTime, which means "no bound".
        into = *seconds == CScanList::kNoTime ? 1 : *seconds;
        return true;
    };
    if (!day(fields.strAfter, "after", request.filters.nModifiedAfter) ||
        !day(fields.strBefore, "before", request.filters.nModifiedBefore))
        return std::nullopt;
    request.filters.eKinds = fields.eKinds;
    return request;
}

}  // namespace sizewalk

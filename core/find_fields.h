#pragma once
// The Find dialog's fields as the user typed them, and what they ask for:
// a name pattern (wildcards, or /regex/), a least size ("10 MB", "500K",
// "4096"), modified after or before a day ("2026-12-01", local time), and
// whether directories, files or both are found. Reading them is the same
// on every platform, so the dialogs only show and return the texts.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "model/find_query.h"
#include "model/name_pattern.h"

namespace sizewalk {

struct FindFields {
    std::string strPattern;
    std::string strMinSize;  // empty: any size
    std::string strAfter;    // empty: no bound
    std::string strBefore;
    FindKinds eKinds = FindKinds::Both;
    bool operator==(const FindFields&) const = default;
};

// What a search asks for, once the fields are read.
struct FindRequest {
    FindFields fields;  // as typed, for the title and the next dialog
    std::shared_ptr<const CNamePattern> pattern;
    FindFilters filters;
};

// The request `fields` make; or nothing with the reason in `error`, naming
// the field ("The least size \"12 XB\" is not a size such as 10 MB.").
std::optional<FindRequest> ReadFindFields(const FindFields& fields, std::string& error);

// A size as typed: digits with an optional fraction and a unit (B, K, KB,
// M, MB, G, GB, T, TB; any case; powers of 1,024); nothing when it is not
// one or does not fit in 64 bits.
std::optional<std::uint64_t> ParseSizeText(std::string_view text);

// A day "YYYY-MM-DD" (optionally " HH:MM") in local time, as seconds since
// 1970; nothing when it is not a real day.
std::optional<std::int64_t> ParseDayText(std::string_view text);

}  // namespace sizewalk

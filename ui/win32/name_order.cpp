#include "ui/win32/name_order.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "ui/win32/label_text.h"

namespace sizewalk {

namespace {

// Case, width and kana type are ignored, as the Linux collator ignores
// everything past accents; string sort keeps hyphens and apostrophes
// significant instead of skipping them.
constexpr DWORD kFlags = LCMAP_SORTKEY | NORM_IGNORECASE | NORM_IGNOREKANATYPE | NORM_IGNOREWIDTH |
                         SORT_DIGITSASNUMBERS | SORT_STRINGSORT;

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// Runs of digits compare by value alone, whatever zeros lead them ("007"
// and "7" tie, and their bytes decide), as on Linux; the system's own
// numeric order would put every "007" before every "7".
void DropLeadingZeros(std::wstring& text) {
    std::size_t to = 0;
    for (std::size_t from = 0; from < text.size(); ++from) {
        const bool startsRun = from == 0 || !IsDigit(text[from - 1]);
        if (startsRun && text[from] == L'0') {
            while (from + 1 < text.size() && text[from] == L'0' && IsDigit(text[from + 1])) ++from;
        }
        text[to++] = text[from];
    }
    text.resize(to);
}

int CompareKeys(std::string_view a, std::string_view b) {
    const int c = std::memcmp(a.data(), b.data(), std::min(a.size(), b.size()));
    if (c != 0) return c;
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

}  // namespace

CSystemNameOrder::CSystemNameOrder(std::wstring locale) : m_locale(std::move(locale)) {}

std::size_t CSystemNameOrder::AppendKey(std::string& keys, std::string_view name,
                                        std::wstring& scratch) const {
    scratch.clear();
    AppendLabelText(scratch, name);
    DropLeadingZeros(scratch);
    if (scratch.empty()) return 0;
    const wchar_t* locale = m_locale.empty() ? LOCALE_NAME_USER_DEFAULT : m_locale.c_str();
    const std::size_t at = keys.size();
    // Keys take a few bytes a character; ask the system for the size only
    // when the guess is short.
    std::size_t room = scratch.size() * 8 + 32;
    for (;;) {
        keys.resize(at + room);
        const int n =
            ::LCMapStringEx(locale, kFlags, scratch.data(), static_cast<int>(scratch.size()),
                            reinterpret_cast<LPWSTR>(keys.data() + at), static_cast<int>(room),
                            nullptr, nullptr, 0);
        if (n > 0) {
            keys.resize(at + static_cast<std::size_t>(n));
            return static_cast<std::size_t>(n);
        }
        if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER) break;
        const int needed =
            ::LCMapStringEx(locale, kFlags, scratch.data(), static_cast<int>(scratch.size()),
                            nullptr, 0, nullptr, nullptr, 0);
        if (needed <= 0 || static_cast<std::size_t>(needed) <= room) break;
        room = static_cast<std::size_t>(needed);
    }
    keys.resize(at);  // no key: such names sort by their bytes alone
    return 0;
}

void CSystemNameOrder::SortKeyed(std::span<Keyed> items, const std::string& keys) {
    const std::string_view all(keys);
    std::sort(items.begin(), items.end(), [all](const Keyed& a, const Keyed& b) {
        const int c =
            CompareKeys(all.substr(a.nKeyAt, a.nKeyLength), all.substr(b.nKeyAt, b.nKeyLength));
        if (c != 0) return c < 0;
        if (const int d = a.name.compare(b.name); d != 0) return d < 0;
        return a.id < b.id;
    });
}

int CSystemNameOrder::Compare(std::string_view a, std::string_view b) const {
    std::string keys;
    std::wstring scratch;
    const std::size_t lengthA = AppendKey(keys, a, scratch);
    const std::size_t lengthB = AppendKey(keys, b, scratch);
    const std::string_view all(keys);
    if (const int c = CompareKeys(all.substr(0, lengthA), all.substr(lengthA, lengthB)); c != 0)
        return c;
    return a.compare(b);
}

void CSystemNameOrder::SortByName(std::span<std::uint32_t> ids, const CScanList& list) const {
    Sort(ids, [&list](std::uint32_t id) { return list[id].GetName(); });
}

}  // namespace sizewalk

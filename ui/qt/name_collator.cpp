#include "ui/qt/name_collator.h"

#include "ui/qt/display_text.h"

namespace sizewalk {

namespace {

// The C locale collates by code point, capitals first; a user without a
// locale still expects dictionary order, so take the root order instead.
QLocale CollationLocale(const QLocale& locale) {
    if (locale.language() == QLocale::C) return QLocale(QLocale::English, QLocale::UnitedStates);
    return locale;
}

}  // namespace

CNameCollator::CNameCollator(const QLocale& locale) : m_collator(CollationLocale(locale)) {
    m_collator.setCaseSensitivity(Qt::CaseInsensitive);
    m_collator.setNumericMode(true);
    m_collator.setIgnorePunctuation(false);
}

QCollatorSortKey CNameCollator::Key(std::string_view name) const {
    return m_collator.sortKey(DisplayText(name));
}

void CNameCollator::SortKeyed(std::vector<Keyed>& items) {
    std::sort(items.begin(), items.end(), [](const Keyed& a, const Keyed& b) {
        if (const int c = a.key.compare(b.key); c != 0) return c < 0;
        if (const int c = a.name.compare(b.name); c != 0) return c < 0;
        return a.id < b.id;
    });
}

void CNameCollator::SortByName(std::span<std::uint32_t> ids, const CScanList& list) const {
    Sort(ids, [&list](std::uint32_t id) { return list[id].GetName(); });
}

int CNameCollator::Compare(std::string_view a, std::string_view b) const {
    if (const int c = Key(a).compare(Key(b)); c != 0) return c;
    return a.compare(b);
}

}  // namespace sizewalk

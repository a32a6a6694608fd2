#include "ui/label_collator.h"

#include <algorithm>

#include "ui/display_text.h"

namespace sizewalk {

namespace {

// The C locale collates by code point, case first; a user without a locale
// still expects names in dictionary order, so take the root order instead.
QLocale CollationLocale(const QLocale& locale) {
    if (locale.language() == QLocale::C) return QLocale(QLocale::English, QLocale::UnitedStates);
    return locale;
}

}  // namespace

CLabelCollator::CLabelCollator(const QLocale& locale) : m_collator(CollationLocale(locale)) {
    m_collator.setCaseSensitivity(Qt::CaseInsensitive);
    m_collator.setNumericMode(true);
    m_collator.setIgnorePunctuation(false);
}

QCollatorSortKey CLabelCollator::Key(const std::string& label) const {
    return m_collator.sortKey(DisplayText(label));
}

void CLabelCollator::SortKeyed(std::vector<Keyed>& items, std::vector<std::string>& labels) const {
    std::sort(items.begin(), items.end(), [&](const Keyed& a, const Keyed& b) {
        const int c = a.key.compare(b.key);
        if (c != 0) return c < 0;
        return labels[a.id] < labels[b.id];
    });
}

int CLabelCollator::Compare(const std::string& a, const std::string& b) const {
    const int c = Key(a).compare(Key(b));
    if (c != 0) return c;
    return a.compare(b);
}

}  // namespace sizewalk

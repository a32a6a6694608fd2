#pragma once
// What a removal could not do, as its message shows it: one line an item,
// "<name>: <why>", the first few in full, then how many more.

#include <string>

#include "platform/visible_text.h"

namespace sizewalk {

class FailureLines {
public:
    static constexpr int kShown = 5;

    // `path` as the user knows it; it is shown through VisibleText.
    void Add(const std::string& path, const std::string& why) {
        if (m_nCount++ < kShown) m_strText += VisibleText(path, '/') + ": " + why + "\n";
    }
    bool Any() const { return m_nCount > 0; }
    std::string Text() const {
        std::string text = m_strText;
        if (m_nCount > kShown) text += "and " + std::to_string(m_nCount - kShown) + " more\n";
        return text;
    }

private:
    int m_nCount = 0;
    std::string m_strText;
};

}  // namespace sizewalk

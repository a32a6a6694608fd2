#include "ui/win32/dialog_message_box.h"

#include <cstring>
#include <string>

#include "platform/wide_text_win32.h"

namespace sizewalk {

namespace {

UINT StyleFor(MessageIcon icon) {
    return icon == MessageIcon::Warning ? MB_OK | MB_ICONEXCLAMATION | MB_SYSTEMMODAL : MB_OK;
}

// UTF-16 of a UTF-8 text, terminated. The out-of-memory report must not need
// the heap: short texts stay in the object itself.
class WideText {
public:
    explicit WideText(std::string_view utf8) {
        std::size_t n = 0;
        ForEachWideUnit(utf8, [&](wchar_t) { ++n; });
        if (n >= sizeof m_small / sizeof m_small[0]) {
            m_large = WideFromUtf8(utf8);
            m_text = m_large.c_str();
            return;
        }
        std::size_t at = 0;
        ForEachWideUnit(utf8, [&](wchar_t u) { m_small[at++] = u; });
        m_small[at] = L'\0';
    }
    WideText(const WideText&) = delete;
    WideText& operator=(const WideText&) = delete;
    const wchar_t* c_str() const { return m_text; }

private:
    wchar_t m_small[256];
    std::wstring m_large;
    const wchar_t* m_text = m_small;
};

}  // namespace

void CDialogMessageBox::Show(std::string_view text, MessageIcon icon) {
    const WideText wideText(text);
    const WideText caption(m_pszCaption ? std::string_view(m_pszCaption) : std::string_view());
    ::MessageBoxW(m_hOwner, wideText.c_str(), caption.c_str(), StyleFor(icon));
}

}  // namespace sizewalk

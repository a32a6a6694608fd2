#include "ui/win32/find_dialog.h"

#include <commctrl.h>

#include <cstdint>
#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/wide_text_win32.h"
#include "ui/win32/data_exchange.h"

namespace sizewalk {

namespace {

// The predefined classes' ordinals in a template.
constexpr WORD kButton = 0x0080, kEdit = 0x0081, kStatic = 0x0082, kComboBox = 0x0085;

// The kinds' entries, in FindKinds order.
constexpr const wchar_t* kKindText[] = {L"Files and folders", L"Files", L"Folders"};

// A dialog template in memory: the header, then each control, every one
// aligned to four bytes.
class CTemplate {
public:
    CTemplate(const wchar_t* title, short w, short h) {
        DLGTEMPLATE head{};
        head.style = DS_MODALFRAME | DS_SETFONT | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU;
        head.cx = w;
        head.cy = h;
        Put(head);
        Word(0);  // no menu
        Word(0);  // the dialog class
        Text(title);
        Word(8);
        Text(L"MS Shell Dlg");
    }
    void Control(WORD kind, const wchar_t* text, int id, DWORD style, short x, short y, short w,
                 short h) {
        Align();
        DLGITEMTEMPLATE item{};
        item.style = style | WS_CHILD | WS_VISIBLE;
        item.x = x;
        item.y = y;
        item.cx = w;
        item.cy = h;
        item.id = static_cast<WORD>(id);
        Put(item);
        Word(0xFFFF);
        Word(kind);
        Text(text);
        Word(0);  // no creation data
        auto* head = reinterpret_cast<DLGTEMPLATE*>(m_data.data());
        ++head->cdit;
    }
    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(m_data.data()); }

private:
    template <typename T>
    void Put(const T& value) {
        const std::size_t at = m_data.size();
        m_data.resize(at + sizeof value);
        std::memcpy(m_data.data() + at, &value, sizeof value);
    }
    void Word(WORD w) { Put(w); }
    void Text(const wchar_t* text) {
        for (; *text; ++text) Word(static_cast<WORD>(*text));
        Word(0);
    }
    void Align() { m_data.resize((m_data.size() + 3) & ~std::size_t{3}); }
    // DWORD-aligned storage, as the system reads templates.
    std::vector<std::uint8_t> m_data;
};

struct Exchange {
    FindFields* fields;
    const std::vector<std::string>* history;
};

void SetText(HWND dialog, int id, const std::string& text) {
    ::SetDlgItemTextW(dialog, id, WideFromUtf8(text).c_str());
}

void SetCue(HWND dialog, int id, const wchar_t* cue) {
    ::SendDlgItemMessageW(dialog, id, EM_SETCUEBANNER, FALSE, reinterpret_cast<LPARAM>(cue));
}

INT_PTR CALLBACK FindProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    auto* exchange = reinterpret_cast<Exchange*>(::GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
        case WM_INITDIALOG: {
            ::SetWindowLongPtrW(dialog, DWLP_USER, lParam);
            exchange = reinterpret_cast<Exchange*>(lParam);
            const FindFields& f = *exchange->fields;
            HWND name = ::GetDlgItem(dialog, IDC_FIND_NAME);
            for (const std::string& pattern : *exchange->history)
                ::SendMessageW(name, CB_ADDSTRING, 0,
                               reinterpret_cast<LPARAM>(WideFromUtf8(pattern).c_str()));
            SetText(dialog, IDC_FIND_NAME, f.strPattern);
            SetText(dialog, IDC_FIND_MIN_SIZE, f.strMinSize);
            SetText(dialog, IDC_FIND_AFTER, f.strAfter);
            SetText(dialog, IDC_FIND_BEFORE, f.strBefore);
            SetCue(dialog, IDC_FIND_MIN_SIZE, L"e.g. 10 MB");
            SetCue(dialog, IDC_FIND_AFTER, L"YYYY-MM-DD");
            SetCue(dialog, IDC_FIND_BEFORE, L"YYYY-MM-DD");
            HWND kinds = ::GetDlgItem(dialog, IDC_FIND_KINDS);
            for (const wchar_t* text : kKindText)
                ::SendMessageW(kinds, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
            ::SendMessageW(kinds, CB_SETCURSEL, static_cast<WPARAM>(f.eKinds), 0);
            ::SetFocus(name);
            ::SendMessageW(name, CB_SETEDITSEL, 0, MAKELPARAM(0, -1));
            return FALSE;  // the focus is set
        }
        case WM_COMMAND:
            if (!exchange) return FALSE;
            if (LOWORD(wParam) == IDOK) {
                FindFields& f = *exchange->fields;
                ExchangeText(dialog, IDC_FIND_NAME, f.strPattern, true);
                ExchangeText(dialog, IDC_FIND_MIN_SIZE, f.strMinSize, true);
                ExchangeText(dialog, IDC_FIND_AFTER, f.strAfter, true);
                ExchangeText(dialog, IDC_FIND_BEFORE, f.strBefore, true);
                const auto kind = ::SendDlgItemMessageW(dialog, IDC_FIND_KINDS, CB_GETCURSEL, 0, 0);
                f.eKinds = kind >= 0 && kind < 3 ? static_cast<FindKinds>(kind) : FindKinds::Both;
                ::EndDialog(dialog, IDOK);
                return TRUE;
            }
            if (LOWORD(wParam) == IDCANCEL) {
                ::EndDialog(dialog, IDCANCEL);
                return TRUE;
            }
            return FALSE;
    }
    return FALSE;
}

}  // namespace

bool AskFindFields(HWND owner, FindFields& fields, const std::vector<std::string>& history) {
    // Each label comes before its box: a screen reader names the box by it.
    constexpr short kLabelX = 7, kLabelW = 58, kBoxX = 68, kBoxW = 145;
    CTemplate t(L"Find", 220, 112);
    const DWORD label = SS_LEFT | SS_NOPREFIX;
    const DWORD edit = ES_LEFT | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP;
    t.Control(kStatic, L"Name:", -1, label, kLabelX, 9, kLabelW, 8);
    t.Control(kComboBox, L"", IDC_FIND_NAME,
              CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP, kBoxX, 7, kBoxW, 80);
    t.Control(kStatic, L"At least:", -1, label, kLabelX, 26, kLabelW, 8);
    t.Control(kEdit, L"", IDC_FIND_MIN_SIZE, edit, kBoxX, 24, kBoxW, 13);
    t.Control(kStatic, L"Modified after:", -1, label, kLabelX, 43, kLabelW, 8);
    t.Control(kEdit, L"", IDC_FIND_AFTER, edit, kBoxX, 41, kBoxW, 13);
    t.Control(kStatic, L"Modified before:", -1, label, kLabelX, 60, kLabelW, 8);
    t.Control(kEdit, L"", IDC_FIND_BEFORE, edit, kBoxX, 58, kBoxW, 13);
    t.Control(kStatic, L"Find:", -1, label, kLabelX, 77, kLabelW, 8);
    t.Control(kComboBox, L"", IDC_FIND_KINDS, CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, kBoxX, 75,
              kBoxW, 60);
    t.Control(kButton, L"Find", IDOK, BS_DEFPUSHBUTTON | WS_TABSTOP, 109, 93, 50, 14);
    t.Control(kButton, L"Cancel", IDCANCEL, BS_PUSHBUTTON | WS_TABSTOP, 163, 93, 50, 14);
    FindFields typed = fields;
    Exchange exchange{&typed, &history};
    const INT_PTR result =
        ::DialogBoxIndirectParamW(::GetModuleHandleW(nullptr), t.Get(), owner, &FindProc,
                                  reinterpret_cast<LPARAM>(&exchange));
    if (result != IDOK) return false;
    fields = std::move(typed);
    return true;
}

}  // namespace sizewalk

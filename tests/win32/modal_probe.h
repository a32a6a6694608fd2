#pragma once
// Runs a probe on the main dialog from a timer inside its own modal loop, so
// that a test can look at the dialog and drive it as it runs; afterwards
// Cancel is posted, which the dialog must still take. Pump() lets the dialog
// handle what is pending as its modal loop would (message filter, dialog
// keys), for probes that wait on it.

#include <windows.h>

#include <chrono>
#include <functional>
#include <utility>

#include "ui/win32/main_dialog.h"

namespace sizewalk::test {

class ModalProbe {
public:
    using Probe = std::function<void(CSizewalkDlg& dlg, HWND hwnd)>;
    static INT_PTR Run(CSizewalkDlg& dlg, Probe probe) {
        s_dlg = &dlg;
        s_probe = std::move(probe);
        const UINT_PTR timer = ::SetTimer(nullptr, 0, 50, &ModalProbe::OnTimer);
        const INT_PTR result = dlg.DoModal();
        ::KillTimer(nullptr, timer);
        s_probe = nullptr;
        return result;
    }

private:
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD) {
        HWND hwnd = s_dlg->GetSafeHwnd();
        if (!hwnd || !s_probe || !::IsWindowVisible(hwnd)) return;
        const Probe probe = std::exchange(s_probe, nullptr);
        probe(*s_dlg, hwnd);
        if (::IsWindow(hwnd)) ::PostMessageA(hwnd, WM_COMMAND, IDCANCEL, 0);
    }
    static inline CSizewalkDlg* s_dlg = nullptr;
    static inline Probe s_probe;
};

// Handles messages as the dialog's modal loop does until `done()` holds;
// false if it did not within `timeout`.
template <typename Done>
bool Pump(HWND dialog, Done&& done, std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        MSG msg;
        if (!::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
            continue;
        }
        if (::CallMsgFilterW(&msg, MSGF_DIALOGBOX)) continue;
        if (::IsWindow(dialog) && ::IsDialogMessageW(dialog, &msg)) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return true;
}

}  // namespace sizewalk::test

// What the Create page shows while Create E-Book builds: the build runs on
// the window's own thread, so the page lets the windows repaint between
// files and, after a second, shows how far the build has come.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <climits>
#include <string>

#include "gui/win32/Win32Views.h"
#include "platform/Wide.h"

namespace folivex {

namespace {

constexpr uint64_t kShowAfterMs = 1000;
constexpr uint64_t kRepaintEveryMs = 50;
constexpr int kProgressBarId = 100;
constexpr int kCountId = 101;

// Paint messages only: a click would reach a wizard in the middle of its
// build, so input stays queued until the build has ended.
void RepaintWaitingWindows() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE | PM_QS_PAINT))
        DispatchMessageW(&message);
}

}  // namespace

Win32CreatePage::~Win32CreatePage() {
    BuildEnded();
}

void Win32CreatePage::BuildStarted() {
    m_startMs = GetTickCount64();
    m_lastRepaintMs = 0;
}

void Win32CreatePage::OpenProgressWindow() {
    HWND sheet = GetParent(Window());
    RECT owner{};
    GetWindowRect(sheet, &owner);
    const int width = 280, height = 100;
    HWND window = CreateWindowExW(WS_EX_DLGMODALFRAME, WC_DIALOG, L"Creating the e-book",
                                  WS_POPUP | WS_CAPTION, (owner.left + owner.right - width) / 2,
                                  (owner.top + owner.bottom - height) / 2, width, height, sheet,
                                  nullptr, GetModuleHandleW(nullptr), nullptr);
    if (window == nullptr) return;
    const auto font = SendMessageW(sheet, WM_GETFONT, 0, 0);
    HWND count =
        CreateWindowExW(0, WC_STATICW, L"", WS_CHILD | WS_VISIBLE | SS_CENTER, 10, 10, width - 26,
                        20, window, reinterpret_cast<HMENU>(kCountId), nullptr, nullptr);
    HWND bar =
        CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE, 10, 36, width - 26, 16,
                        window, reinterpret_cast<HMENU>(kProgressBarId), nullptr, nullptr);
    for (HWND control : {count, bar}) SendMessageW(control, WM_SETFONT, font, FALSE);
    ShowWindow(window, SW_SHOWNOACTIVATE);
    m_progress = window;
}

void Win32CreatePage::ShowBuildProgress(const BuildProgress& progress) {
    const uint64_t now = GetTickCount64() - m_startMs;
    if (m_lastRepaintMs != 0 && now - m_lastRepaintMs < kRepaintEveryMs) return;
    m_lastRepaintMs = now == 0 ? 1 : now;
    if (m_progress == nullptr && now >= kShowAfterMs) OpenProgressWindow();
    if (m_progress != nullptr) {
        const auto total = static_cast<WPARAM>(std::min<size_t>(progress.filesTotal, INT_MAX));
        const auto done = static_cast<WPARAM>(std::min<size_t>(progress.filesDone, INT_MAX));
        SendDlgItemMessageW(m_progress, kProgressBarId, PBM_SETRANGE32, 0,
                            static_cast<LPARAM>(total));
        SendDlgItemMessageW(m_progress, kProgressBarId, PBM_SETPOS, done, 0);
        const std::string text =
            std::to_string(progress.filesDone) + " of " + std::to_string(total) + " files";
        SetDlgItemTextW(m_progress, kCountId, Widen(text).c_str());
    }
    RepaintWaitingWindows();
}

void Win32CreatePage::BuildEnded() {
    if (m_progress != nullptr) DestroyWindow(m_progress);
    m_progress = nullptr;
}

}  // namespace folivex

// The main wizard as a property sheet in wizard mode. The sheet's window is
// subclassed once it exists, for the system menu's About item, Escape and
// the close box; each page's dialog procedure hands its messages to its
// Win32Page.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <array>

#include "gui/win32/BookSheet.h"
#include "gui/win32/ResourceIds.h"
#include "platform/Wide.h"
#include "wizard/ControlIds.h"

namespace folivex {

namespace {

// Posted by the sheet to itself once it stands with its first page: the
// controller starts the wizard then.
constexpr UINT kStartWizard = WM_APP + 2;

// The sheet being made: PropertySheetW's callback carries no data of its
// own. One wizard is made at a time, on the one user-interface thread.
BookSheet* g_opening = nullptr;

INT_PTR CALLBACK PageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        const auto* sheetPage = reinterpret_cast<const PROPSHEETPAGEW*>(lParam);
        SetWindowLongPtrW(window, DWLP_USER, sheetPage->lParam);
        auto* page = reinterpret_cast<Win32Page*>(sheetPage->lParam);
        page->Dialog().SetWindow(window);
        return TRUE;
    }
    auto* page = reinterpret_cast<Win32Page*>(GetWindowLongPtrW(window, DWLP_USER));
    intptr_t result = 0;
    if (page == nullptr || !page->OnMessage(message, wParam, lParam, result)) return FALSE;
    if (message == WM_NOTIFY) SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
    return TRUE;
}

LRESULT CALLBACK SheetProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* sheet = reinterpret_cast<BookSheet*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    intptr_t result = 0;
    if (sheet->OnSheetMessage(message, wParam, lParam, result)) return result;
    return CallWindowProcW(reinterpret_cast<WNDPROC>(sheet->baseProcedure), window, message, wParam,
                           lParam);
}

int CALLBACK SheetCallback(HWND window, UINT message, LPARAM) {
    if (message == PSCB_INITIALIZED && g_opening != nullptr) g_opening->OnCreated(window);
    return 0;
}

HICON ProgramIcon() {
    return LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDC_ABOUT_ICON));
}

}  // namespace

BookSheet::BookSheet(SheetController& controller)
    : m_controller(controller),
      m_content(*this, IDD_CONTENT_PAGE),
      m_interface(*this, controller.Interface(), IDD_INTERFACE_PAGE),
      m_create(*this, controller.Create(), IDD_CREATE_PAGE) {
    controller.Attach(*this);
    controller.Interface().Attach(m_interface);
    controller.Create().Attach(m_create);
}

BookSheet::~BookSheet() = default;

Win32Page& BookSheet::Page(int index) {
    switch (index) {
        case SheetController::kContentPage: return m_content;
        case SheetController::kInterfacePage: return m_interface;
        default: return m_create;
    }
}

intptr_t BookSheet::Create(bool modeless) {
    std::array<PROPSHEETPAGEW, SheetController::kPageCount> pages{};
    for (int i = 0; i < SheetController::kPageCount; ++i) {
        PROPSHEETPAGEW& page = pages[static_cast<size_t>(i)];
        page.dwSize = sizeof(page);
        page.dwFlags = PSP_HASHELP;
        page.hInstance = GetModuleHandleW(nullptr);
        page.pszTemplate = MAKEINTRESOURCEW(Page(i).TemplateId());
        page.pfnDlgProc = PageProc;
        page.lParam = reinterpret_cast<LPARAM>(&Page(i));
    }
    PROPSHEETHEADERW header{};
    header.dwSize = sizeof(header);
    header.dwFlags = PSH_WIZARD | PSH_HASHELP | PSH_PROPSHEETPAGE | PSH_USECALLBACK |
                     (modeless ? PSH_MODELESS : 0);
    header.hInstance = GetModuleHandleW(nullptr);
    header.nPages = static_cast<UINT>(pages.size());
    header.ppsp = pages.data();
    header.pfnCallback = SheetCallback;
    g_opening = this;
    const intptr_t result = PropertySheetW(&header);
    g_opening = nullptr;
    return result;
}

void BookSheet::RunModal() {
    Create(false);  // its result is not looked at
    m_window = nullptr;
}

WindowHandle BookSheet::OpenModeless() {
    const intptr_t window = Create(true);
    return window > 0 ? reinterpret_cast<HWND>(window) : nullptr;
}

void BookSheet::OnCreated(WindowHandle window) {
    m_window = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    baseProcedure = SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SheetProc));

    // The About item below a separator at the end of the system menu.
    if (HMENU menu = GetSystemMenu(window, FALSE)) {
        wchar_t text[64] = {};
        if (LoadStringW(GetModuleHandleW(nullptr), IDS_ABOUTBOX, text, 64) > 0) {
            AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
            AppendMenuW(menu, MF_STRING, IDM_ABOUTBOX, text);
        }
    }
    HICON icon = ProgramIcon();
    SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    PostMessageW(window, kStartWizard, 0, 0);
}

bool BookSheet::OnSheetMessage(unsigned message, uintptr_t wParam, intptr_t, intptr_t& result) {
    result = 0;
    switch (message) {
        case kStartWizard: m_controller.Start(); return true;
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) == IDM_ABOUTBOX) {
                m_controller.OnAbout();
                return true;
            }
            if ((wParam & 0xFFF0) == SC_CLOSE) m_closeBox = true;
            return false;
        case WM_CLOSE: m_closeBox = true; return false;
        case WM_COMMAND:
            // Escape reaches the sheet as its Cancel command; the wizard
            // does not close on it.
            if (LOWORD(wParam) == IDCANCEL && (GetKeyState(VK_ESCAPE) & 0x8000) != 0) {
                m_controller.OnCloseRequest(CloseRequest::EscapeKey);
                return true;
            }
            return false;
        case WM_HELP:
            m_controller.OnHelp();
            result = TRUE;
            return true;
        case WM_PAINT:
            if (!IsIconic(m_window)) return false;
            PaintMinimised();
            return true;
        case WM_QUERYDRAGICON: result = reinterpret_cast<intptr_t>(ProgramIcon()); return true;
        case WM_NCDESTROY:
            SetWindowLongPtrW(m_window, GWLP_WNDPROC, baseProcedure);
            m_window = nullptr;
            return false;
        default: return false;
    }
}

void BookSheet::PaintMinimised() {
    // Where the system still draws minimised windows themselves: the
    // program icon in the middle of the window.
    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(m_window, &paint);
    SendMessageW(m_window, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client{};
    GetClientRect(m_window, &client);
    const int x = (client.right - GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(dc, x, y, ProgramIcon());
    EndPaint(m_window, &paint);
}

bool BookSheet::QueryCancel() {
    if (!m_ended)
        m_controller.OnCloseRequest(m_closeBox ? CloseRequest::CloseBox
                                               : CloseRequest::CancelButton);
    m_closeBox = false;
    return m_ended;
}

void BookSheet::ShowPage(int index, const std::string& caption) {
    // The page's window is made the first time it is shown; the controller
    // fills it right after this.
    HWND current = PropSheet_GetCurrentPageHwnd(m_window);
    HWND target = Page(index).Dialog().Window();
    if (target == nullptr || target != current)
        SendMessageW(m_window, PSM_SETCURSEL, static_cast<WPARAM>(index), 0);
    SetWindowTextW(m_window, Widen(caption).c_str());
}

void BookSheet::SetWizardButtons(uint32_t buttons) {
    PostMessageW(m_window, PSM_SETWIZBUTTONS, 0, static_cast<LPARAM>(buttons));
}

void BookSheet::ShowAboutBox() {
    RunAboutBox(m_window, m_controller);
}

void BookSheet::EndWizard() {
    // The sheet closes itself once its pages have answered Cancel.
    m_ended = true;
}

}  // namespace folivex

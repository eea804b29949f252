// BookSheet: the main wizard as a Win32 property sheet in wizard mode
// (PSH_WIZARD) with the three pages of folivex.rc.in, over SheetController.
//
// The controller decides every page change: Next and Back on a page go to
// it, and it shows the page it chose (PSM_SETCURSEL) before the page fills
// its controls; the sheet's own move is always refused. Cancel, the close
// box and the system menu's Close ask the controller to close, which copies
// and saves first; Escape never closes. The About item is appended to the
// system menu; the Help button and F1 ask for help. Minimised, the window
// shows the program icon.
#pragma once

#include <cstdint>
#include <string>

#include "gui/win32/Win32Views.h"
#include "wizard/SheetController.h"

namespace folivex {

class BookSheet : public SheetView {
public:
    explicit BookSheet(SheetController& controller);
    ~BookSheet() override;
    BookSheet(const BookSheet&) = delete;
    BookSheet& operator=(const BookSheet&) = delete;

    // Shows the wizard and returns when it has closed.
    void RunModal();
    // Opens the wizard without waiting: the caller's message loop runs it
    // (passing messages through PSM_ISDIALOGMESSAGE) until Ended(), then
    // destroys Window(). Null when it could not be made.
    WindowHandle OpenModeless();

    WindowHandle Window() const { return m_window; }
    bool Ended() const { return m_ended; }
    SheetController& Controller() { return m_controller; }
    Win32Page& Page(int index);

    // SheetView.
    void ShowPage(int index, const std::string& caption) override;
    void SetWizardButtons(uint32_t buttons) override;
    void ShowAboutBox() override;
    void EndWizard() override;

    // Cancel pressed (or the close box): true when the wizard may close.
    bool QueryCancel();
    // The sheet's window procedure's work, before the platform's own: true
    // when the message is taken, with its answer in result.
    bool OnSheetMessage(unsigned message, uintptr_t wParam, intptr_t lParam, intptr_t& result);
    // The sheet's window exists (its pages may not yet).
    void OnCreated(WindowHandle window);
    // The platform's window procedure of the sheet, which the sheet's own
    // passes on to.
    intptr_t baseProcedure = 0;

private:
    intptr_t Create(bool modeless);
    void PaintMinimised();

    SheetController& m_controller;
    Win32ContentPage m_content;
    Win32ControlPage m_interface;
    Win32CreatePage m_create;
    WindowHandle m_window = nullptr;
    bool m_ended = false;
    bool m_closeBox = false;
};

}  // namespace folivex

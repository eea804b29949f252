// The Win32 views of the wizard: each page and dialog is a window made from
// its dialog template (folivex.rc.in) that draws what its controller says
// and forwards each control's event to it, by the control's id.
//
// No windows.h here: windows are held as HWND__* (what HWND is), and the
// window procedures live in the *_win32.cpp files.
#pragma once

#include <cstdint>
#include <string>

#include "wizard/Views.h"

struct HWND__;

namespace folivex {

class BookSheet;
class FilePropertiesController;
class PageController;
class SheetController;

using WindowHandle = HWND__*;

// The controls of a dialog window, by id. Texts are UTF-8 here and wide in
// the window.
class DialogWindow {
public:
    WindowHandle Window() const { return m_window; }
    void SetWindow(WindowHandle window) { m_window = window; }

    void SetItemText(int id, const std::string& text);
    std::string ItemText(int id) const;
    void SetItemCheck(int id, bool checked);
    bool ItemCheck(int id) const;
    void EnableItem(int id, bool enabled);

private:
    WindowHandle m_window = nullptr;
};

// A view interface (wizard/Views.h) whose controls are those of a dialog
// window.
template <typename View>
class DialogView : public View, public DialogWindow {
public:
    void SetText(int id, const std::string& text) override { SetItemText(id, text); }
    std::string GetText(int id) const override { return ItemText(id); }
    void SetCheck(int id, bool checked) override { SetItemCheck(id, checked); }
    bool GetCheck(int id) const override { return ItemCheck(id); }
    void Enable(int id, bool enabled) override { EnableItem(id, enabled); }
};

// One page of the wizard: its template, its controller, and the sheet that
// its wizard notifications (Next, Back, Cancel, Help) go to.
class Win32Page {
public:
    Win32Page(BookSheet& sheet, PageController& controller, int templateId)
        : m_sheet(sheet), m_controller(controller), m_templateId(templateId) {}
    virtual ~Win32Page() = default;
    Win32Page(const Win32Page&) = delete;
    Win32Page& operator=(const Win32Page&) = delete;

    int TemplateId() const { return m_templateId; }
    virtual DialogWindow& Dialog() = 0;
    // A message to the page's window: true when the page took it, with the
    // answer in result.
    virtual bool OnMessage(unsigned message, uintptr_t wParam, intptr_t lParam, intptr_t& result);

protected:
    BookSheet& m_sheet;
    PageController& m_controller;

private:
    int m_templateId;
};

// The Interface and Create pages: buttons, check boxes, edits and statics.
class Win32ControlPage : public DialogView<ControlView>, public Win32Page {
public:
    using Win32Page::Win32Page;
    DialogWindow& Dialog() override { return *this; }
};

// The Create page: the controls of Win32ControlPage, and while Create
// E-Book builds, the sheet repaints; once the build has lasted a second, a
// small window says how many files of how many are in. Input waits until
// the build has ended.
class Win32CreatePage : public DialogView<CreateView>, public Win32Page {
public:
    using Win32Page::Win32Page;
    ~Win32CreatePage() override;
    DialogWindow& Dialog() override { return *this; }

    void BuildStarted() override;
    void ShowBuildProgress(const BuildProgress& progress) override;
    void BuildEnded() override;

private:
    void OpenProgressWindow();

    uint64_t m_startMs = 0;
    uint64_t m_lastRepaintMs = 0;
    WindowHandle m_progress = nullptr;  // the small window, once shown
};

// The Content page: its buttons and the file list, a report-view list
// control in which several rows can be selected.
class Win32ContentPage : public DialogView<ContentView>, public Win32Page {
public:
    Win32ContentPage(BookSheet& sheet, int templateId);
    DialogWindow& Dialog() override { return *this; }
    bool OnMessage(unsigned message, uintptr_t wParam, intptr_t lParam, intptr_t& result) override;

    void CreateColumns(const std::vector<ListColumn>& columns) override;
    void FillList(const std::vector<ListRow>& rows) override;
    void SetRows(const std::vector<std::pair<size_t, ListRow>>& rows) override;
    std::vector<char> SelectedRows() const override;
    void SetSelection(const std::vector<char>& selected, std::optional<size_t> focus) override;
    bool RunFilePropertiesDialog(FilePropertiesController& dialog) override;

private:
    WindowHandle List() const;
    void SetCells(size_t row, const ListRow& cells);

    // Changes made through this view are not reported back to the
    // controller; the list's notifications are ignored meanwhile.
    int m_quiet = 0;
    // A selection change already waits to be told to the controller.
    bool m_selectionChangePending = false;
};

// Runs the File Properties dialog modally over owner: true on OK.
bool RunFilePropertiesDialog(WindowHandle owner, FilePropertiesController& dialog);

// Shows the About box modally over owner; F1 in it asks sheet for help.
void RunAboutBox(WindowHandle owner, SheetController& sheet);

}  // namespace folivex

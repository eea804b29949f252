// PageController: what the sheet (wizard/SheetController.h) asks of each
// page's controller, the way a property sheet notifies its pages.
//
// A page keeps no project data of its own: it reads and writes the one
// project of the application object.
#pragma once

namespace folivex {

class PageController {
public:
    virtual ~PageController() = default;

    // The page has become the current page: it shows the project's values.
    virtual void OnSetActive() = 0;
    // Copy: the page's controls into the project. Run when the page is left
    // by Back or Next, before the commands that need the current values, and
    // on the page on screen when the wizard closes.
    virtual void CopyValues() {}
    // Next pressed on this page, after the copy. False: stay on the page.
    virtual bool OnWizardNext() { return true; }
    // The wizard is closing; only pages shown at least once are told, after
    // the page on screen has copied its values.
    virtual void OnReset() {}
    // A control of the page was clicked. False when id is none of its
    // commands.
    virtual bool OnCommand(int id) = 0;
};

}  // namespace folivex

// Object names of the program's controls.
//
// Every control that a user can reach carries the object name
//     <type><control id>
// where type is one of "button" (push button), "check" (check box), "edit"
// (single- or multi-line edit), "static" (a static text that shows a value),
// "label" (a caption in front of a control), "group" (a group box) or "list"
// (the file list), and the id is the control's number (wizard/ControlIds.h):
// "button1001" is "New &Project...", "list1007" the file list, "check1046"
// "Make &Home Page", "edit1035" the title, "static1042" the e-book file name.
// Labels without an id of their own take the id of the control they name
// ("label1035" stands before "edit1035").
//
// The wizard's own buttons use the ids the platform's wizard gives them: Back
// 12323, Next 12324, Cancel 2, Help 9; the About button ("About Foli&vex...")
// takes the system-menu command id 16. OK and Cancel of a dialog are 1 and 2.
#pragma once

#include <QString>

#include "wizard/ControlIds.h"

namespace folivex {

inline QString ControlName(const char* type, int id) {
    return QString::fromLatin1(type) + QString::number(id);
}

}  // namespace folivex

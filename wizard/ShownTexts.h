// The texts a page shows of the project's fields, and the rule by which they
// go back: a field the author has not edited keeps its bytes.
//
// Texts of projects made on Windows may be 8-bit text of the ANSI code page
// rather than UTF-8; they are shown decoded as Windows-1252, and writing the
// shown text back would turn them into UTF-8. A control may also change a
// text it is given (an edit turns a no-break space into a plain one). So a
// control's text counts as edited only when it differs from what the control
// gave back right after it was shown.
#pragma once

#include <map>
#include <string>

#include "wizard/Views.h"

namespace folivex {

class ShownTexts {
public:
    // Shows field in control id (as UTF-8, decoded as Windows-1252 when it is
    // not valid UTF-8) and remembers what the control gives back.
    void Show(ControlView& view, int id, const std::string& field);

    // field = the control's text, unless it is the text remembered by Show:
    // then field keeps its bytes. An edited text is stored as UTF-8.
    void Copy(const ControlView& view, int id, std::string& field) const;

private:
    std::map<int, std::string> m_shown;
};

}  // namespace folivex

// The program icon (the 32 x 32 and 16 x 16 16-colour images of
// resources/icons), for the wizard's title bar, the About box and the task
// bar.
#pragma once

#include <QIcon>

namespace folivex {

QIcon ProgramIcon();

}  // namespace folivex

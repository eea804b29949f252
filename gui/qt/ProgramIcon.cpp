#include "gui/qt/ProgramIcon.h"

// The icons live in a static library; Q_INIT_RESOURCE registers them even when
// the linker has dropped the resource's own static initialiser. It must be
// called outside any namespace.
static void InitProgramIconResources() {
    Q_INIT_RESOURCE(folivex_icons);
}

namespace folivex {

QIcon ProgramIcon() {
    InitProgramIconResources();
    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/folivex-16.png"), QSize(16, 16));
    icon.addFile(QStringLiteral(":/icons/folivex-32.png"), QSize(32, 32));
    return icon;
}

}  // namespace folivex

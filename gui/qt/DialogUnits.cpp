#include "gui/qt/DialogUnits.h"

#include <QString>

namespace folivex {

DialogUnits::DialogUnits(const QWidget& widget) {
    const QFontMetrics metrics(widget.font());
    // The average width of the 52 Latin letters, as the platform this layout
    // comes from measures its dialog base unit.
    static const QString letters =
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const int width = metrics.horizontalAdvance(letters);
    m_baseX = (width / 26 + 1) / 2;
    m_baseY = metrics.height();
    if (m_baseX < 1) m_baseX = 1;
    if (m_baseY < 1) m_baseY = 1;
}

}  // namespace folivex

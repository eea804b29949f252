// Dialog units: the layout measure of the program's dialogs and pages.
//
// One horizontal unit is a quarter of the average character width of the
// dialog font and one vertical unit an eighth of its height, so a layout
// given in dialog units keeps its proportions whatever font and scaling the
// desktop uses.
#pragma once

#include <QFontMetrics>
#include <QRect>
#include <QSize>
#include <QWidget>

namespace folivex {

class DialogUnits {
public:
    explicit DialogUnits(const QWidget& widget);

    int X(int units) const { return (units * m_baseX + 2) / 4; }
    int Y(int units) const { return (units * m_baseY + 4) / 8; }
    QRect Rect(int x, int y, int w, int h) const { return QRect(X(x), Y(y), X(w), Y(h)); }
    QSize Size(int w, int h) const { return QSize(X(w), Y(h)); }

    // Places child at the given rectangle (dialog units).
    void Place(QWidget* child, int x, int y, int w, int h) const {
        child->setGeometry(Rect(x, y, w, h));
    }

private:
    int m_baseX;
    int m_baseY;
};

}  // namespace folivex

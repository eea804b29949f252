#include "gui/qt/QtControls.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QTextEdit>

#include "gui/qt/QtText.h"

namespace folivex {

void SetControlText(QWidget* control, const std::string& text) {
    const QString shown = ToQString(text);
    if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        edit->setText(shown);
        edit->setCursorPosition(0);
    } else if (auto* multi = qobject_cast<QTextEdit*>(control)) {
        QString lines = shown;
        multi->setPlainText(lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    } else if (auto* label = qobject_cast<QLabel*>(control)) {
        label->setText(shown);
    } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        button->setText(shown);
    }
}

std::string ControlText(const QWidget* control) {
    if (auto* edit = qobject_cast<const QLineEdit*>(control)) return FromQString(edit->text());
    if (auto* multi = qobject_cast<const QTextEdit*>(control)) {
        QString lines = multi->toPlainText();
        lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        return FromQString(lines.replace(QLatin1Char('\n'), QStringLiteral("\r\n")));
    }
    if (auto* label = qobject_cast<const QLabel*>(control)) return FromQString(label->text());
    if (auto* button = qobject_cast<const QAbstractButton*>(control))
        return FromQString(button->text());
    return {};
}

void SetControlCheck(QWidget* control, bool checked) {
    if (auto* button = qobject_cast<QAbstractButton*>(control)) button->setChecked(checked);
}

bool ControlCheck(const QWidget* control) {
    auto* button = qobject_cast<const QAbstractButton*>(control);
    return button != nullptr && button->isChecked();
}

}  // namespace folivex

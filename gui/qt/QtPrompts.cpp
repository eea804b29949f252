#include "gui/qt/QtPrompts.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include "gui/qt/QtText.h"

namespace folivex {

QString ProgramBaseName() {
    QString path = QCoreApplication::applicationFilePath();
    if (path.isEmpty() && !QCoreApplication::arguments().isEmpty())
        path = QCoreApplication::arguments().front();
    return QFileInfo(path).completeBaseName();
}

QStringList ConvertFilter(const std::string& filter) {
    const QStringList parts = ToQString(filter).split(QLatin1Char('|'));
    QStringList result;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i];
        const QString& patterns = parts[i + 1];
        if (description.isEmpty() && patterns.isEmpty()) break;  // the closing "||"
        QStringList qtPatterns;
        for (const QString& p : patterns.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            const QString trimmed = p.trimmed();
            qtPatterns << (trimmed == QLatin1String("*.*") ? QStringLiteral("*") : trimmed);
        }
        // Qt reads the patterns from the last parenthesised group of a filter;
        // the description's own "(*.x)" is replaced by the patterns in force.
        const qsizetype open = description.lastIndexOf(QLatin1Char('('));
        if (open > 0 && description.endsWith(QLatin1Char(')')))
            description = description.left(open).trimmed();
        result << description + QStringLiteral(" (") + qtPatterns.join(QLatin1Char(' ')) +
                      QLatin1Char(')');
    }
    return result;
}

namespace {

QWidget* Owner() {
    return QApplication::activeWindow();
}

}  // namespace

MsgResult QtPrompts::ShowMessage(const std::string& text, MsgButtons buttons, MsgIcon icon) {
    return ShowBox(text, {}, buttons, icon);
}

MsgResult QtPrompts::ShowMessageWithDetails(const std::string& text, const std::string& details,
                                            MsgIcon icon) {
    return ShowBox(text, details, MsgButtons::OK, icon);
}

MsgResult QtPrompts::ShowBox(const std::string& text, const std::string& details,
                             MsgButtons buttons, MsgIcon icon) {
    QMessageBox box(Owner());
    box.setWindowTitle(ProgramBaseName());
    box.setText(ToQString(text));
    box.setTextFormat(Qt::PlainText);
    // Qt's "Show Details..." button opens it below the text.
    if (!details.empty()) box.setDetailedText(ToQString(details));
    switch (icon) {
        case MsgIcon::Exclamation: box.setIcon(QMessageBox::Warning); break;
        case MsgIcon::Stop: box.setIcon(QMessageBox::Critical); break;
        case MsgIcon::Question: box.setIcon(QMessageBox::Question); break;
        case MsgIcon::Information: box.setIcon(QMessageBox::Information); break;
    }
    switch (buttons) {
        case MsgButtons::OK: box.setStandardButtons(QMessageBox::Ok); break;
        case MsgButtons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
        case MsgButtons::YesNoCancel:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            break;
    }
    switch (box.exec()) {
        case QMessageBox::Yes: return MsgResult::Yes;
        case QMessageBox::No: return MsgResult::No;
        case QMessageBox::Cancel: return MsgResult::Cancel;
        default: break;
    }
    // An OK box closed by Escape still answers OK; a question box closed by
    // its close button answers Cancel (or No when there is no Cancel).
    if (buttons == MsgButtons::YesNoCancel) return MsgResult::Cancel;
    if (buttons == MsgButtons::YesNo) return MsgResult::No;
    return MsgResult::OK;
}

std::optional<std::string> QtPrompts::PickFile(const FileDialogRequest& request) {
    QFileDialog dialog(Owner(), ProgramBaseName());
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode((request.flags & OFN_FILEMUSTEXIST) != 0 ? QFileDialog::ExistingFile
                                                                : QFileDialog::AnyFile);
    if ((request.flags & OFN_OVERWRITEPROMPT) == 0)
        dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.setDefaultSuffix(ToQString(request.defaultExt));
    dialog.setNameFilters(ConvertFilter(request.filter));

    // The initial name is either a file (a path or a bare name in the current
    // folder) or a wildcard such as "*.bmp", which only says what to list.
    const QString initial = ToQString(request.initialName);
    if (initial.contains(QLatin1Char('*')) || initial.contains(QLatin1Char('?'))) {
        dialog.setDirectory(QDir::current());
    } else if (!initial.isEmpty()) {
        const QFileInfo info(QDir::current(), initial);
        dialog.setDirectory(info.absolutePath());
        dialog.selectFile(info.fileName());
    } else {
        dialog.setDirectory(QDir::current());
    }

    // Qt's own picker takes any name in save mode, also one in a folder that
    // does not exist; the request's rule is kept here, asking again.
    const bool pathMustExist = (request.flags & OFN_PATHMUSTEXIST) != 0;
    while (dialog.exec() == QDialog::Accepted) {
        const QStringList files = dialog.selectedFiles();
        if (files.isEmpty()) return std::nullopt;
        const QFileInfo chosen(files.front());
        const QFileInfo folder(chosen.absolutePath());
        if (pathMustExist && !folder.isDir()) {
            ShowMessage("The folder " + FromQString(QDir::toNativeSeparators(folder.filePath())) +
                            " does not exist.\nChoose a file in a folder that exists.",
                        MsgButtons::OK, MsgIcon::Exclamation);
            continue;
        }
        return FromQString(QDir::toNativeSeparators(chosen.absoluteFilePath()));
    }
    return std::nullopt;
}

std::optional<std::string> QtPrompts::PickFolder(const FolderDialogRequest& request) {
    const QString folder = QFileDialog::getExistingDirectory(Owner(), ToQString(request.title),
                                                             ToQString(request.initialFolder),
                                                             QFileDialog::ShowDirsOnly);
    if (folder.isEmpty()) return std::nullopt;
    const QFileInfo info(folder);
    if (!info.isDir()) {
        ShowMessage("Invalid folder has been selected. Try Again", MsgButtons::OK,
                    MsgIcon::Exclamation);
        return std::nullopt;
    }
    return FromQString(QDir::toNativeSeparators(info.absoluteFilePath()));
}

void QtPrompts::SetWaitCursor(bool on) {
    if (on)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

}  // namespace folivex

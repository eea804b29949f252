#include "gui/qt/QtProgramLauncher.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <cerrno>
#include <system_error>

#include "format/ArchiveIndex.h"
#include "gui/qt/QtText.h"

namespace folivex {

namespace {

std::string SystemText(int error) {
    return std::generic_category().message(error);
}

}  // namespace

QString FindBookViewer() {
#ifdef Q_OS_WIN
    const QString name = QStringLiteral("folivex-view.exe");
#else
    const QString name = QStringLiteral("folivex-view");
#endif
    const QFileInfo beside(QDir(QCoreApplication::applicationDirPath()), name);
    if (beside.isFile() && beside.isExecutable()) return beside.absoluteFilePath();
    return QStandardPaths::findExecutable(QStringLiteral("folivex-view"));
}

bool LooksLikeEBook(const QString& path) {
    return EndsWithArchiveTrailer(QFile::encodeName(path).toStdString());
}

bool QtProgramLauncher::IsFile(const std::string& path) const {
    return QFileInfo(ToQString(path)).isFile();
}

std::optional<std::string> QtProgramLauncher::Start(const std::string& path) {
    const QFileInfo info(QDir::current(), ToQString(path));
    if (!info.exists()) return SystemText(ENOENT);
    if (info.isDir()) return SystemText(EISDIR);
    const QString full = info.absoluteFilePath();

    QProcess process;
#ifdef Q_OS_WIN
    process.setProgram(full);
#else
    if (LooksLikeEBook(full)) {
        const QString viewer = FindBookViewer();
        if (viewer.isEmpty()) return "folivex-view: " + SystemText(ENOENT);
        process.setProgram(viewer);
        process.setArguments({full});
    } else {
        if (!info.isExecutable()) return SystemText(EACCES);
        process.setProgram(full);
    }
#endif
    process.setWorkingDirectory(QDir::currentPath());
    if (!process.startDetached()) return FromQString(process.errorString());
    return std::nullopt;
}

}  // namespace folivex

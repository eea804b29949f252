#include "gui/qt/BuildProgressWindow.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QProgressDialog>
#include <QWidget>
#include <climits>
#include <memory>

namespace folivex {

CBuildProgressWindow::CBuildProgressWindow(QWidget* owner, Clock clock)
    : m_owner(owner), m_clock(std::move(clock)) {
    if (!m_clock) {
        auto timer = std::make_shared<QElapsedTimer>();
        timer->start();
        m_clock = [timer] { return timer->elapsed(); };
    }
    QCoreApplication::instance()->installEventFilter(this);
}

CBuildProgressWindow::~CBuildProgressWindow() {
    QCoreApplication::instance()->removeEventFilter(this);
    delete m_window;
}

void CBuildProgressWindow::Update(const BuildProgress& progress) {
    const qint64 now = m_clock();
    if (now - m_lastRepaint < kRepaintEveryMs) return;
    m_lastRepaint = now;
    if (!m_window && now >= kShowAfterMs) {
        m_window = new QProgressDialog(m_owner);
        m_window->setObjectName(QStringLiteral("buildProgress"));
        m_window->setWindowTitle(QStringLiteral("Creating the e-book"));
        m_window->setCancelButton(nullptr);
        m_window->setMinimumDuration(0);
        m_window->setAutoClose(false);
        m_window->setAutoReset(false);
        m_window->show();
    }
    if (m_window) {
        const int total = static_cast<int>(std::min<size_t>(progress.filesTotal, INT_MAX));
        m_window->setRange(0, total);
        m_window->setValue(static_cast<int>(std::min<size_t>(progress.filesDone, INT_MAX)));
        m_window->setLabelText(QStringLiteral("%1 of %2 files").arg(progress.filesDone).arg(total));
    }
    // Paint events and the like only: a click would reach a wizard that is
    // in the middle of its build.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

bool CBuildProgressWindow::eventFilter(QObject* watched, QEvent* event) {
    // The wizard's own window only: a message box shown meanwhile still
    // closes.
    if (event->type() == QEvent::Close && m_owner && watched == m_owner) {
        event->ignore();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace folivex

// CBuildProgressWindow: what the wizard shows while Create E-Book builds.
//
// The build runs on the GUI thread (behind the wait cursor) and reports
// through its progress callback (builder/BuildProgress.h). This object lets
// the wizard repaint meanwhile, at most about twenty times a second, without
// taking any input; and once the build has lasted a second, it shows a
// small window, "Creating the e-book", that says how many files of how many
// are in. The window goes away with the object. Closing the wizard's window
// is refused while the build runs.
#pragma once

#include <QObject>
#include <QPointer>
#include <QProgressDialog>
#include <functional>

#include "builder/BuildProgress.h"

class QWidget;

namespace folivex {

class CBuildProgressWindow : public QObject {
    Q_OBJECT
public:
    // Milliseconds since the build started; a steady clock unless given.
    using Clock = std::function<qint64()>;
    static constexpr qint64 kShowAfterMs = 1000;
    static constexpr qint64 kRepaintEveryMs = 50;

    explicit CBuildProgressWindow(QWidget* owner, Clock clock = {});
    ~CBuildProgressWindow() override;

    void Update(const BuildProgress& progress);

    // The window, once shown (for tests).
    QProgressDialog* Window() const { return m_window; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* m_owner;
    Clock m_clock;
    QPointer<QProgressDialog> m_window;
    qint64 m_lastRepaint = -kRepaintEveryMs;
};

}  // namespace folivex

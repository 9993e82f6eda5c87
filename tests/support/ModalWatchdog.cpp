#include "ModalWatchdog.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>

namespace testsupport {

ModalWatchdog::ModalWatchdog(int timeoutMs, QObject *parent)
    : QObject(parent)
    , m_timeoutMs(timeoutMs)
{
    qApp->installEventFilter(this);
    m_timer.setInterval(50);
    connect(&m_timer, &QTimer::timeout, this, &ModalWatchdog::check);
    m_timer.start();
}

ModalWatchdog::~ModalWatchdog()
{
    if (qApp)
        qApp->removeEventFilter(this);
}

QList<QDialog *> ModalWatchdog::openDialogs() const
{
    QList<QDialog *> out;
    for (const Watched &w : m_watched) {
        if (w.dialog && !w.ended && w.dialog->isVisible())
            out << w.dialog.data();
    }
    return out;
}

bool ModalWatchdog::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Show) {
        QDialog *dialog = qobject_cast<QDialog *>(watched);
        if (dialog) {
            bool known = false;
            for (Watched &w : m_watched) {
                if (w.dialog == dialog) {
                    known = true;
                    if (w.ended) {
                        // Shown again: a new run.
                        w.ended = false;
                        w.shownFor.start();
                    }
                }
            }
            if (!known) {
                Watched w;
                w.dialog = dialog;
                w.shownFor.start();
                m_watched << w;
                const QString className = QString::fromLatin1(dialog->metaObject()->className());
                connect(dialog, &QDialog::finished, this, [this, dialog, className](int result) {
                    Ended e;
                    e.className = className;
                    e.result = result;
                    e.closedByWatchdog = (m_closing == className);
                    m_ended << e;
                    for (Watched &w : m_watched) {
                        if (w.dialog == dialog)
                            w.ended = true;
                    }
                    emit dialogEnded(className, result);
                });
            }
            emit dialogShown(dialog);
        }
    }
    return QObject::eventFilter(watched, event);
}

void ModalWatchdog::check()
{
    for (int i = 0; i < m_watched.size(); ++i) {
        Watched &w = m_watched[i];
        if (!w.dialog || w.ended || !w.dialog->isVisible())
            continue;
        if (w.shownFor.elapsed() < m_timeoutMs)
            continue;
        const QString className = QString::fromLatin1(w.dialog->metaObject()->className());
        m_fired << className;
        qWarning("ModalWatchdog: %s still open after %d ms; rejecting it", qPrintable(className),
                 m_timeoutMs);
        m_closing = className;
        QPointer<QDialog> dialog = w.dialog;
        dialog->reject();
        m_closing.clear();
        return; // the list may have changed
    }
}

} // namespace testsupport

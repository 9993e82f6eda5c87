#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>

class QDialog;

namespace testsupport {

// Watches every QDialog that the test shows. It records how each one ended
// (its class and result), and rejects any dialog still open after the
// timeout, so a test that leaves a modal loop running fails instead of
// hanging CI. Create it before the code under test opens its dialog.
class ModalWatchdog : public QObject
{
    Q_OBJECT

public:
    struct Ended
    {
        QString className;
        int result = -1; // QDialog::Accepted or QDialog::Rejected
        bool closedByWatchdog = false;
    };

    explicit ModalWatchdog(int timeoutMs = 10000, QObject *parent = nullptr);
    ~ModalWatchdog() override;

    // Dialogs the watchdog had to close; a passing test expects none.
    QStringList firedOn() const { return m_fired; }
    QList<Ended> ended() const { return m_ended; }
    // The dialogs shown so far that have not ended yet.
    QList<QDialog *> openDialogs() const;
    // The first open dialog of the class, or null.
    template <typename T>
    T *openDialog() const
    {
        for (QDialog *d : openDialogs()) {
            if (T *t = qobject_cast<T *>(d))
                return t;
        }
        return nullptr;
    }

signals:
    void dialogShown(QDialog *dialog);
    void dialogEnded(const QString &className, int result);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Watched
    {
        QPointer<QDialog> dialog;
        QElapsedTimer shownFor;
        bool ended = false;
    };
    void check();

    int m_timeoutMs;
    QTimer m_timer;
    QList<Watched> m_watched;
    QList<Ended> m_ended;
    QStringList m_fired;
    QString m_closing; // class of the dialog the watchdog is closing
};

} // namespace testsupport

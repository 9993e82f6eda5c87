#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QQueue>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace testsupport {

// What a modal window showed when the driver met it.
struct ModalSnapshot
{
    QString className;   // most derived class with a meta-object
    QString objectName;
    QString windowTitle;
    QStringList labels;  // visible label texts, in child order
    QStringList buttons; // visible button texts, in child order
    QStringList buttonNames; // their object names, in the same order
    // Object name -> text of every visible, named label, button, line edit
    // and text edit.
    QMap<QString, QString> texts;

    QString text(const QString &objectName) const { return texts.value(objectName); }
    // A visible button with that object name or text.
    bool hasButton(const QString &name) const;
};

// Drives modal dialogs that a test starts with a blocking exec(): queue what
// to do with each next modal window before starting it; the driver meets the
// window inside its own event loop, records what it shows and runs the step.
//
//     ModalDriver driver;
//     driver.pressNext(QStringLiteral("确定"));
//     const int result = box.exec();
//     QVERIFY(driver.waitDone());
//     QCOMPARE(driver.last().text("tipinfolabel"), ...);
//
// Steps run in order, one per window; a window counts as "next" when it was
// not up when its step became due, so a box opened inside a dialog that an
// earlier step handled is met by the following step. A step whose window
// does not appear in time is dropped with an error. A named button that is
// not there is an error, and the window is closed so that the test goes on.
class ModalDriver : public QObject
{
    Q_OBJECT

public:
    using Handler = std::function<void(QWidget *dialog)>;

    explicit ModalDriver(int stepTimeoutMs = 5000, QObject *parent = nullptr);
    ~ModalDriver() override;

    // Run the handler on the next modal window (after recording it).
    void onNext(Handler handler);
    // Press the named button (object name, else text) of the next modal window.
    void pressNext(const QString &button);

    // Every queued step has run or been dropped.
    bool done() const;
    bool waitDone(int timeoutMs = 5000);

    QList<ModalSnapshot> seen() const { return m_seen; }
    ModalSnapshot last() const { return m_seen.isEmpty() ? ModalSnapshot() : m_seen.last(); }
    QStringList errors() const { return m_errors; }

    // Helpers, also for handlers.
    static ModalSnapshot snapshot(QWidget *window);
    // Clicks the visible, enabled button of the window whose object name, or
    // else whose text (without '&'), is `name`. False when there is none.
    static bool press(QWidget *window, const QString &name);
    // For modal windows shown without a blocking loop (open(), show()):
    // waits for a visible modal window other than `besides`.
    static QWidget *waitForModal(int timeoutMs = 5000, QWidget *besides = nullptr);

private:
    void poll();
    void arm();
    static QList<QWidget *> visibleModals();

    struct Step
    {
        Handler handler;
    };

    int m_stepTimeoutMs;
    QQueue<Step> m_steps;
    bool m_armed = false;
    QElapsedTimer m_armedFor;
    QList<QPointer<QWidget>> m_ignore;
    int m_running = 0;
    QTimer m_poll;
    QList<ModalSnapshot> m_seen;
    QStringList m_errors;
};

} // namespace testsupport

#include "ModalDriver.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QTextEdit>

namespace testsupport {

namespace {

QString plainText(const QAbstractButton *b)
{
    QString t = b->text();
    t.remove(QLatin1Char('&'));
    return t;
}

void closeWindow(QWidget *window)
{
    if (auto *dialog = qobject_cast<QDialog *>(window))
        dialog->reject();
    else
        window->close();
}

} // namespace

bool ModalSnapshot::hasButton(const QString &name) const
{
    return buttons.contains(name) || (!name.isEmpty() && buttonNames.contains(name));
}

ModalDriver::ModalDriver(int stepTimeoutMs, QObject *parent)
    : QObject(parent)
    , m_stepTimeoutMs(stepTimeoutMs)
{
    m_poll.setInterval(5);
    connect(&m_poll, &QTimer::timeout, this, &ModalDriver::poll);
}

ModalDriver::~ModalDriver() = default;

void ModalDriver::onNext(Handler handler)
{
    m_steps.enqueue(Step{std::move(handler)});
    if (!m_armed)
        arm();
}

void ModalDriver::pressNext(const QString &button)
{
    onNext([this, button](QWidget *window) {
        if (!press(window, button)) {
            m_errors << QStringLiteral("no button \"%1\" in %2").arg(button, window->metaObject()->className());
            closeWindow(window);
        }
    });
}

bool ModalDriver::done() const
{
    return m_steps.isEmpty() && m_running == 0;
}

bool ModalDriver::waitDone(int timeoutMs)
{
    return QTest::qWaitFor([this] { return done(); }, timeoutMs);
}

QList<QWidget *> ModalDriver::visibleModals()
{
    QList<QWidget *> out;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w->isVisible() && w->isModal())
            out << w;
    }
    return out;
}

void ModalDriver::arm()
{
    if (m_steps.isEmpty()) {
        m_armed = false;
        m_poll.stop();
        return;
    }
    m_armed = true;
    m_ignore.clear();
    for (QWidget *w : visibleModals())
        m_ignore << w;
    m_armedFor.start();
    m_poll.start();
}

void ModalDriver::poll()
{
    if (!m_armed)
        return;
    QWidget *candidate = QApplication::activeModalWidget();
    const bool fresh = candidate && candidate->isVisible() && !m_ignore.contains(candidate);
    if (!fresh) {
        if (m_armedFor.elapsed() > m_stepTimeoutMs) {
            m_errors << QStringLiteral("no modal window appeared within %1 ms").arg(m_stepTimeoutMs);
            m_steps.dequeue();
            arm();
        }
        return;
    }

    Step step = m_steps.dequeue();
    m_seen << snapshot(candidate);
    ++m_running;
    // The handler runs from a fresh single-shot rather than from this timer:
    // a window it opens in turn spins a nested loop in which this timer must
    // go on firing to meet that window.
    QPointer<QWidget> window(candidate);
    QTimer::singleShot(0, this, [this, step, window] {
        if (window)
            step.handler(window);
        else
            m_errors << QStringLiteral("modal window closed before its step ran");
        --m_running;
    });
    arm();
    m_ignore << candidate;
}

ModalSnapshot ModalDriver::snapshot(QWidget *window)
{
    ModalSnapshot s;
    if (!window)
        return s;
    s.className = QString::fromLatin1(window->metaObject()->className());
    s.objectName = window->objectName();
    s.windowTitle = window->windowTitle();
    for (QWidget *w : window->findChildren<QWidget *>()) {
        if (!w->isVisibleTo(window) || w->window() != window)
            continue;
        QString text;
        bool known = true;
        if (auto *l = qobject_cast<QLabel *>(w)) {
            text = l->text();
            s.labels << text;
        } else if (auto *b = qobject_cast<QAbstractButton *>(w)) {
            text = plainText(b);
            s.buttons << text;
            s.buttonNames << b->objectName();
        } else if (auto *e = qobject_cast<QLineEdit *>(w)) {
            text = e->text();
        } else if (auto *t = qobject_cast<QTextEdit *>(w)) {
            text = t->toPlainText();
        } else if (auto *p = qobject_cast<QPlainTextEdit *>(w)) {
            text = p->toPlainText();
        } else {
            known = false;
        }
        if (known && !w->objectName().isEmpty())
            s.texts.insert(w->objectName(), text);
    }
    return s;
}

bool ModalDriver::press(QWidget *window, const QString &name)
{
    if (!window)
        return false;
    QList<QAbstractButton *> usable;
    for (QAbstractButton *b : window->findChildren<QAbstractButton *>()) {
        if (b->isVisibleTo(window) && b->isEnabled() && b->window() == window)
            usable << b;
    }
    QAbstractButton *target = nullptr;
    for (QAbstractButton *b : usable) {
        if (b->objectName() == name) {
            target = b;
            break;
        }
    }
    if (!target) {
        for (QAbstractButton *b : usable) {
            if (plainText(b) == name) {
                target = b;
                break;
            }
        }
    }
    if (!target)
        return false;
    QTest::mouseClick(target, Qt::LeftButton, Qt::NoModifier, target->rect().center());
    return true;
}

QWidget *ModalDriver::waitForModal(int timeoutMs, QWidget *besides)
{
    QWidget *found = nullptr;
    (void)QTest::qWaitFor([&] {
        QWidget *w = QApplication::activeModalWidget();
        if (w && w != besides && w->isVisible())
            found = w;
        return found != nullptr;
    }, timeoutMs);
    return found;
}

} // namespace testsupport

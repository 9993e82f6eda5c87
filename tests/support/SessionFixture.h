#pragma once

// A started facade on the platform layers with an MvListener whose signals
// are recorded on the GUI thread through queued connections, as the panels
// receive them.

#include "AuthControl.h"
#include "FacadeFixture.h"
#include "MvListener.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QList>
#include <QMap>
#include <QObject>
#include <QThread>
#include <QVariant>

#include <string>

namespace sessiontest {

// Every signal of the listener that the account jobs and callbacks emit,
// recorded by name with its arguments once it reached the GUI thread.
class ListenerRecorder : public QObject
{
    Q_OBJECT

public:
    explicit ListenerRecorder(MvListener *listener)
    {
        const auto q = Qt::QueuedConnection;
        connect(listener, SIGNAL(signal_loginReturn(QString, QString, QString, int)), this,
                SLOT(loginReturn(QString, QString, QString, int)), q);
        connect(listener, SIGNAL(signal_loginStatus(int)), this, SLOT(loginStatus(int)), q);
        connect(listener, SIGNAL(signal_notifyLiveStatus(QString, int)), this, SLOT(liveStatus(QString, int)), q);
        connect(listener, SIGNAL(signal_receiveQRCode(QString, QString, int, int)), this,
                SLOT(qrCode(QString, QString, int, int)), q);
        connect(listener, SIGNAL(signal_notifyCameraTurnStatus(bool, bool)), this, SLOT(cameraTurn(bool, bool)), q);
        connect(listener, SIGNAL(signal_notifyNewBlacker(int)), this, SLOT(newBlacker(int)), q);
        connect(listener, SIGNAL(signal_notifyNewBarrage(int, QString, QString, int)), this,
                SLOT(newBarrage(int, QString, QString, int)), q);
        connect(listener, SIGNAL(signal_notifyDonaterMsg(QString, int)), this, SLOT(donater(QString, int)), q);
        connect(listener, SIGNAL(signal_notifyAmberMsg(QString, int, QString, int)), this,
                SLOT(amber(QString, int, QString, int)), q);
        connect(listener, SIGNAL(signal_notifyMeritMsg(QString, int)), this, SLOT(merit(QString, int)), q);
        connect(listener, SIGNAL(signal_setVideoFPS(int)), this, SLOT(videoFps(int)), q);
    }

    QList<QVariantList> of(const QString &name) const { return m_calls.value(name); }
    int count(const QString &name) const { return m_calls.value(name).size(); }
    int total() const
    {
        int n = 0;
        for (const QList<QVariantList> &l : m_calls)
            n += l.size();
        return n;
    }
    QVariantList last(const QString &name) const { return m_calls.value(name).value(count(name) - 1); }
    void clear() { m_calls.clear(); }
    bool offGuiThread() const { return m_offGuiThread; }

public slots:
    void loginReturn(QString name, QString token, QString error, int code) { add("loginReturn", {name, token, error, code}); }
    void loginStatus(int code) { add("loginStatus", {code}); }
    void liveStatus(QString text, int code) { add("liveStatus", {text, code}); }
    void qrCode(QString url, QString code, int expire, int error) { add("qrCode", {url, code, expire, error}); }
    void cameraTurn(bool h, bool v) { add("cameraTurn", {h, v}); }
    void newBlacker(int id) { add("newBlacker", {id}); }
    void newBarrage(int id, QString name, QString content, int level) { add("newBarrage", {id, name, content, level}); }
    void donater(QString nick, int price) { add("donater", {nick, price}); }
    void amber(QString nick, int id, QString gift, int price) { add("amber", {nick, id, gift, price}); }
    void merit(QString nick, int level) { add("merit", {nick, level}); }
    void videoFps(int fps) { add("videoFps", {fps}); }

private:
    void add(const QString &name, const QVariantList &args)
    {
        if (QThread::currentThread() != QCoreApplication::instance()->thread())
            m_offGuiThread = true;
        m_calls[name] << args;
    }

    QMap<QString, QList<QVariantList>> m_calls;
    bool m_offGuiThread = false;
};

// The default world's anchor.
inline const std::string kAnchorUser = "mvanchor";
inline const std::string kAnchorNick = "摩瓦主播";
inline const std::string kAnchorToken = "token-mvanchor";
inline std::string anchorPasswordMd5() { return authport::md5Hex("123456"); }

class SessionFixture : public testsupport::FacadeFixture
{
public:
    SessionFixture()
        : recorder(&listener)
    {
        authport::control().reset();
        started = init() == 0;
        proxy->setListener(&listener);
    }
    ~SessionFixture()
    {
        authport::control().gates().openAll();
        castcore::control().gates().openAll();
        // The facade goes before the listener it reports to.
        proxy.reset();
    }

    // Signs the anchor in and waits for the result on the GUI thread.
    bool login()
    {
        const int before = recorder.count("loginReturn");
        if (!proxy->loginByPassword(kAnchorUser, anchorPasswordMd5(), std::string()))
            return false;
        if (!waitFor("loginReturn", before + 1) || recorder.last("loginReturn").at(3).toInt() != 0)
            return false;
        // The answer is reported from inside the job: the job thread takes
        // the next job only once that job has returned.
        proxy->taskThread().waitIdle();
        return true;
    }

    // Waits until `name` was recorded `n` times.
    bool waitFor(const QString &name, int n, int timeoutMs = 5000)
    {
        QElapsedTimer t;
        t.start();
        while (recorder.count(name) < n && t.elapsed() < timeoutMs)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return recorder.count(name) >= n;
    }

    // Lets the job thread, both layers' threads and the queued signals settle.
    void settle()
    {
        proxy->taskThread().waitIdle();
        for (int i = 0; i < 3; ++i) {
            authport::control().waitIdle();
            castcore::control().waitIdle();
            proxy->taskThread().waitIdle();
            QCoreApplication::processEvents();
        }
    }

    MvListener listener;
    sessiontest::ListenerRecorder recorder;
    bool started = false;
};

} // namespace sessiontest

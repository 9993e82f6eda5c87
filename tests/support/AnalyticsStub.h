#pragma once

#include "HttpStub.h"

#include <QJsonObject>
#include <QList>
#include <QStringList>

#include <memory>

namespace testsupport {

// The analytics host on a loopback TLS stub for as long as it lives: every
// record the program sends arrives here and is decoded.
//
//     AnalyticsStub analytics;
//     ... the code under test reports ...
//     QVERIFY(analytics.waitForRecords(1));
//     QCOMPARE(analytics.actions(), QStringList{"click_pic_addpic {}"});
class AnalyticsStub
{
public:
    AnalyticsStub();
    ~AnalyticsStub();

    AnalyticsStub(const AnalyticsStub &) = delete;
    AnalyticsStub &operator=(const AnalyticsStub &) = delete;

    bool isListening() const { return m_stub.isListening(); }
    // Waits until at least `count` records arrived.
    bool waitForRecords(int count, int timeoutMs = 5000);
    QList<QJsonObject> records() const;
    // "<ac> <e as compact JSON>" of every record, sorted: records sent close
    // together travel on separate connections and may arrive in any order.
    QStringList actions() const;
    void clear() { m_stub.clearRequests(); }

    // The record of a "multi=<Base64 JSON>&v=1.0" body; empty when malformed.
    static QJsonObject decodeRecord(const QByteArray &body);

private:
    HttpStub m_stub;
    std::unique_ptr<ScopedHosts> m_hosts;
};

} // namespace testsupport

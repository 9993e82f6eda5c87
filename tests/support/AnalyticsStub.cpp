#include "AnalyticsStub.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QTest>

namespace testsupport {

AnalyticsStub::AnalyticsStub()
    : m_stub(HttpStub::Tls)
{
    HttpStub::trustTestCertificate();
    m_stub.route("POST", QStringLiteral("/deliver/tide2"), HttpResponse::json(R"({"error":0})"));
    m_hosts = std::make_unique<ScopedHosts>(QStringList{QStringLiteral("analytics")}, m_stub.hostPort());
}

AnalyticsStub::~AnalyticsStub() = default;

bool AnalyticsStub::waitForRecords(int count, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (m_stub.requestsTo(QStringLiteral("/deliver/tide2")).size() < count) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QTest::qWait(10);
    }
    return true;
}

QList<QJsonObject> AnalyticsStub::records() const
{
    QList<QJsonObject> out;
    for (const HttpRequest &r : m_stub.requestsTo(QStringLiteral("/deliver/tide2")))
        out << decodeRecord(r.body);
    return out;
}

QStringList AnalyticsStub::actions() const
{
    QStringList out;
    for (const QJsonObject &record : records())
        out << record.value(QStringLiteral("ac")).toString() + QLatin1Char(' ')
                + QString::fromUtf8(QJsonDocument(record.value(QStringLiteral("e")).toObject())
                                        .toJson(QJsonDocument::Compact));
    out.sort();
    return out;
}

QJsonObject AnalyticsStub::decodeRecord(const QByteArray &body)
{
    if (!body.startsWith("multi=") || !body.endsWith("&v=1.0"))
        return QJsonObject();
    const QByteArray encoded = body.mid(6, body.size() - 6 - 6);
    return QJsonDocument::fromJson(QByteArray::fromBase64(encoded)).object();
}

} // namespace testsupport

#pragma once

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>

class QNetworkAccessManager;
class QNetworkReply;

// Turns the numbered actions that the panels report into one JSON record
// each and posts it, Base64-wrapped in a form body, to the analytics host.
// Nothing waits for the answer; a failure only reaches the log.
class MorvaPointing : public QObject
{
    Q_OBJECT

public:
    using FieldList = QList<QPair<QString, QJsonValue>>;

    // One report: action code, room id, user id and at most one extra field.
    struct ActionRecord
    {
        int action = -1;
        int roomId = 0;
        int userId = 0;
        FieldList extra;
    };

    MorvaPointing(const QString &version, QObject *parent = nullptr);
    ~MorvaPointing() override;

    void Report(int action, int value, int userId, int roomId);
    // Sends only the actions of the table (0 to 22).
    void Send(const ActionRecord &record);

    QJsonDocument BuildDocument(const ActionRecord &record);
    void BuildFields(FieldList &list, const ActionRecord &record);
    static void PairsToObject(QJsonObject &object, const FieldList &list);

    // Empty for codes outside the table.
    static QString ActionName(int action);
    static QString PageCode(int action);
    // The key of the action's extra field; empty when it has none.
    static QString ExtraKey(int action);
    static QString DeviceId();

    QString version() const { return m_version; }
    QString deviceId() const { return m_deviceId; }

public slots:
    void handlePointingResult(QNetworkReply *reply);

private:
    // Made for the first record, so that a start that sends none loads no
    // network stack for it.
    QNetworkAccessManager *manager();

    QString m_version;
    QString m_deviceId;
    QNetworkAccessManager *m_manager = nullptr;
};

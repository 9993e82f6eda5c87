#include "MorvaPointing.h"

#include "Logger.h"
#include "NetworkInterfaces.h"
#include "WebClock.h"
#include "WebEndpoints.h"

#include <QNetworkAccessManager>
#include <QTimer>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>
#include <QtDebug>

namespace {

struct ActionEntry
{
    const char *name;
    const char *page;
    const char *extraKey; // null: no extra field
};

const ActionEntry kActions[] = {
    {"init_page_home", "page_home", nullptr},
    {"click_home_imgadj", "page_home", nullptr},
    {"click_home_filter", "page_home", "filt_id"},
    {"click_home_msg", "page_home", "stat"},
    {"click_home_song", "page_home", "stat"},
    {"click_home_admin", "page_home", nullptr},
    {"click_home_songreq", "page_home", "stat"},
    {"click_home_start", "page_home", nullptr},
    {"click_home_record", "page_home", "stat"},
    {"click_home_imgset", "page_home", nullptr},
    {"click_home_beauty", "page_home", nullptr},
    {"click_home_normal", "page_home", nullptr},
    {"click_home_mystudio", "page_home", nullptr},
    {"click_home_setting", "page_home", nullptr},
    {"click_home_anchor", "page_home", nullptr},
    {"click_pic_addpic", "page_pic", nullptr},
    {"click_pic_sticker", "page_pic", "stic_id"},
    {"click_subtitle_sel", "page_subtitle", "format_id"},
    {"click_subtitle_add", "page_subtitle", nullptr},
    {"click_stypelive_fscreen", "page_stypelive", nullptr},
    {"click_stypelive_manual", "page_stypelive", nullptr},
    {"click_home_mus", "page_home", nullptr},
    {"click_home_musplay", "page_home", "song_id"},
};

const int kActionCount = int(sizeof(kActions) / sizeof(kActions[0]));

bool inTable(int action)
{
    return action >= 0 && action < kActionCount;
}

} // namespace

MorvaPointing::MorvaPointing(const QString &version, QObject *parent)
    : QObject(parent)
    , m_version(version)
    , m_deviceId(DeviceId())
{
}

QNetworkAccessManager *MorvaPointing::manager()
{
    if (!m_manager) {
        m_manager = new QNetworkAccessManager(this);
        connect(m_manager, &QNetworkAccessManager::finished, this, &MorvaPointing::handlePointingResult);
    }
    return m_manager;
}

MorvaPointing::~MorvaPointing() = default;

QString MorvaPointing::ActionName(int action)
{
    return inTable(action) ? QString::fromLatin1(kActions[action].name) : QString();
}

QString MorvaPointing::PageCode(int action)
{
    return inTable(action) ? QString::fromLatin1(kActions[action].page) : QString();
}

QString MorvaPointing::ExtraKey(int action)
{
    return inTable(action) && kActions[action].extraKey ? QString::fromLatin1(kActions[action].extraKey)
                                                          : QString();
}

QString MorvaPointing::DeviceId()
{
    return NetworkInterfaces::firstHardwareAddress();
}

void MorvaPointing::Report(int action, int value, int userId, int roomId)
{
    ActionRecord record;
    record.action = action;
    record.roomId = roomId;
    record.userId = userId;
    const QString key = ExtraKey(action);
    if (value != -1 && !key.isEmpty())
        record.extra.append(qMakePair(key, QJsonValue(value)));
    Send(record);
}

void MorvaPointing::Send(const ActionRecord &record)
{
    if (!inTable(record.action))
        return;

    const QJsonDocument doc = BuildDocument(record);
    const QByteArray body =
        QByteArray("multi=") + doc.toJson(QJsonDocument::Compact).toBase64() + QByteArray("&v=1.0");
    qDebug().noquote() << body;

    // Posted from the event loop: the start's record goes out once the
    // window shows, not before.
    const QUrl address(WebEndpoints::analyticsUrl());
    QTimer::singleShot(0, this, [this, address, body] { manager()->post(QNetworkRequest(address), body); });
}

QJsonDocument MorvaPointing::BuildDocument(const ActionRecord &record)
{
    FieldList fields;
    BuildFields(fields, record);
    QJsonObject object;
    PairsToObject(object, fields);
    const QJsonDocument doc(object);
    qDebug().noquote() << doc.toJson(QJsonDocument::Indented);
    return doc;
}

void MorvaPointing::BuildFields(FieldList &list, const ActionRecord &record)
{
    const QString page = PageCode(record.action);
    const QString action = ActionName(record.action);
    QJsonObject extra;
    PairsToObject(extra, record.extra);

    list.append(qMakePair(QStringLiteral("i"), QJsonValue(record.userId)));
    list.append(qMakePair(QStringLiteral("rid"), QJsonValue(record.roomId)));
    list.append(qMakePair(QStringLiteral("d"), QJsonValue(m_deviceId)));
    list.append(qMakePair(QStringLiteral("pc"), QJsonValue(page)));
    list.append(qMakePair(QStringLiteral("rpc"), QJsonValue(page)));
    list.append(qMakePair(QStringLiteral("ct"), QJsonValue(QStringLiteral("web_xclive"))));
    list.append(qMakePair(QStringLiteral("pro"), QJsonValue(QStringLiteral("host_site"))));
    list.append(qMakePair(QStringLiteral("av"), QJsonValue(m_version)));
    list.append(qMakePair(QStringLiteral("ac"), QJsonValue(action)));
    list.append(qMakePair(QStringLiteral("e"), QJsonValue(extra)));
    list.append(qMakePair(QStringLiteral("pt"), QJsonValue(WebClock::currentMSecsSinceEpoch())));
    list.append(qMakePair(QStringLiteral("oct"), QJsonValue(WebClock::currentMSecsSinceEpoch())));
    list.append(qMakePair(QStringLiteral("dur"), QJsonValue(0)));

    Logger::instance()->write(Logger::LOG_INFO,
                              "point - {version:%s, uid:%d, rid:%d, pagecode:%s, action:%s, e:%s}.",
                              m_version.toUtf8().constData(), record.userId, record.roomId,
                              page.toUtf8().constData(), action.toUtf8().constData(),
                              QJsonDocument(extra).toJson(QJsonDocument::Compact).constData());
}

void MorvaPointing::PairsToObject(QJsonObject &object, const FieldList &list)
{
    for (const auto &pair : list)
        object.insert(pair.first, pair.second);
}

void MorvaPointing::handlePointingResult(QNetworkReply *reply)
{
    const QJsonDocument doc = QJsonDocument::fromJson(reply->readAll());
    reply->deleteLater();

    if (doc.isObject()) {
        const QJsonObject obj = doc.object();
        const QJsonValue error = obj.value(QStringLiteral("error"));
        const QJsonValue msg = obj.value(QStringLiteral("msg"));
        if (error.isDouble() && error.toDouble() == 0)
            return;
        if (error.isDouble() && error.toDouble() > 0 && msg.isString()) {
            qDebug().noquote() << "Morva pointing error: " + msg.toString();
            // Log texts are UTF-8; the locale's codec would turn Chinese into "?".
            Logger::instance()->write(Logger::LOG_INFO, "point failed : %s",
                                      msg.toString().toUtf8().constData());
            return;
        }
    }
    qDebug("Morva pointing error: unexpected HTTP response");
}

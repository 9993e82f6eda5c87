#include "CameraSettings.h"
#include "SysConfig.h"

#include "LogCapture.h"
#include "TempEnvironment.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QtTest>

#include <json/reader.h>

#include <csignal>
#include <memory>

#include <sys/resource.h>
#include <unistd.h>

using testsupport::TempEnvironment;

namespace {

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), qint64(bytes.size()));
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A settings file written by hand: every key of every section, each with a
// value of its own, so that a renamed or swapped key shows.
const char kEveryKeyFile[] = R"({
    "sys": {"sys_mic_device": "麦克风", "sys_system_device": "扬声器", "sys_record_path": "/home/主播/录像",
            "sys_hide_when_close": true, "sys_auto_update": false, "sys_open_poweron": true},
    "camera": {"camera_slim": 11, "camera_whitening": 12, "camera_blur": 13, "camera_colour_temperature": 14,
               "camera_slim_enable": true, "camera_whitening_enable": false, "camera_blur_enable": false,
               "camera_colour_temperature_enable": true, "camera_turn_h": true, "camera_turn_v": false,
               "camera_effect": 5, "camera_index_beauty": 1, "camera_index_resolution": 2,
               "camera_resolution_width": 1920, "camera_resolution_height": 1080, "camera_color_type": 3},
    "account": {"mode": 4, "zone": "+852", "name": "小明", "token": "tok-令牌", "auto_login": true},
    "room": {"room_keywords_enabled": true, "room_keywords": "广告|加微信", "autosendmsg_enabled": false,
             "autosend_content": "欢迎", "autosend_timespace": 120}
})";

Json::Value parseJson(const QByteArray &bytes)
{
    Json::CharReaderBuilder builder;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value root;
    std::string errors;
    if (!reader->parse(bytes.constData(), bytes.constData() + bytes.size(), &root, &errors))
        return Json::Value("unparsable");
    return root;
}

// The four records of the store, all read or written together.
struct AllSettings
{
    SysSettings sys;
    CameraSettings camera;
    AccountInfo account;
    RoomToolSettings room;
};

// The records that the hand-written file holds.
AllSettings everyKeyRecords()
{
    AllSettings a;
    a.sys.micDevice = QStringLiteral("麦克风");
    a.sys.systemDevice = QStringLiteral("扬声器");
    a.sys.recordPath = QStringLiteral("/home/主播/录像");
    a.sys.hideWhenClose = true;
    a.sys.autoUpdate = false;
    a.sys.openPowerOn = true;
    a.camera.slim = 11;
    a.camera.whitening = 12;
    a.camera.blur = 13;
    a.camera.colour_temperature = 14;
    a.camera.slim_enable = true;
    a.camera.whitening_enable = false;
    a.camera.blur_enable = false;
    a.camera.colour_temperature_enable = true;
    a.camera.turn_h = true;
    a.camera.turn_v = false;
    a.camera.effect = 5;
    a.camera.index_beauty = 1;
    a.camera.index_resolution = 2;
    a.camera.resolution_width = 1920;
    a.camera.resolution_height = 1080;
    a.camera.color_type = 3;
    a.account.mode = 4;
    a.account.zone = QStringLiteral("+852");
    a.account.name = QStringLiteral("小明");
    a.account.token = QStringLiteral("tok-令牌");
    a.account.autoLogin = true;
    a.room.autoMute = true;
    a.room.keywords = QStringLiteral("广告|加微信");
    a.room.autoSpeak = false;
    a.room.content = QStringLiteral("欢迎");
    a.room.interval = 120;
    return a;
}

// Every switch of the four records, with its section and key as the file
// names them.
struct Switch
{
    const char *section;
    const char *key;
    bool (*on)(const AllSettings &);
};

const Switch kSwitches[] = {
    {"sys", "sys_hide_when_close", [](const AllSettings &a) { return a.sys.hideWhenClose; }},
    {"sys", "sys_auto_update", [](const AllSettings &a) { return a.sys.autoUpdate; }},
    {"sys", "sys_open_poweron", [](const AllSettings &a) { return a.sys.openPowerOn; }},
    {"camera", "camera_slim_enable", [](const AllSettings &a) { return a.camera.slim_enable; }},
    {"camera", "camera_whitening_enable", [](const AllSettings &a) { return a.camera.whitening_enable; }},
    {"camera", "camera_blur_enable", [](const AllSettings &a) { return a.camera.blur_enable; }},
    {"camera", "camera_colour_temperature_enable",
     [](const AllSettings &a) { return a.camera.colour_temperature_enable; }},
    {"camera", "camera_turn_h", [](const AllSettings &a) { return a.camera.turn_h; }},
    {"camera", "camera_turn_v", [](const AllSettings &a) { return a.camera.turn_v; }},
    {"account", "auto_login", [](const AllSettings &a) { return a.account.autoLogin; }},
    {"room", "room_keywords_enabled", [](const AllSettings &a) { return a.room.autoMute; }},
    {"room", "autosendmsg_enabled", [](const AllSettings &a) { return a.room.autoSpeak; }},
};

// The keys of the switches that are on.
QStringList switchesOn(const AllSettings &a)
{
    QStringList on;
    for (const Switch &s : kSwitches)
        if (s.on(a))
            on << QString::fromLatin1(s.key);
    return on;
}

bool readAll(SysConfig &config, AllSettings &a)
{
    const bool sys = config.getSysConfig(a.sys);
    const bool camera = config.getCameraConfig(a.camera);
    const bool account = config.getAccount(a.account);
    const bool room = config.getRoomConfig(a.room);
    return sys && camera && account && room;
}

void writeAll(SysConfig &config, const AllSettings &a)
{
    config.setSysConfig(a.sys);
    config.setCameraConfig(a.camera);
    config.setAccount(a.account);
    config.setRoomConfig(a.room);
}

// The saved file parsed back; a null value when it is no JSON.
Json::Value savedDocument()
{
    return parseJson(readFile(SysConfig::filePath()));
}

QStringList memberNames(const Json::Value &object)
{
    QStringList names;
    if (!object.isObject())
        return names;
    for (const std::string &n : object.getMemberNames())
        names << QString::fromStdString(n);
    names.sort();
    return names;
}

AccountInfo dialogDefaults()
{
    AccountInfo a;
    a.mode = 0;
    a.zone = QStringLiteral("+86");
    a.autoLogin = true;
    return a;
}

// Restores the file size limit and SIGXFSZ on scope exit.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lim = m_old;
        lim.rlim_cur = bytes;
        m_ok = setrlimit(RLIMIT_FSIZE, &lim) == 0;
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    bool ok() const { return m_ok; }

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
    bool m_ok = false;
};

} // namespace

class TestSysConfig : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void fileLivesInAppDataLocation();
    void fileKeysPerSection_data();
    void fileKeysPerSection();
    void handWrittenFileReadsIntoFields();
    void eachSwitchHasItsOwnKey_data();
    void eachSwitchHasItsOwnKey();
    void firstRunWithoutFile();
    void malformedFileStartsEmpty_data();
    void malformedFileStartsEmpty();
    void unreadableFileIsKeptAside_data();
    void unreadableFileIsKeptAside();
    void emptySections();
    void partialSections();
    void roundTripWithChineseTexts();
    void cameraPointerFormsMatchReferenceForms();
    void wrongTypedKeysReadAsMissing();
    void nonObjectSectionReadsAsMissing_data();
    void nonObjectSectionReadsAsMissing();
    void handEditedFileNeverCrashes_data();
    void handEditedFileNeverCrashes();
    void readingMissingSectionAddsNullMember();
    void settersChangeMemoryOnly();
    void failedSaveKeepsPreviousFile();
    void directoryInTheWayFailsCleanly();
    void readOnlyFolderKeepsPreviousFile();

private:
    std::unique_ptr<TempEnvironment> m_env;
};

void TestSysConfig::initTestCase()
{
    QCoreApplication::setApplicationName(QStringLiteral("MorvaShow"));
}

void TestSysConfig::init()
{
    m_env.reset(new TempEnvironment);
    QVERIFY(m_env->isValid());
}

void TestSysConfig::cleanup()
{
    m_env.reset();
}

void TestSysConfig::fileLivesInAppDataLocation()
{
    QCOMPARE(SysConfig::filePath(), m_env->dataHome() + QStringLiteral("/MorvaShow/SysConfig.config"));
    { SysConfig config; }
    QVERIFY(QFile::exists(SysConfig::filePath()));
}

void TestSysConfig::fileKeysPerSection_data()
{
    QTest::addColumn<QByteArray>("section");
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<int>("count");

    QTest::newRow("sys") << QByteArray("sys")
                         << QStringList{"sys_mic_device", "sys_system_device", "sys_record_path",
                                        "sys_hide_when_close", "sys_auto_update", "sys_open_poweron"}
                         << 6;
    QTest::newRow("camera") << QByteArray("camera")
                            << QStringList{"camera_slim", "camera_whitening", "camera_blur",
                                           "camera_colour_temperature", "camera_slim_enable",
                                           "camera_whitening_enable", "camera_blur_enable",
                                           "camera_colour_temperature_enable", "camera_turn_h", "camera_turn_v",
                                           "camera_effect", "camera_index_beauty", "camera_index_resolution",
                                           "camera_resolution_width", "camera_resolution_height",
                                           "camera_color_type"}
                            << 16;
    QTest::newRow("account") << QByteArray("account") << QStringList{"mode", "zone", "name", "token", "auto_login"}
                             << 5;
    QTest::newRow("room") << QByteArray("room")
                          << QStringList{"room_keywords_enabled", "room_keywords", "autosendmsg_enabled",
                                         "autosend_content", "autosend_timespace"}
                          << 5;
}

void TestSysConfig::fileKeysPerSection()
{
    QFETCH(QByteArray, section);
    QFETCH(QStringList, keys);
    QFETCH(int, count);
    QCOMPARE(keys.size(), count);
    keys.sort();

    const Json::Value handWritten = parseJson(kEveryKeyFile);
    QCOMPARE(memberNames(handWritten), (QStringList{"account", "camera", "room", "sys"}));
    QCOMPARE(memberNames(handWritten[section.constData()]), keys);

    // What the setters write is the hand-written file, key for key.
    {
        SysConfig config;
        writeAll(config, everyKeyRecords());
    }
    const Json::Value saved = savedDocument();
    QCOMPARE(memberNames(saved), (QStringList{"account", "camera", "room", "sys"}));
    const Json::Value &written = saved[section.constData()];
    QCOMPARE(memberNames(written), keys);
    for (const QString &key : keys) {
        const std::string k = key.toStdString();
        QVERIFY2(written[k] == handWritten[section.constData()][k], qPrintable(key));
    }
}

void TestSysConfig::handWrittenFileReadsIntoFields()
{
    writeFile(SysConfig::filePath(), kEveryKeyFile);
    SysConfig config;
    QVERIFY(config.isLoaded());
    AllSettings a;
    QVERIFY(readAll(config, a));

    QCOMPARE(a.sys.micDevice, QStringLiteral("麦克风"));
    QCOMPARE(a.sys.systemDevice, QStringLiteral("扬声器"));
    QCOMPARE(a.sys.recordPath, QStringLiteral("/home/主播/录像"));
    QCOMPARE(a.camera.slim, 11);
    QCOMPARE(a.camera.whitening, 12);
    QCOMPARE(a.camera.blur, 13);
    QCOMPARE(a.camera.colour_temperature, 14);
    QCOMPARE(a.camera.effect, 5);
    QCOMPARE(a.camera.index_beauty, 1);
    QCOMPARE(a.camera.index_resolution, 2);
    QCOMPARE(a.camera.resolution_width, 1920);
    QCOMPARE(a.camera.resolution_height, 1080);
    QCOMPARE(a.camera.color_type, 3);
    QCOMPARE(a.account.mode, 4);
    QCOMPARE(a.account.zone, QStringLiteral("+852"));
    QCOMPARE(a.account.name, QStringLiteral("小明"));
    QCOMPARE(a.account.token, QStringLiteral("tok-令牌"));
    QCOMPARE(a.room.keywords, QStringLiteral("广告|加微信"));
    QCOMPARE(a.room.content, QStringLiteral("欢迎"));
    QCOMPARE(a.room.interval, 120);
    QCOMPARE(switchesOn(a), (QStringList{"sys_hide_when_close", "sys_open_poweron", "camera_slim_enable",
                                         "camera_colour_temperature_enable", "camera_turn_h", "auto_login",
                                         "room_keywords_enabled"}));

    QVERIFY(!config.quitOnClose());
    QCOMPARE(config.recordPath(), std::string("/home/主播/录像"));
    QCOMPARE(config.cameraResolutionIndex(), 2);
    QCOMPARE(config.cameraResolutionWidth(), 1920);
    QCOMPARE(config.cameraResolutionHeight(), 1080);
    QVERIFY(config.autoLogin());
}

// Switches have only two values, so one file per switch with only that one
// on shows every swap among them, reading and writing.
void TestSysConfig::eachSwitchHasItsOwnKey_data()
{
    QTest::addColumn<QByteArray>("section");
    QTest::addColumn<QString>("key");
    for (const Switch &s : kSwitches)
        QTest::newRow(s.key) << QByteArray(s.section) << QString::fromLatin1(s.key);
}

void TestSysConfig::eachSwitchHasItsOwnKey()
{
    QFETCH(QByteArray, section);
    QFETCH(QString, key);
    writeFile(SysConfig::filePath(), "{\"sys\": {}, \"camera\": {}, \"account\": {}, \"room\": {}, \""
                                         + section + "\": {\"" + key.toLatin1() + "\": true}}");
    {
        SysConfig config;
        AllSettings a;
        QVERIFY(readAll(config, a));
        QCOMPARE(switchesOn(a), QStringList{key});
        writeAll(config, a);
    }
    const Json::Value saved = savedDocument();
    QStringList savedOn;
    for (const char *name : {"sys", "camera", "account", "room"}) {
        for (const std::string &member : saved[name].getMemberNames()) {
            if (saved[name][member].isBool() && saved[name][member].asBool())
                savedOn << QString::fromLatin1(name) + QLatin1Char('/') + QString::fromStdString(member);
        }
    }
    QCOMPARE(savedOn, QStringList{QString::fromLatin1(section) + QLatin1Char('/') + key});
}

void TestSysConfig::firstRunWithoutFile()
{
    {
        SysConfig config;
        QVERIFY(!config.isLoaded());
        // The data folder is made ready for the first save.
        QVERIFY(QDir(QFileInfo(SysConfig::filePath()).absolutePath()).exists());

        SysSettings sys;
        sys.recordPath = QStringLiteral("untouched");
        QVERIFY(!config.getSysConfig(sys));
        QCOMPARE(sys.recordPath, QStringLiteral("untouched"));

        CameraSettings camera;
        camera.slim = 42;
        QVERIFY(!config.getCameraConfig(camera));
        QVERIFY(!config.getCameraConfig(&camera));
        QCOMPARE(camera.slim, 42);

        AccountInfo account = dialogDefaults();
        QVERIFY(!config.getAccount(account));
        QCOMPARE(account.zone, QStringLiteral("+86"));

        RoomToolSettings room;
        QVERIFY(!config.getRoomConfig(room));
        QCOMPARE(room.interval, 90);

        QVERIFY(!config.quitOnClose());
        QCOMPARE(config.cameraResolutionIndex(), -1);
        QCOMPARE(config.cameraResolutionWidth(), -1);
        QCOMPARE(config.cameraResolutionHeight(), -1);
        QVERIFY(config.recordPath().empty());
        QVERIFY(!config.autoLogin());
    }
    // Nothing was set: the saved document is the text null.
    QCOMPARE(readFile(SysConfig::filePath()).trimmed(), QByteArray("null"));
    SysConfig again;
    QVERIFY(again.isLoaded());
    QVERIFY(!again.quitOnClose());
}

void TestSysConfig::malformedFileStartsEmpty_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("empty file") << QByteArray();
    QTest::newRow("syntax error") << QByteArray("{\"sys\": {\"sys_hide_when_close\": tru");
    QTest::newRow("array document") << QByteArray("[{\"sys\": {}}]");
    QTest::newRow("number document") << QByteArray("42");
    QTest::newRow("text document") << QByteArray("\"sys\"");
}

void TestSysConfig::malformedFileStartsEmpty()
{
    QFETCH(QByteArray, content);
    writeFile(SysConfig::filePath(), content);
    {
        SysConfig config;
        QVERIFY(!config.isLoaded());
        SysSettings sys;
        QVERIFY(!config.getSysConfig(sys));
        QVERIFY(!config.quitOnClose());
        RoomToolSettings room;
        room.keywords = QStringLiteral("广告");
        config.setRoomConfig(room);
    }
    const Json::Value saved = savedDocument();
    QVERIFY(saved.isObject());
    QCOMPARE(saved["room"]["room_keywords"].asString(), std::string("广告"));
}

void TestSysConfig::unreadableFileIsKeptAside_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("kept");
    QTest::newRow("syntax error") << QByteArray("{\"sys\": {\"sys_hide_when_close\": tru") << true;
    QTest::newRow("array document") << QByteArray("[1]") << true;
    QTest::newRow("empty file: nothing to keep") << QByteArray() << false;
}

// A file the store cannot read would be replaced by the fresh one at exit:
// the user's own text stays beside it as "SysConfig.config.bad", and the log
// says so.
void TestSysConfig::unreadableFileIsKeptAside()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, kept);
    writeFile(SysConfig::filePath(), content);
    const QString bad = SysConfig::filePath() + QStringLiteral(".bad");
    {
        SysConfig config;
        QVERIFY(!config.isLoaded());
        SysSettings sys;
        sys.hideWhenClose = true;
        config.setSysConfig(sys);
    }
    QCOMPARE(QFile::exists(bad), kept);
    if (kept) {
        QCOMPARE(readFile(bad), content);
        QVERIFY(testsupport::LogCapture::contains(
            QStringLiteral("SysConfig: %1 cannot be read; kept as %2, defaults used.").arg(SysConfig::filePath(), bad)));
    }
    QCOMPARE(savedDocument()["sys"]["sys_hide_when_close"].asBool(), true);
}

void TestSysConfig::emptySections()
{
    writeFile(SysConfig::filePath(), "{\"sys\":{},\"camera\":{},\"account\":{},\"room\":{}}");
    SysConfig config;
    QVERIFY(config.isLoaded());

    SysSettings sys;
    sys.micDevice = QStringLiteral("old");
    sys.autoUpdate = true;
    QVERIFY(config.getSysConfig(sys));
    QCOMPARE(sys.micDevice, QString());
    QVERIFY(!sys.autoUpdate);
    QVERIFY(config.quitOnClose()); // a missing "hide" switch reads false
    QVERIFY(config.recordPath().empty());

    CameraSettings camera;
    QVERIFY(config.getCameraConfig(camera));
    QCOMPARE(camera.effect, 0);
    QCOMPARE(camera.index_resolution, 0);
    QCOMPARE(camera.color_type, 0);
    QVERIFY(!camera.slim_enable);
    QCOMPARE(config.cameraResolutionIndex(), 0);
    QCOMPARE(config.cameraResolutionWidth(), 0);

    AccountInfo account = dialogDefaults();
    account.mode = 3;
    account.name = QStringLiteral("old");
    QVERIFY(config.getAccount(account));
    QCOMPARE(account.mode, 3);
    QCOMPARE(account.zone, QStringLiteral("+86"));
    QCOMPARE(account.name, QString());
    QCOMPARE(account.token, QString());
    QVERIFY(!account.autoLogin);
    QVERIFY(!config.autoLogin());

    RoomToolSettings room;
    QVERIFY(config.getRoomConfig(room));
    QCOMPARE(room.interval, 0);
    QVERIFY(!room.autoMute);
}

void TestSysConfig::partialSections()
{
    writeFile(SysConfig::filePath(), R"({
        "sys": {"sys_hide_when_close": true, "sys_record_path": "/home/u/Movies"},
        "camera": {"camera_slim": 30, "camera_turn_h": true, "camera_resolution_width": 1280},
        "account": {"name": "13800000000", "mode": 2, "auto_login": true},
        "room": {"autosend_content": "hi", "autosend_timespace": 600}
    })");
    SysConfig config;
    QVERIFY(config.isLoaded());

    SysSettings sys;
    QVERIFY(config.getSysConfig(sys));
    QVERIFY(sys.hideWhenClose);
    QCOMPARE(sys.recordPath, QStringLiteral("/home/u/Movies"));
    QVERIFY(!config.quitOnClose());
    QCOMPARE(config.recordPath(), std::string("/home/u/Movies"));

    CameraSettings camera;
    QVERIFY(config.getCameraConfig(camera));
    QCOMPARE(camera.slim, 30);
    QVERIFY(camera.turn_h);
    QVERIFY(!camera.blur_enable);
    QCOMPARE(camera.effect, 0);
    QCOMPARE(config.cameraResolutionWidth(), 1280);
    QCOMPARE(config.cameraResolutionHeight(), 0);
    QCOMPARE(config.cameraResolutionIndex(), 0);

    AccountInfo account = dialogDefaults();
    QVERIFY(config.getAccount(account));
    QCOMPARE(account.mode, 2);
    QCOMPARE(account.zone, QStringLiteral("+86")); // no "zone": the default stays
    QCOMPARE(account.name, QStringLiteral("13800000000"));
    QCOMPARE(account.token, QString());
    QVERIFY(account.autoLogin);
    QVERIFY(config.autoLogin());

    RoomToolSettings room;
    QVERIFY(config.getRoomConfig(room));
    QCOMPARE(room.content, QStringLiteral("hi"));
    QCOMPARE(room.interval, 600);
    QVERIFY(!room.autoSpeak);
    QCOMPARE(room.keywords, QString());
}

void TestSysConfig::roundTripWithChineseTexts()
{
    SysSettings sys;
    sys.micDevice = QStringLiteral("麦克风 (Realtek High Definition Audio)");
    sys.systemDevice = QStringLiteral("扬声器");
    sys.recordPath = QStringLiteral("/home/主播/摩瓦视频");
    sys.hideWhenClose = true;
    sys.autoUpdate = false;
    sys.openPowerOn = true;

    CameraSettings camera;
    camera.slim = 66;
    camera.whitening = 60;
    camera.blur = 50;
    camera.colour_temperature = 30;
    camera.whitening_enable = false;
    camera.turn_v = true;
    camera.effect = 5;
    camera.index_beauty = 1;
    camera.index_resolution = 2;
    camera.resolution_width = 1920;
    camera.resolution_height = 1080;
    camera.color_type = 3;

    AccountInfo account;
    account.mode = 5;
    account.zone = QStringLiteral("+852");
    account.name = QStringLiteral("小明");
    account.token = QStringLiteral("tok-令牌-0123");
    account.autoLogin = true;

    RoomToolSettings room;
    room.autoMute = true;
    room.keywords = QStringLiteral("广告|加微信|\"引号\"\\反斜杠");
    room.autoSpeak = true;
    room.content = QStringLiteral("欢迎来到直播间！😀\n第二行");
    room.interval = 120;

    {
        SysConfig config;
        config.setSysConfig(sys);
        config.setCameraConfig(camera);
        config.setAccount(account);
        config.setRoomConfig(room);
    }
    // Texts are stored as UTF-8, not escaped.
    QVERIFY(readFile(SysConfig::filePath()).contains(QStringLiteral("摩瓦视频").toUtf8()));

    SysConfig config;
    QVERIFY(config.isLoaded());
    SysSettings sys2;
    QVERIFY(config.getSysConfig(sys2));
    QCOMPARE(sys2.micDevice, sys.micDevice);
    QCOMPARE(sys2.systemDevice, sys.systemDevice);
    QCOMPARE(sys2.recordPath, sys.recordPath);
    QCOMPARE(sys2.hideWhenClose, sys.hideWhenClose);
    QCOMPARE(sys2.autoUpdate, sys.autoUpdate);
    QCOMPARE(sys2.openPowerOn, sys.openPowerOn);
    QCOMPARE(QString::fromStdString(config.recordPath()), sys.recordPath);

    CameraSettings camera2;
    camera2.slim = -5;
    QVERIFY(config.getCameraConfig(camera2));
    QCOMPARE(camera2.slim, camera.slim);
    QCOMPARE(camera2.whitening, camera.whitening);
    QCOMPARE(camera2.blur, camera.blur);
    QCOMPARE(camera2.colour_temperature, camera.colour_temperature);
    QCOMPARE(camera2.slim_enable, camera.slim_enable);
    QCOMPARE(camera2.whitening_enable, camera.whitening_enable);
    QCOMPARE(camera2.blur_enable, camera.blur_enable);
    QCOMPARE(camera2.colour_temperature_enable, camera.colour_temperature_enable);
    QCOMPARE(camera2.turn_h, camera.turn_h);
    QCOMPARE(camera2.turn_v, camera.turn_v);
    QCOMPARE(camera2.effect, camera.effect);
    QCOMPARE(camera2.index_beauty, camera.index_beauty);
    QCOMPARE(camera2.index_resolution, camera.index_resolution);
    QCOMPARE(camera2.resolution_width, camera.resolution_width);
    QCOMPARE(camera2.resolution_height, camera.resolution_height);
    QCOMPARE(camera2.color_type, camera.color_type);

    AccountInfo account2 = dialogDefaults();
    QVERIFY(config.getAccount(account2));
    QCOMPARE(account2.mode, account.mode);
    QCOMPARE(account2.zone, account.zone);
    QCOMPARE(account2.name, account.name);
    QCOMPARE(account2.token, account.token);
    QCOMPARE(account2.autoLogin, account.autoLogin);

    RoomToolSettings room2;
    QVERIFY(config.getRoomConfig(room2));
    QCOMPARE(room2.autoMute, room.autoMute);
    QCOMPARE(room2.keywords, room.keywords);
    QCOMPARE(room2.autoSpeak, room.autoSpeak);
    QCOMPARE(room2.content, room.content);
    QCOMPARE(room2.interval, room.interval);

    QVERIFY(!config.quitOnClose());
    QCOMPARE(config.cameraResolutionIndex(), 2);
    QCOMPARE(config.cameraResolutionWidth(), 1920);
    QCOMPARE(config.cameraResolutionHeight(), 1080);
    QVERIFY(config.autoLogin());
}

void TestSysConfig::cameraPointerFormsMatchReferenceForms()
{
    SysConfig config;
    CameraSettings in = defaultCameraSettings();
    in.effect = 4;
    in.turn_h = true;
    config.setCameraConfig(&in);
    config.setCameraConfig(static_cast<const CameraSettings *>(nullptr)); // ignored

    CameraSettings byRef;
    CameraSettings byPtr;
    QVERIFY(config.getCameraConfig(byRef));
    QVERIFY(config.getCameraConfig(&byPtr));
    QVERIFY(!config.getCameraConfig(static_cast<CameraSettings *>(nullptr)));
    QCOMPARE(byPtr.effect, 4);
    QCOMPARE(byRef.effect, 4);
    QCOMPARE(byPtr.turn_h, true);
    QCOMPARE(byRef.color_type, 7);
    QCOMPARE(byPtr.index_resolution, 1);
}

void TestSysConfig::wrongTypedKeysReadAsMissing()
{
    writeFile(SysConfig::filePath(), R"({
        "sys": {"sys_mic_device": 12, "sys_record_path": ["a"], "sys_hide_when_close": "yes",
                "sys_auto_update": 1, "sys_open_poweron": true},
        "camera": {"camera_slim": "10", "camera_whitening": 2.5, "camera_blur": true,
                   "camera_turn_h": 1, "camera_effect": {"x": 1}, "camera_index_resolution": "2",
                   "camera_resolution_width": 99999999999, "camera_resolution_height": 720.0},
        "account": {"name": false, "token": null, "zone": 86, "mode": "2", "auto_login": "true"},
        "room": {"room_keywords": 7, "autosend_timespace": "90", "autosendmsg_enabled": true}
    })");
    SysConfig config;
    QVERIFY(config.isLoaded());

    SysSettings sys;
    QVERIFY(config.getSysConfig(sys));
    QCOMPARE(sys.micDevice, QString());
    QCOMPARE(sys.recordPath, QString());
    QVERIFY(!sys.hideWhenClose);
    QVERIFY(!sys.autoUpdate);
    QVERIFY(sys.openPowerOn);
    QVERIFY(config.quitOnClose());
    QVERIFY(config.recordPath().empty());

    CameraSettings camera;
    QVERIFY(config.getCameraConfig(camera));
    QCOMPARE(camera.slim, 0);
    QCOMPARE(camera.whitening, 0);
    QCOMPARE(camera.blur, 0);
    QVERIFY(!camera.turn_h);
    QCOMPARE(camera.effect, 0);
    QCOMPARE(camera.index_resolution, 0);
    QCOMPARE(camera.resolution_width, 0);  // out of int range
    QCOMPARE(camera.resolution_height, 720); // an integral number is an integer
    QCOMPARE(config.cameraResolutionIndex(), 0);

    AccountInfo account = dialogDefaults();
    QVERIFY(config.getAccount(account));
    QCOMPARE(account.name, QString());
    QCOMPARE(account.token, QString());
    QCOMPARE(account.zone, QStringLiteral("+86"));
    QCOMPARE(account.mode, 0);
    QVERIFY(!account.autoLogin);
    QVERIFY(!config.autoLogin());

    RoomToolSettings room;
    QVERIFY(config.getRoomConfig(room));
    QCOMPARE(room.keywords, QString());
    QCOMPARE(room.interval, 0);
    QVERIFY(room.autoSpeak);
}

void TestSysConfig::nonObjectSectionReadsAsMissing_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::newRow("number") << QByteArray("5");
    QTest::newRow("text") << QByteArray("\"on\"");
    QTest::newRow("array") << QByteArray("[1, 2]");
    QTest::newRow("bool") << QByteArray("true");
    QTest::newRow("null") << QByteArray("null");
}

void TestSysConfig::nonObjectSectionReadsAsMissing()
{
    QFETCH(QByteArray, value);
    QByteArray doc = "{\"sys\": @, \"camera\": @, \"account\": @, \"room\": @}";
    doc.replace('@', value);
    writeFile(SysConfig::filePath(), doc);
    {
        SysConfig config;
        QVERIFY(config.isLoaded());
        SysSettings sys;
        QVERIFY(!config.getSysConfig(sys));
        CameraSettings camera;
        QVERIFY(!config.getCameraConfig(camera));
        AccountInfo account = dialogDefaults();
        QVERIFY(!config.getAccount(account));
        RoomToolSettings room;
        QVERIFY(!config.getRoomConfig(room));
        QVERIFY(!config.quitOnClose());
        QCOMPARE(config.cameraResolutionIndex(), -1);
        QVERIFY(config.recordPath().empty());
        QVERIFY(!config.autoLogin());

        // A setter replaces the section with an object.
        sys.hideWhenClose = true;
        config.setSysConfig(sys);
        QVERIFY(config.getSysConfig(sys));
        QVERIFY(!config.quitOnClose());
    }
    const Json::Value saved = savedDocument();
    QVERIFY(saved["sys"].isObject());
    QVERIFY(saved["sys"]["sys_hide_when_close"].asBool());
}

void TestSysConfig::handEditedFileNeverCrashes_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("nested sections") << QByteArray(R"({"sys": {"sys": {"sys": 1}}, "room": {"room": []}})");
    QTest::newRow("objects as values") << QByteArray(R"({"camera": {"camera_slim": {}, "camera_turn_v": []}})");
    QTest::newRow("comments") << QByteArray("// saved by hand\n{\"sys\": {/* x */ \"sys_auto_update\": true}}");
    QTest::newRow("huge numbers") << QByteArray(R"({"camera": {"camera_slim": 1e308, "camera_blur": -1e308, "camera_effect": -2147483649}})");
    QTest::newRow("negative unsigned") << QByteArray(R"({"room": {"autosend_timespace": 18446744073709551615}})");
    QTest::newRow("deep nesting") << QByteArray(5000, '[') + QByteArray(5000, ']');
    QTest::newRow("zero byte in text") << QByteArray("{\"account\": {\"name\": \"a\\u0000b\"}}");
    QTest::newRow("bad utf-8 in text") << QByteArray("{\"account\": {\"name\": \"\xff\xfe\"}}");
}

void TestSysConfig::handEditedFileNeverCrashes()
{
    QFETCH(QByteArray, content);
    writeFile(SysConfig::filePath(), content);
    {
        SysConfig config;
        SysSettings sys;
        config.getSysConfig(sys);
        CameraSettings camera;
        config.getCameraConfig(camera);
        AccountInfo account = dialogDefaults();
        config.getAccount(account);
        RoomToolSettings room;
        config.getRoomConfig(room);
        config.quitOnClose();
        config.cameraResolutionIndex();
        config.cameraResolutionWidth();
        config.cameraResolutionHeight();
        config.recordPath();
        config.autoLogin();
        config.setSysConfig(sys);
        config.setCameraConfig(camera);
        config.setAccount(account);
        config.setRoomConfig(room);
    }
    // Whatever was read, the store writes a document it can read back.
    SysConfig again;
    QVERIFY(again.isLoaded());
    SysSettings sys;
    QVERIFY(again.getSysConfig(sys));
    RoomToolSettings room;
    QVERIFY(again.getRoomConfig(room));
}

void TestSysConfig::readingMissingSectionAddsNullMember()
{
    writeFile(SysConfig::filePath(), "{\"sys\": {}}");
    {
        SysConfig config;
        RoomToolSettings room;
        QVERIFY(!config.getRoomConfig(room));
        SysSettings sys;
        QVERIFY(config.getSysConfig(sys));
    }
    const Json::Value saved = savedDocument();
    QVERIFY(saved.isObject());
    QVERIFY(saved.isMember("room"));
    QVERIFY(saved["room"].isNull());
    // Keys read from an existing section are listed as null too.
    QVERIFY(saved["sys"].isMember("sys_mic_device"));
    QVERIFY(saved["sys"]["sys_mic_device"].isNull());

    // Without a file the same read adds nothing.
    QVERIFY(QFile::remove(SysConfig::filePath()));
    {
        SysConfig config;
        RoomToolSettings room;
        QVERIFY(!config.getRoomConfig(room));
    }
    QCOMPARE(readFile(SysConfig::filePath()).trimmed(), QByteArray("null"));

    // A member holding null reads exactly as a missing one.
    SysConfig config;
    QVERIFY(config.isLoaded());
    RoomToolSettings room;
    QVERIFY(!config.getRoomConfig(room));
}

void TestSysConfig::settersChangeMemoryOnly()
{
    writeFile(SysConfig::filePath(), "{\"sys\": {\"sys_hide_when_close\": true}}");
    const QByteArray before = readFile(SysConfig::filePath());
    {
        auto *config = new SysConfig;
        SysSettings sys;
        config->setSysConfig(sys);
        QVERIFY(config->quitOnClose());
        QCOMPARE(readFile(SysConfig::filePath()), before);
        delete config;
    }
    SysConfig config;
    QVERIFY(config.quitOnClose());
}

void TestSysConfig::failedSaveKeepsPreviousFile()
{
    {
        SysConfig config;
        SysSettings sys;
        sys.recordPath = QStringLiteral("/previous");
        config.setSysConfig(sys);
    }
    const QByteArray previous = readFile(SysConfig::filePath());
    QVERIFY(previous.contains("/previous"));

    {
        SysConfig config;
        RoomToolSettings room;
        room.keywords = QString(200000, QLatin1Char('k')); // far above the limit below
        config.setRoomConfig(room);
        FileSizeLimit limit(16 * 1024);
        QVERIFY(limit.ok());
        QVERIFY(!config.save());
        QCOMPARE(readFile(SysConfig::filePath()), previous);
        // Nothing half-written is left beside the file.
        const QDir dir(QFileInfo(SysConfig::filePath()).absolutePath());
        QCOMPARE(dir.entryList(QDir::Files), QStringList{QStringLiteral("SysConfig.config")});
        // Put the small document back so that the destructor's save succeeds.
        config.setRoomConfig(RoomToolSettings());
    }
    SysConfig config;
    QVERIFY(config.isLoaded());
    QCOMPARE(config.recordPath(), std::string("/previous"));
}

void TestSysConfig::directoryInTheWayFailsCleanly()
{
    QVERIFY(QDir().mkpath(SysConfig::filePath()));
    {
        SysConfig config;
        QVERIFY(!config.isLoaded());
        config.setSysConfig(SysSettings());
        QVERIFY(!config.save());
    }
    QVERIFY(QFileInfo(SysConfig::filePath()).isDir());
    QVERIFY(testsupport::LogCapture::contains(QStringLiteral("SysConfig: cannot write")));
}

void TestSysConfig::readOnlyFolderKeepsPreviousFile()
{
    if (::geteuid() == 0)
        QSKIP("root writes into read-only folders; covered by failedSaveKeepsPreviousFile");
    { SysConfig config; config.setSysConfig(SysSettings()); }
    const QByteArray previous = readFile(SysConfig::filePath());
    const QString folder = QFileInfo(SysConfig::filePath()).absolutePath();
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    {
        SysConfig config;
        config.setRoomConfig(RoomToolSettings());
        QVERIFY(!config.save());
    }
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QCOMPARE(readFile(SysConfig::filePath()), previous);
}

QTEST_GUILESS_MAIN(TestSysConfig)
#include "tst_sysconfig.moc"

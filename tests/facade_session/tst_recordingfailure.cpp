// The recording beside a broadcast: one file across a change of live line,
// and a recording that does not start or ends by itself told to the user
// once, while the broadcast goes on.

#include "RecordingTexts.h"
#include "SessionFixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>

#include <cerrno>

using namespace sessiontest;

namespace {

const std::string kLine1 = "rtmp://127.0.0.1:1935/live/20001?line=1";
const std::string kLine2 = "rtmp://127.0.0.1:1935/live/20001?line=2";

const QString kNotStarted = QStringLiteral("同步录制未能开始，请检查录制文件夹能否写入。直播照常进行。");
const QString kDiskFull = QStringLiteral("同步录制已停止：磁盘空间已满。已录制的内容已保存。直播照常进行。");

int engineCount(const char *op)
{
    return castcore::control().log().count(op);
}

// A recording file in a folder of the test's own.
std::string recordFile(const SessionFixture &f, const QString &name = QStringLiteral("2026-1210-1700-00.mp4"))
{
    const QString folder = f.env.workPath() + QStringLiteral("/摩瓦视频");
    QDir().mkpath(folder);
    return (folder + QLatin1Char('/') + name).toStdString();
}

// Opens the broadcast recording to `path` and waits until it is live.
bool goLive(SessionFixture &f, const std::string &path)
{
    const int before = f.recorder.count("liveStatus");
    return f.proxy->openLive(path) && f.waitFor("liveStatus", before + 1) &&
           f.recorder.last("liveStatus").at(1).toInt() == 0;
}

// Live, recording to `path` through a recorder that answers without
// recording, so the engine has no recording of its own that would make an
// end an older one's.
bool goLiveRecording(SessionFixture &f, const std::string &path)
{
    castcore::control().bools().push("Start", true);
    return goLive(f, path) && QTest::qWaitFor([&] { return f.proxy->isRecording(); });
}

// The engine loses the push of line 1 while live; line 2 takes over.
bool fallBackToLine2(SessionFixture &f)
{
    castcore::control().setPushOutcome(kLine1, false);
    const int before = f.recorder.count("liveStatus");
    f.engine()->firePushState(kLine1, false);
    if (!f.waitFor("liveStatus", before + 1) || f.recorder.last("liveStatus").at(1).toInt() != 0)
        return false;
    f.settle();
    return authport::control().log().last("ConfirmLiveLine")->args.at(0) == kLine2;
}

} // namespace

class RecordingFailureTest : public QObject
{
    Q_OBJECT

private slots:
    void texts_data();
    void texts();
    void lineChangeKeepsTheRecording();
    void refusedStartIsToldOnce();
    void unwritableFolderIsTold_data();
    void unwritableFolderIsTold();
    void endedRecordingIsToldOnce_data();
    void endedRecordingIsToldOnce();
    void endOfAnotherRecordingSaysNothing();
};

void RecordingFailureTest::texts_data()
{
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("text");
    const QString full = kDiskFull;
    const QString unwritable = QStringLiteral("同步录制已停止：录制文件夹无法写入。已录制的内容已保存。直播照常进行。");
    const QString writeError = QStringLiteral("同步录制已停止：写入文件出错。已录制的内容已保存。直播照常进行。");
    QTest::newRow("ENOSPC") << ENOSPC << full;
    QTest::newRow("EDQUOT") << EDQUOT << full;
    QTest::newRow("EROFS") << EROFS << unwritable;
    QTest::newRow("EACCES") << EACCES << unwritable;
    QTest::newRow("EPERM") << EPERM << unwritable;
    QTest::newRow("no system error")
        << 0 << QStringLiteral("同步录制已停止：视频设置已改变。已录制的内容已保存。直播照常进行。");
    QTest::newRow("EIO") << EIO << writeError;
    QTest::newRow("EFBIG") << EFBIG << writeError;
    QTest::newRow("negative") << -ENOSPC << writeError;
}

void RecordingFailureTest::texts()
{
    QFETCH(int, error);
    QFETCH(QString, text);
    QCOMPARE(livetexts::recordingEndedMessage(error), text);
    QCOMPARE(livetexts::recordingNotStartedMessage(), kNotStarted);
}

void RecordingFailureTest::lineChangeKeepsTheRecording()
{
    SessionFixture f;
    QVERIFY(f.login());
    QSignalSpy failed(f.proxy.get(), SIGNAL(recordingFailed(QString)));
    const std::string path = recordFile(f);
    QVERIFY(goLive(f, path));
    QTRY_VERIFY(f.proxy->isRecording());
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(QString::fromStdString(path)).size() > 0, 30000);

    QVERIFY(fallBackToLine2(f));
    // Live again on line 2, recording on into the same file.
    QCOMPARE(f.callsOf("SetLive"), (QStringList{"SetLive(true)", "SetLive(true)"}));
    QCOMPARE(engineCount("Start"), 1);
    QCOMPARE(engineCount("Stop"), 0);
    QVERIFY(f.proxy->isLiving());
    QVERIFY(f.proxy->isRecording());
    QCOMPARE(f.proxy->recordingPath(), path);
    QVERIFY(f.engine()->recorder().isRecording());
    QVERIFY(f.engine()->media().recording());
    QCOMPARE(failed.size(), 0);

    f.proxy->stopLive(false);
    f.settle();
    QVERIFY(!f.proxy->isRecording());
    QVERIFY(!f.engine()->media().recording());
    QCOMPARE(QDir(QFileInfo(QString::fromStdString(path)).path()).entryList(QDir::Files).size(), 1);
}

void RecordingFailureTest::refusedStartIsToldOnce()
{
    SessionFixture f;
    QVERIFY(f.login());
    QSignalSpy failed(f.proxy.get(), SIGNAL(recordingFailed(QString)));
    castcore::control().bools().push("Start", false);
    QVERIFY(goLive(f, recordFile(f)));
    QTRY_COMPARE(failed.size(), 1);
    QCOMPARE(failed.at(0).at(0).toString(), kNotStarted);
    QVERIFY(!f.proxy->isRecording());
    QCOMPARE(f.proxy->recordingPath(), std::string());
    // The broadcast goes on.
    QVERIFY(f.proxy->isLiving());
    QCOMPARE(f.callsOf("SetLive"), QStringList{"SetLive(true)"});
    QCOMPARE(f.recorder.count("liveStatus"), 1);

    // A line change does not try again, nor tell again.
    QVERIFY(fallBackToLine2(f));
    QCOMPARE(engineCount("Start"), 1);
    QCOMPARE(failed.size(), 1);
    QVERIFY(!f.proxy->isRecording());
    QVERIFY(f.proxy->isLiving());
}

void RecordingFailureTest::unwritableFolderIsTold_data()
{
    QTest::addColumn<QString>("where");
    QTest::newRow("folder without write permission") << QStringLiteral("read-only");
    QTest::newRow("below a regular file") << QStringLiteral("a-file");
}

void RecordingFailureTest::unwritableFolderIsTold()
{
    QFETCH(QString, where);
    SessionFixture f;
    const QString place = f.env.workPath() + QLatin1Char('/') + where;
    QString folder;
    if (where == QLatin1String("read-only")) {
        QVERIFY(QDir().mkpath(place));
        QVERIFY(QFile::setPermissions(place, QFileDevice::ReadOwner | QFileDevice::ExeOwner |
                                                 QFileDevice::ReadGroup | QFileDevice::ExeGroup |
                                                 QFileDevice::ReadOther | QFileDevice::ExeOther));
        QFile probe(place + QStringLiteral("/probe"));
        if (probe.open(QIODevice::WriteOnly)) {
            probe.close();
            probe.remove();
            QFile::setPermissions(place, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
            QSKIP("this user writes into a folder without write permission (root); the row below a file covers it");
        }
        folder = place;
    } else {
        QFile file(place);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        folder = place + QStringLiteral("/rec");
    }
    QVERIFY(f.login());
    QSignalSpy failed(f.proxy.get(), SIGNAL(recordingFailed(QString)));
    // The engine itself tries the file.
    const std::string path = (folder + QStringLiteral("/2026-1210-1700-00.mp4")).toStdString();
    QVERIFY(goLive(f, path));
    QTRY_COMPARE(failed.size(), 1);
    QCOMPARE(failed.at(0).at(0).toString(), kNotStarted);
    QCOMPARE(engineCount("Start"), 1);
    QVERIFY(!f.proxy->isRecording());
    QVERIFY(!f.engine()->recorder().isRecording());
    QVERIFY(f.proxy->isLiving());
    QVERIFY(!QFileInfo::exists(QString::fromStdString(path)));
    QFile::setPermissions(place, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

void RecordingFailureTest::endedRecordingIsToldOnce_data()
{
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("text");
    QTest::newRow("disk full") << ENOSPC << kDiskFull;
    QTest::newRow("new video settings")
        << 0 << QStringLiteral("同步录制已停止：视频设置已改变。已录制的内容已保存。直播照常进行。");
}

void RecordingFailureTest::endedRecordingIsToldOnce()
{
    QFETCH(int, error);
    QFETCH(QString, text);
    SessionFixture f;
    QVERIFY(f.login());
    QSignalSpy failed(f.proxy.get(), SIGNAL(recordingFailed(QString)));
    const std::string path = recordFile(f);
    QVERIFY(goLiveRecording(f, path));

    f.engine()->fireRecordingEnded(error);
    QTRY_COMPARE(failed.size(), 1);
    QCOMPARE(failed.at(0).at(0).toString(), text);
    QVERIFY(!f.proxy->isRecording());
    QCOMPARE(f.proxy->recordingPath(), std::string());
    QVERIFY(!f.engine()->recorder().isRecording());
    QVERIFY(f.proxy->isLiving());
    QCOMPARE(f.recorder.count("liveStatus"), 1);

    // The same end again, from the engine or straight to the facade: no
    // second report. A line change starts no new file.
    f.engine()->fireRecordingEnded(error);
    f.proxy->OnRecordingEnded(path.c_str(), error);
    QVERIFY(fallBackToLine2(f));
    QCOMPARE(failed.size(), 1);
    QCOMPARE(engineCount("Start"), 1);
    QVERIFY(!f.proxy->isRecording());
    QVERIFY(f.proxy->isLiving());

    // Stopping the broadcast has no recording left to stop.
    const int stops = engineCount("Stop");
    f.proxy->stopLive(false);
    f.settle();
    QCOMPARE(engineCount("Stop"), stops);
}

void RecordingFailureTest::endOfAnotherRecordingSaysNothing()
{
    SessionFixture f;
    QVERIFY(f.login());
    QSignalSpy failed(f.proxy.get(), SIGNAL(recordingFailed(QString)));
    const std::string path = recordFile(f);
    QVERIFY(goLiveRecording(f, path));

    // Another file's end leaves the running recording alone.
    f.proxy->OnRecordingEnded(recordFile(f, QStringLiteral("2026-1210-1600-00.mp4")).c_str(), ENOSPC);
    f.settle();
    QCOMPARE(failed.size(), 0);
    QVERIFY(f.proxy->isRecording());

    // An end that arrives after the recording was stopped is nobody's.
    f.proxy->stopLive(false);
    f.proxy->OnRecordingEnded(path.c_str(), ENOSPC);
    f.settle();
    QCOMPARE(failed.size(), 0);
    QVERIFY(!f.proxy->isRecording());
}

std::unique_ptr<QObject> makeRecordingFailureTest()
{
    return std::make_unique<RecordingFailureTest>();
}

#include "tst_recordingfailure.moc"

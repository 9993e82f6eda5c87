// The room-manager assistant on a started facade: room events come from the
// account-service layer through the decoder and MvListener, server actions
// reach the layer on the facade's workers, and their results come back
// through the facade's pump.

#include "AuthControl.h"
#include "ChatLogFile.h"
#include "CurrentDialog.h"
#include "DebugCapture.h"
#include "MessageCodec.h"
#include "ModalDriver.h"
#include "RoomManageTool.h"
#include "SessionFixture.h"
#include "SpeechSchedule.h"
#include "SysConfig.h"
#include "UrlOpenRecorder.h"
#include "WidgetPictures.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QHeaderView>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStyleOptionTab>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>

using namespace testsupport;
using sessiontest::SessionFixture;

namespace {

std::string chatMessage(int uid, const std::string &nick, const std::string &content)
{
    ChatRecord r;
    r.senderId = uid;
    r.nickname = nick;
    r.content = content;
    r.level = 3;
    return chatlink::encodeChat(r);
}

std::string blacklistMessage(int uid)
{
    BlacklistRecord r;
    r.status = 0;
    r.userId = uid;
    return chatlink::encodeBlacklist(r);
}

authport::MuteEntry mute(const std::string &uid, const std::string &nick, const std::string &op,
                         const std::string &until)
{
    authport::MuteEntry e;
    e.userId = uid;
    e.nick = nick;
    e.opUser = op;
    e.invalidTimestamp = until;
    return e;
}

enum class Events { Run, Hold };

// Waits for `n` calls of a layer op. With Events::Hold no GUI event runs
// meanwhile, so that no timer of the tool ticks on its own.
bool waitCalls(const std::string &op, int n, Events events = Events::Run, int timeoutMs = 5000)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (authport::control().log().count(op) < n) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        if (events == Events::Run)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// A pause in which nothing of the GUI thread runs.
void settleWorkers()
{
    authport::control().waitIdle();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

QStringList sentChats()
{
    QStringList out;
    for (const mvplatform::CallRecord &r : authport::control().log().of("SendChat"))
        out << QString::fromStdString(r.args.at(0));
    return out;
}

// The tool as the live panel keeps it: made hidden at sign-in with the
// settings store and the facade, fed by the listener's room signals.
class ToolFixture : public SessionFixture
{
public:
    ToolFixture()
    {
        SpeechSchedule::resetCountersForTests();
        config = std::make_unique<SysConfig>();
    }
    ~ToolFixture()
    {
        authport::control().gates().openAll();
        tool.reset();
        // Let the workers finish before the facade goes.
        authport::control().waitIdle();
    }

    RoomManageTool *signIn(bool withLogin = true)
    {
        if (withLogin && !proxy->isLoggedIn() && !login())
            return nullptr;
        tool = std::make_unique<RoomManageTool>();
        tool->LoadSettings(config.get());
        tool->SetLiveProxy(proxy.get());
        const auto q = Qt::QueuedConnection;
        QObject::connect(&listener, SIGNAL(signal_notifyNewBarrage(int, QString, QString, int)), tool.get(),
                         SLOT(OnAddBarrageMsg(int, QString, QString, int)), q);
        QObject::connect(&listener, SIGNAL(signal_notifyDonaterMsg(QString, int)), tool.get(),
                         SLOT(OnAddDonaterRecord(QString, int)), q);
        QObject::connect(&listener, SIGNAL(signal_notifyAmberMsg(QString, int, QString, int)), tool.get(),
                         SLOT(OnAddAmberRecord(QString, int, QString, int)), q);
        QObject::connect(&listener, SIGNAL(signal_notifyMeritMsg(QString, int)), tool.get(),
                         SLOT(OnAddMeritrRecord(QString, int)), q);
        QObject::connect(&listener, SIGNAL(signal_notifyNewBlacker(int)), tool.get(), SLOT(OnBlackUserId(int)), q);
        return tool.get();
    }

    template <class T>
    T *child(const char *name) const
    {
        return tool->findChild<T *>(QLatin1String(name));
    }

    void tick(RoomManageTool::Tick which, int times = 1)
    {
        for (int i = 0; i < times; ++i) {
            QTimerEvent event(tool->tickTimerId(which));
            QCoreApplication::sendEvent(tool.get(), &event);
        }
    }

    // Types into a field and confirms with its button, answering the tip.
    QString confirm(const char *field, const QString &text, const char *button)
    {
        if (auto *edit = child<QLineEdit>(field))
            edit->setText(text);
        else
            child<QComboBox>(field)->setCurrentText(text);
        ModalDriver driver;
        driver.pressNext(QStringLiteral("OK"));
        child<QPushButton>(button)->click();
        driver.waitDone();
        return driver.last().labels.value(0);
    }

    void setKeywords(const QString &text) { confirm("ledit_keyWords", text, "button_confirm_1"); }
    void setChecked(const char *box, bool on)
    {
        auto *check = child<QCheckBox>(box);
        if (check->isChecked() != on)
            check->click();
    }

    QTableWidget *table() const { return child<QTableWidget>("table_disablerecord"); }

    // Switches to the records tab with the reply given and waits for the
    // table to show its rows.
    void showRecords(const std::string &reply, int expectedRows)
    {
        authport::control().scriptReply("GetMuteList", 0, reply);
        auto *tabs = child<QTabWidget>("tabWidget");
        const int fetches = authport::control().log().count("GetMuteList");
        tabs->setCurrentIndex(0);
        tabs->setCurrentIndex(1);
        QVERIFY(waitCalls("GetMuteList", fetches + 1));
        if (expectedRows >= 0)
            QTRY_COMPARE(table()->rowCount(), expectedRows);
    }

    QString dbPath() const { return env.workPath() + QStringLiteral("/DisableChatUser.db"); }

    // The store's rows read over a second connection.
    QMap<QString, qint64> storedRows() const
    {
        QMap<QString, qint64> rows;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("reader"));
            db.setDatabaseName(dbPath());
            if (db.open()) {
                QSqlQuery q(db);
                q.exec(QStringLiteral("select userID, timeSpan from UserInfoTab"));
                while (q.next())
                    rows.insert(q.value(0).toString(), q.value(1).toLongLong());
            }
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("reader"));
        return rows;
    }
    void storeRow(const QString &uid, qint64 storedAt) const
    {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("writer"));
            db.setDatabaseName(dbPath());
            db.open();
            QSqlQuery q(db);
            q.prepare(QStringLiteral("insert into UserInfoTab values(?,?)"));
            q.addBindValue(uid);
            q.addBindValue(storedAt);
            q.exec();
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("writer"));
    }

    QString chatLogPath() const { return env.tempPath() + QStringLiteral("/MorvaShow/chatMsg.txt"); }
    QStringList chatLogLines() const
    {
        QFile file(chatLogPath());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    std::unique_ptr<SysConfig> config;
    std::unique_ptr<RoomManageTool> tool;
};

// Clicks the "解禁" cell of a row.
void clickUnmute(QTableWidget *table, int row)
{
    QTableWidgetItem *cell = table->item(row, 3);
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, table->visualItemRect(cell).center());
}

QJsonObject roomSectionOnDisk()
{
    QFile file(SysConfig::filePath());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object().value(QStringLiteral("room")).toObject();
}

void writeSettingsFile(const QJsonObject &root)
{
    QDir().mkpath(QFileInfo(SysConfig::filePath()).absolutePath());
    QFile file(SysConfig::filePath());
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    file.write(QJsonDocument(root).toJson());
}

} // namespace

class RoomToolTest : public QObject
{
    Q_OBJECT

private slots:
    void formHasItsWidgetsAndSizes();
    void formWidgetGeometry_data();
    void formWidgetGeometry();
    void textsFitWithTheShippedFont();
    void threeCoarseTimers();
    void tabStyleDrawsFlatTabs_data();
    void tabStyleDrawsFlatTabs();
    void showToolRecordsCurrentDialog();

    void loadSettings_data();
    void loadSettings();
    void everyChangeReachesTheStore();

    void keywordMute_data();
    void keywordMute();
    void keywordMuteEndToEnd();
    void messagesSeenWithAutoMuteOffAreDropped();

    void unusableMuteListsEmptyTheTable_data();
    void unusableMuteListsEmptyTheTable();
    void recordsShowCellsAndOwnMutes();
    void everyRecordsTabSwitchFetches();
    void unmuteLiftsOnlyOnSuccess_data();
    void unmuteLiftsOnlyOnSuccess();
    void unmuteCancelledOrInFlightSendsNothing();
    void refusalDuringAnotherQuestion_data();
    void refusalDuringAnotherQuestion();
    void rowWithoutNumericIdSendsNoUnmute();

    void speechIntervalInput_data();
    void speechIntervalInput();
    void speechCyclesSuffixes();
    void speechCounterOutlivesSwitchAndTool();
    void storedIntervalOutsideRangeRunsAs90();
    void placeholderContentIsNeverPosted();

    void giftSummary();
    void quietMinuteWritesNothing();
    void chatLogLines();
    void chatLogButtonOpensTheFile();

    void eventsWhileHiddenAndANewSignIn();
    void deletionWhileServerCallsAreHeld();
    void deletionDuringTheUnmuteQuestion();
    void deletionDuringATip();
    void withoutAFacadeNothingReachesTheServer();
    void unopenableStoreLeavesTheToolWorking();
};

// ---- form --------------------------------------------------------------------

void RoomToolTest::formHasItsWidgetsAndSizes()
{
    ToolFixture f;
    RoomManageTool *tool = f.signIn(false);
    QCOMPARE(tool->windowTitle(), QStringLiteral("房管助手"));
    QVERIFY(!tool->isVisible());
    QCOMPARE(tool->minimumSize(), QSize(489, 298));
    QCOMPARE(tool->maximumSize(), QSize(489, 298));
    QCOMPARE(tool->windowFlags() & (Qt::WindowType_Mask | Qt::WindowCloseButtonHint),
             Qt::Dialog | Qt::WindowCloseButtonHint);

    auto *tabs = f.child<QTabWidget>("tabWidget");
    QCOMPARE(tabs->tabPosition(), QTabWidget::North);
    QCOMPARE(tabs->currentIndex(), 0);
    const QStringList titles = {QStringLiteral("自动禁言"), QStringLiteral("禁言记录"), QStringLiteral("礼物记录"),
                                QStringLiteral("自动发言"), QStringLiteral("弹幕记录")};
    const QStringList pages = {"tab", "tab_2", "tab_3", "tab_4", "tab_5"};
    QCOMPARE(tabs->count(), 5);
    tool->show();
    for (int i = 0; i < 5; ++i) {
        QCOMPARE(tabs->tabText(i), titles.at(i));
        QCOMPARE(tabs->widget(i)->objectName(), pages.at(i));
        QCOMPARE(tabs->tabBar()->tabRect(i).size(), QSize(100, 30));
    }

    QTableWidget *table = f.table();
    QCOMPARE(table->columnCount(), 4);
    QStringList headers;
    QList<int> widths;
    for (int c = 0; c < 4; ++c) {
        headers << table->horizontalHeaderItem(c)->text();
        widths << table->columnWidth(c);
    }
    // The end time's column takes what the action's does not need.
    QCOMPARE(widths, (QList<int>{125, 125, 140, 110}));
    QCOMPARE(headers, (QStringList{QStringLiteral("本封禁用户名"), QStringLiteral("操作人"),
                                   QStringLiteral("自动解封时间"), QStringLiteral("操作")}));
    QCOMPARE(table->editTriggers(), QAbstractItemView::NoEditTriggers);
    QCOMPARE(table->selectionMode(), QAbstractItemView::NoSelection);
    QCOMPARE(table->focusPolicy(), Qt::NoFocus);
    QVERIFY(table->verticalHeader()->isHidden());
    QVERIFY(!table->horizontalHeader()->sectionsClickable());
    QCOMPARE(table->horizontalHeader()->sectionResizeMode(0), QHeaderView::Fixed);
    QCOMPARE(table->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QCOMPARE(table->frameShadow(), QFrame::Plain);

    auto *combo = f.child<QComboBox>("comboBox_time");
    QVERIFY(combo->isEditable());
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    QCOMPARE(items, (QStringList{"90", "120", "150", "180"}));
    QCOMPARE(combo->currentText(), QStringLiteral("90"));

    auto *content = f.child<QLineEdit>("ledit_msgContent");
    content->setFocus();
    QTest::keyClicks(content, QString(31, QLatin1Char('x')));
    QCOMPARE(content->text(), QString(30, QLatin1Char('x')));
}

void RoomToolTest::formWidgetGeometry_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("text");
    QTest::newRow("check_open") << "check_open" << QRect(20, 30, 71, 16) << "开启";
    QTest::newRow("button_confirm_1") << "button_confirm_1" << QRect(400, 110, 61, 23) << "确定";
    QTest::newRow("label") << "label" << QRect(40, 56, 401, 31) << "用户弹幕包含以下任意一个关键字时将会被禁言一小时";
    QTest::newRow("label_2") << "label_2" << QRect(40, 155, 441, 31)
                             << "多个关键字用空格分隔，最多支持3个关键字，输入完成后点击确定按钮开始生效";
    QTest::newRow("ledit_keyWords") << "ledit_keyWords" << QRect(40, 110, 351, 20) << "";
    QTest::newRow("table_disablerecord") << "table_disablerecord" << QRect(-1, -1, 500, 281) << "";
    QTest::newRow("textBrowser") << "textBrowser" << QRect(-1, -1, 495, 268) << "";
    QTest::newRow("label_3") << "label_3" << QRect(40, 56, 401, 31) << "发言时间间隔：";
    QTest::newRow("label_4") << "label_4" << QRect(40, 155, 441, 31) << "在此输入发言内容，不超过30个字符，点击确定后生效！";
    QTest::newRow("ledit_msgContent") << "ledit_msgContent" << QRect(40, 110, 351, 20) << "";
    QTest::newRow("button_confirm_2") << "button_confirm_2" << QRect(400, 110, 61, 23) << "确定";
    QTest::newRow("check_open_speech") << "check_open_speech" << QRect(20, 30, 101, 16) << "开启自动发言";
    QTest::newRow("comboBox_time") << "comboBox_time" << QRect(150, 60, 69, 22) << "";
    QTest::newRow("label_5") << "label_5" << QRect(230, 60, 54, 21) << "s";
    QTest::newRow("button_barrage_record") << "button_barrage_record" << QRect(120, 90, 111, 23) << "打开弹幕记录";
}

void RoomToolTest::formWidgetGeometry()
{
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    QFETCH(QString, text);
    ToolFixture f;
    f.signIn(false);
    QWidget *w = f.tool->findChild<QWidget *>(name);
    QVERIFY(w);
    QCOMPARE(w->geometry(), geometry);
    const QVariant shown = w->property("text");
    if (shown.isValid() && !qobject_cast<QComboBox *>(w))
        QCOMPARE(shown.toString(), text);
    QCOMPARE(f.child<QTabWidget>("tabWidget")->geometry(), QRect(0, 0, 531, 301));
}

// With the fonts the program ships with, the keyword hint shows to its last
// character and a mute's end time, as the server sends it, shows whole
// beside the other three columns.
void RoomToolTest::textsFitWithTheShippedFont()
{
    ToolFixture f;
    QVERIFY(f.signIn());
    f.tool->ShowTool();
    auto *hint = f.child<QLabel>("label_2");
    hint->ensurePolished();
    const int advance = QFontMetrics(hint->font()).horizontalAdvance(hint->text());
    QVERIFY2(advance <= hint->contentsRect().width(), qPrintable(QStringLiteral("the hint needs %1 px in %2 px of %3")
                                                                   .arg(advance)
                                                                   .arg(hint->contentsRect().width())
                                                                   .arg(hint->font().toString())));
    QVERIFY(renderOf(*f.tool).save(QStringLiteral(MORVA_PICTURE_DIR "/roomtool-keywords.png")));

    f.showRecords(authport::AuthControl::muteListJson({mute("21", "乙", "房管B", "2026-12-31 23:59:59"),
                                                       mute("22", "丙", "小助手自动封禁", "2026-12-31 23:59:59")}),
                  2);
    QTableWidget *table = f.table();
    QCOMPARE(table->item(0, 2)->text(), QStringLiteral("2026-12-31 23:59:59"));
    QHeaderView *header = table->horizontalHeader();
    // The tool's edge cuts the table: what shows of a column ends there.
    const int toolEdge = f.tool->width() - table->viewport()->mapTo(f.tool.get(), QPoint(0, 0)).x();
    for (int c = 0; c < 4; ++c) {
        const int left = table->columnViewportPosition(c);
        const int shown = std::min(left + table->columnWidth(c), toolEdge) - left;
        // The view says what the widest cell of the column needs.
        const int needed =
            std::max(static_cast<QAbstractItemView *>(table)->sizeHintForColumn(c), header->sectionSizeHint(c));
        QVERIFY2(needed <= shown,
                 qPrintable(QStringLiteral("column %1 needs %2 px in %3 px").arg(c).arg(needed).arg(shown)));
    }
    QVERIFY(renderOf(*f.tool).save(QStringLiteral(MORVA_PICTURE_DIR "/roomtool-records.png")));
}

void RoomToolTest::threeCoarseTimers()
{
    ToolFixture f;
    RoomManageTool *tool = f.signIn(false);
    QMap<int, Qt::TimerType> timers;
    for (const QAbstractEventDispatcher::TimerInfo &t : QAbstractEventDispatcher::instance()->registeredTimers(tool))
        timers.insert(t.interval, t.timerType);
    QCOMPARE(timers.keys(), (QList<int>{200, 1000, 60000}));
    QCOMPARE(timers.value(200), Qt::CoarseTimer);
    QCOMPARE(timers.value(1000), Qt::CoarseTimer);
    // Qt itself makes a coarse timer of a minute very coarse.
    QCOMPARE(timers.value(60000), Qt::VeryCoarseTimer);
}

void RoomToolTest::tabStyleDrawsFlatTabs_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<bool>("filled");
    QTest::addColumn<QColor>("textColour");
    QTest::newRow("selected") << int(QStyle::State_Selected) << true << QColor("#ff6c00");
    QTest::newRow("hovered") << int(QStyle::State_MouseOver) << false << QColor("#ff6c00");
    QTest::newRow("plain") << 0 << false << QColor("#5d5d5d");
}

void RoomToolTest::tabStyleDrawsFlatTabs()
{
    QFETCH(int, state);
    QFETCH(bool, filled);
    QFETCH(QColor, textColour);
    ToolFixture f;
    f.signIn(false);
    QStyle *style = f.child<QTabWidget>("tabWidget")->tabBar()->style();
    QCOMPARE(style->sizeFromContents(QStyle::CT_TabBarTab, nullptr, QSize(7, 7), nullptr), QSize(100, 30));

    QStyleOptionTab option;
    option.rect = QRect(0, 0, 100, 30);
    option.text = QStringLiteral("礼物记录");
    option.state = QStyle::State(state) | QStyle::State_Enabled;
    QImage picture(100, 30, QImage::Format_ARGB32);
    picture.fill(Qt::transparent);
    {
        QPainter painter(&picture);
        style->drawControl(QStyle::CE_TabBarTabShape, &option, &painter, nullptr);
    }
    // No shape: nothing at all is drawn for it.
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 100; ++x)
            QCOMPARE(picture.pixel(x, y), QColor(Qt::transparent).rgba());
    {
        QPainter painter(&picture);
        style->drawControl(QStyle::CE_TabBarTabLabel, &option, &painter, nullptr);
    }
    QCOMPARE(QColor::fromRgba(picture.pixel(1, 1)), filled ? QColor("#f8fcff") : QColor(Qt::transparent));
    // The text is drawn centred in the pen's colour: its strongest pixel.
    QColor strongest;
    int best = -1;
    QRect inked;
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 100; ++x) {
            const QColor c = QColor::fromRgba(picture.pixel(x, y));
            const int ink = filled ? 255 * 3 - c.red() - c.green() - c.blue() : c.alpha();
            if (ink > 40)
                inked |= QRect(x, y, 1, 1);
            if (ink > best) {
                best = ink;
                strongest = c;
            }
        }
    }
    QCOMPARE(strongest.rgb(), textColour.rgb());
    QVERIFY(qAbs(inked.center().x() - 50) <= 2);
    QVERIFY(qAbs(inked.center().y() - 15) <= 2);
}

void RoomToolTest::showToolRecordsCurrentDialog()
{
    ToolFixture f;
    RoomManageTool *tool = f.signIn(false);
    currentDialog = nullptr;
    tool->ShowTool();
    QVERIFY(tool->isVisible());
    QVERIFY(!tool->isModal());
    QCOMPARE(currentDialog.data(), static_cast<QDialog *>(tool));
    tool->close();
    QVERIFY(!tool->isVisible());
    f.tool.reset();
    QVERIFY(currentDialog.isNull());
}

// ---- settings ----------------------------------------------------------------

void RoomToolTest::loadSettings_data()
{
    QTest::addColumn<QString>("file");   // "none", "no room" or the room section as JSON
    QTest::addColumn<bool>("withStore");
    QTest::addColumn<QString>("keywords");
    QTest::addColumn<bool>("autoMute");
    QTest::addColumn<QString>("interval");
    QTest::addColumn<QString>("content");
    QTest::addColumn<bool>("autoSpeak");

    QTest::newRow("no store") << "none" << false << "" << false << "90" << "" << false;
    QTest::newRow("no file: defaults written") << "none" << true << "" << false << "90" << "" << false;
    QTest::newRow("no room section: defaults written") << "no room" << true << "" << false << "90" << "" << false;
    QTest::newRow("room section")
        << R"({"room_keywords_enabled":true,"room_keywords":"广告 刷屏","autosendmsg_enabled":true,)"
           R"("autosend_timespace":150,"autosend_content":"欢迎来到直播间"})"
        << true << "广告 刷屏" << true << "150" << "欢迎来到直播间" << true;
    QTest::newRow("interval edge 20") << R"({"autosend_timespace":20})" << true << "" << false << "20" << "" << false;
    QTest::newRow("interval 0 reads as 90") << R"({"autosend_timespace":0})" << true << "" << false << "90" << ""
                                            << false;
    QTest::newRow("interval 7201 reads as 90") << R"({"autosend_timespace":7201})" << true << "" << false << "90"
                                               << "" << false;
    QTest::newRow("missing interval reads as 90") << R"({"room_keywords":"abc"})" << true << "abc" << false << "90"
                                                  << "" << false;
}

void RoomToolTest::loadSettings()
{
    QFETCH(QString, file);
    QFETCH(bool, withStore);
    QFETCH(QString, keywords);
    QFETCH(bool, autoMute);
    QFETCH(QString, interval);
    QFETCH(QString, content);
    QFETCH(bool, autoSpeak);

    ToolFixture f;
    if (file != QLatin1String("none")) {
        QJsonObject root{{QStringLiteral("sys"), QJsonObject{}}};
        if (file != QLatin1String("no room"))
            root.insert(QStringLiteral("room"), QJsonDocument::fromJson(file.toUtf8()).object());
        writeSettingsFile(root);
        f.config = std::make_unique<SysConfig>();
        QVERIFY(f.config->isLoaded());
    }
    QVERIFY(f.login());
    f.tool = std::make_unique<RoomManageTool>();
    f.tool->LoadSettings(withStore ? f.config.get() : nullptr);

    QCOMPARE(f.child<QLineEdit>("ledit_keyWords")->text(), keywords);
    QCOMPARE(f.child<QCheckBox>("check_open")->isChecked(), autoMute);
    QCOMPARE(f.child<QComboBox>("comboBox_time")->currentText(), interval);
    QCOMPARE(f.child<QLineEdit>("ledit_msgContent")->text(), content);
    QCOMPARE(f.child<QCheckBox>("check_open_speech")->isChecked(), autoSpeak);
    QCOMPARE(f.tool->settings().interval, interval.toInt());

    f.tool.reset();
    f.config.reset(); // writes the file
    const QJsonObject room = roomSectionOnDisk();
    if (!withStore) {
        QVERIFY(room.isEmpty());
        return;
    }
    QCOMPARE(room.value("room_keywords_enabled").toBool(), autoMute);
    QCOMPARE(room.value("room_keywords").toString(), keywords);
    QCOMPARE(room.value("autosendmsg_enabled").toBool(), autoSpeak);
    QCOMPARE(room.value("autosend_content").toString(), content);
    QCOMPARE(room.value("autosend_timespace").toInt(-1), interval.toInt());
    QCOMPARE(room.size(), 5);
}

void RoomToolTest::everyChangeReachesTheStore()
{
    ToolFixture f;
    QVERIFY(f.signIn());
    RoomToolSettings stored;

    f.setChecked("check_open", true);
    QVERIFY(f.config->getRoomConfig(stored));
    QVERIFY(stored.autoMute);
    f.setChecked("check_open_speech", true);
    QVERIFY(f.config->getRoomConfig(stored));
    QVERIFY(stored.autoSpeak);

    QCOMPARE(f.confirm("ledit_keyWords", QStringLiteral("加微信 代练"), "button_confirm_1"),
             QStringLiteral("禁言设置成功！"));
    QVERIFY(f.config->getRoomConfig(stored));
    QCOMPARE(stored.keywords, QStringLiteral("加微信 代练"));
    QVERIFY(stored.autoMute); // the keyword confirm leaves the switch alone

    f.child<QComboBox>("comboBox_time")->setCurrentText(QStringLiteral("120"));
    QCOMPARE(f.confirm("ledit_msgContent", QStringLiteral("关注主播不迷路"), "button_confirm_2"),
             QStringLiteral("自动发言设置成功！"));
    QVERIFY(f.config->getRoomConfig(stored));
    QCOMPARE(stored.content, QStringLiteral("关注主播不迷路"));
    QCOMPARE(stored.interval, 120);

    f.setChecked("check_open", false);
    f.tool.reset();
    f.config.reset();
    const QJsonObject room = roomSectionOnDisk();
    QCOMPARE(room.value("room_keywords_enabled"), QJsonValue(false));
    QCOMPARE(room.value("room_keywords"), QJsonValue(QStringLiteral("加微信 代练")));
    QCOMPARE(room.value("autosendmsg_enabled"), QJsonValue(true));
    QCOMPARE(room.value("autosend_content"), QJsonValue(QStringLiteral("关注主播不迷路")));
    QCOMPARE(room.value("autosend_timespace"), QJsonValue(120));
}

// ---- keyword mute -------------------------------------------------------------

void RoomToolTest::keywordMute_data()
{
    QTest::addColumn<QString>("keywords");
    QTest::addColumn<bool>("autoMute");
    QTest::addColumn<QString>("nick");
    QTest::addColumn<QString>("content");
    QTest::addColumn<bool>("muted");

    QTest::newRow("two blanks then one") << "广告  刷屏 加微信" << true << "观众" << "快来加微信吧" << true;
    QTest::newRow("empty parts are no keyword") << "广告  刷屏 加微信" << true << "观众" << "普通 消息" << false;
    QTest::newRow("case-sensitive") << "vip" << true << "观众" << "VIP专属" << false;
    QTest::newRow("same case") << "vip" << true << "观众" << "买vip" << true;
    QTest::newRow("nick only") << "广告" << true << "广告哥" << "你好" << false;
    QTest::newRow("no keywords") << "" << true << "观众" << "广告" << false;
    QTest::newRow("auto-mute off") << "广告" << false << "观众" << "广告" << false;
    QTest::newRow("placeholder is no keyword") << "txt_DisableChat_text3" << true << "观众"
                                               << "txt_DisableChat_text3" << false;
    QTest::newRow("tab belongs to the keyword") << "a\tb" << true << "观众" << "a b" << false;
}

void RoomToolTest::keywordMute()
{
    QFETCH(QString, keywords);
    QFETCH(bool, autoMute);
    QFETCH(QString, nick);
    QFETCH(QString, content);
    QFETCH(bool, muted);

    ToolFixture f;
    QVERIFY(f.signIn());
    f.setKeywords(keywords);
    f.setChecked("check_open", autoMute);
    if (keywords == KeywordList::kPlaceholder)
        QCOMPARE(f.tool->settings().keywords, QString());

    f.tool->OnAddBarrageMsg(1001, nick, content, 2);
    f.tick(RoomManageTool::MuteTick);
    if (muted) {
        QVERIFY(waitCalls("MuteUser", 1));
        QCOMPARE(authport::control().log().last("MuteUser")->args,
                 (std::vector<std::string>{"1001", "2", "3600"}));
    } else {
        QTest::qWait(50);
        QCOMPARE(authport::control().log().count("MuteUser"), 0);
    }
}

void RoomToolTest::keywordMuteEndToEnd()
{
    ToolFixture f;
    QVERIFY(f.signIn());
    f.setKeywords(QStringLiteral("广告"));
    f.setChecked("check_open", true);

    // Two matching messages of one sender make two requests; a third user
    // is muted by somebody else.
    authport::control().fireRoomMessage(chatMessage(501, "甲", "看广告"));
    authport::control().fireRoomMessage(chatMessage(501, "甲", "还是广告"));
    authport::control().fireRoomMessage(chatMessage(502, "乙", "正常发言"));
    QVERIFY(waitCalls("MuteUser", 2));
    QTRY_COMPARE(f.recorder.count("newBlacker"), 2);
    const std::vector<mvplatform::CallRecord> calls = authport::control().log().of("MuteUser");
    QCOMPARE(calls.size(), size_t(2));
    for (const mvplatform::CallRecord &call : calls) {
        QCOMPARE(call.args, (std::vector<std::string>{"501", "2", "3600"}));
        QVERIFY(call.thread != std::this_thread::get_id());
    }
    QTRY_VERIFY(f.storedRows().contains(QStringLiteral("501")));
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    QVERIFY(qAbs(f.storedRows().value(QStringLiteral("501")) - now) < 10000);

    authport::control().fireRoomMessage(blacklistMessage(777));
    QTRY_COMPARE(f.recorder.count("newBlacker"), 3);
    QCoreApplication::processEvents();
    QCOMPARE(f.storedRows().keys(), QStringList{QStringLiteral("501")});
    QCOMPARE(authport::control().log().count("MuteUser"), 2);
}

void RoomToolTest::messagesSeenWithAutoMuteOffAreDropped()
{
    ToolFixture f;
    QVERIFY(f.signIn());
    f.setKeywords(QStringLiteral("广告"));
    f.tool->OnAddBarrageMsg(601, QStringLiteral("丙"), QStringLiteral("广告"), 1);
    f.tick(RoomManageTool::MuteTick);
    f.setChecked("check_open", true);
    f.tick(RoomManageTool::MuteTick);
    QTest::qWait(50);
    QCOMPARE(authport::control().log().count("MuteUser"), 0);
    // A confirmation nobody awaited stores nothing.
    f.tool->OnBlackUserId(601);
    QVERIFY(f.storedRows().isEmpty());
}

// ---- mute records ------------------------------------------------------------

void RoomToolTest::unusableMuteListsEmptyTheTable_data()
{
    QTest::addColumn<QString>("reply");
    QTest::newRow("no JSON") << "{\"data\":[";
    QTest::newRow("not an object") << "[1,2]";
    QTest::newRow("no data") << "{\"code\":0}";
    QTest::newRow("data no array") << "{\"data\":{\"mute_user_id\":\"1\"}}";
    QTest::newRow("empty") << "";
}

void RoomToolTest::unusableMuteListsEmptyTheTable()
{
    QFETCH(QString, reply);
    ToolFixture f;
    QVERIFY(f.signIn());
    f.showRecords(authport::AuthControl::muteListJson({mute("11", "甲", "房管", "2026-01-01 10:00:00"),
                                                       mute("12", "乙", "房管", "2026-01-01 11:00:00")}),
                  2);
    f.showRecords(reply.toStdString(), 0);
}

void RoomToolTest::recordsShowCellsAndOwnMutes()
{
    ToolFixture f;
    QVERIFY(f.signIn());
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    f.storeRow(QStringLiteral("21"), now - 59 * 60000);  // within the hour
    f.storeRow(QStringLiteral("22"), now - 3600000);     // exactly an hour ago
    f.showRecords(authport::AuthControl::muteListJson({mute("21", "<b>甲</b>", "房管A", "2026-01-01 10:00:00"),
                                                       mute("22", "乙", "房管B", "2026-01-01 11:00:00"),
                                                       mute("23", "丙", "房管C", "2026-01-01 12:00:00")}),
                  3);
    QTableWidget *table = f.table();
    const QStringList ops = {QStringLiteral("小助手自动封禁"), QStringLiteral("房管B"), QStringLiteral("房管C")};
    const QStringList nicks = {QStringLiteral("<b>甲</b>"), QStringLiteral("乙"), QStringLiteral("丙")};
    for (int row = 0; row < 3; ++row) {
        QTableWidgetItem *name = table->item(row, 0);
        QCOMPARE(name->text(), nicks.at(row));
        QCOMPARE(name->textAlignment(), int(Qt::AlignHCenter | Qt::AlignVCenter));
        QCOMPARE(name->data(Qt::UserRole), QVariant(21 + row));
        QCOMPARE(name->data(Qt::UserRole + 1).toString(), QString::number(21 + row));
        QCOMPARE(table->item(row, 1)->text(), ops.at(row));
        QCOMPARE(table->item(row, 2)->text(), QStringLiteral("2026-01-01 1%1:00:00").arg(row));
        QTableWidgetItem *action = table->item(row, 3);
        QCOMPARE(action->text(), QStringLiteral("解禁"));
        QCOMPARE(action->textAlignment(), int(Qt::AlignHCenter | Qt::AlignVCenter));
        QCOMPARE(action->foreground(), QBrush(Qt::red, Qt::SolidPattern));
    }
    // The old row stays in the store.
    QVERIFY(f.storedRows().contains(QStringLiteral("22")));
    QCOMPARE(f.tool->FindRowByUid(22), table->item(1, 0));
    QCOMPARE(f.tool->FindRowByUid(99), nullptr);
}

void RoomToolTest::everyRecordsTabSwitchFetches()
{
    ToolFixture f;
    QVERIFY(f.signIn());
    auto *tabs = f.child<QTabWidget>("tabWidget");
    tabs->setCurrentIndex(2);
    tabs->setCurrentIndex(1);
    QVERIFY(waitCalls("GetMuteList", 1));
    tabs->setCurrentIndex(3);
    tabs->setCurrentIndex(1);
    QVERIFY(waitCalls("GetMuteList", 2));
    // Closing and showing again with the tab current fetches nothing.
    f.tool->ShowTool();
    f.tool->close();
    f.tool->ShowTool();
    tabs->setCurrentIndex(4);
    tabs->setCurrentIndex(0);
    QTest::qWait(50);
    QCOMPARE(authport::control().log().count("GetMuteList"), 2);
    QVERIFY(authport::control().log().last("GetMuteList")->thread != std::this_thread::get_id());
}

void RoomToolTest::unmuteLiftsOnlyOnSuccess_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("reply");
    QTest::addColumn<bool>("lifted");
    QTest::addColumn<QString>("tip");
    QTest::newRow("success") << 0 << "{\"code\":0}" << true << "";
    QTest::newRow("refusal") << 1 << "{\"code\":1,\"data\":\"该用户未被禁言\"}" << false << "该用户未被禁言";
    QTest::newRow("no JSON") << 0 << "<html>busy</html>" << false << "";
    QTest::newRow("JSON without success") << 0 << "{}" << false << "";
}

void RoomToolTest::unmuteLiftsOnlyOnSuccess()
{
    QFETCH(int, code);
    QFETCH(QString, reply);
    QFETCH(bool, lifted);
    QFETCH(QString, tip);

    ToolFixture f;
    QVERIFY(f.signIn());
    f.tool->ShowTool();
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    f.storeRow(QStringLiteral("31"), now - 60000);
    const std::string list = authport::AuthControl::muteListJson(
        {mute("31", "甲", "房管", "t1"), mute("32", "乙", "房管", "t2"), mute("31", "甲", "房管", "t3")});
    f.showRecords(list, 3);

    authport::control().scriptReply("Unmute", code, reply.toStdString());
    auto tipDriver = std::make_unique<ModalDriver>();
    {
        // The tool asks and tells in one message box, so each showing needs
        // a driver that has not met it yet.
        ModalDriver driver;
        driver.pressNext(QStringLiteral("OK"));
        clickUnmute(f.table(), 0);
        QVERIFY(driver.waitDone());
        QCOMPARE(driver.last().labels.value(0), QStringLiteral("确定要解封该用户吗？"));
        QCOMPARE(driver.last().windowTitle, QStringLiteral("提示"));
        QVERIFY(driver.last().hasButton(QStringLiteral("Cancel")));
    }
    QVERIFY(waitCalls("Unmute", 1));
    QCOMPARE(authport::control().log().last("Unmute")->args, std::vector<std::string>{"31"});
    QVERIFY(authport::control().log().last("Unmute")->thread != std::this_thread::get_id());
    if (!tip.isEmpty()) {
        tipDriver->pressNext(QStringLiteral("OK"));
        QVERIFY(tipDriver->waitDone());
        QCOMPARE(tipDriver->last().labels.value(0), tip);
        QVERIFY(!tipDriver->last().hasButton(QStringLiteral("Cancel")));
    }
    if (lifted) {
        QTRY_COMPARE(f.table()->rowCount(), 1);
        QCOMPARE(f.table()->item(0, 0)->data(Qt::UserRole), QVariant(32));
        QVERIFY(!f.storedRows().contains(QStringLiteral("31")));
        return;
    }
    QTest::qWait(250); // two pump periods
    QCOMPARE(f.table()->rowCount(), 3);
    QVERIFY(f.storedRows().contains(QStringLiteral("31")));
    // The user may try again.
    authport::control().scriptReply("Unmute", 0, "{\"code\":0}");
    ModalDriver again;
    again.pressNext(QStringLiteral("OK"));
    clickUnmute(f.table(), 0);
    QVERIFY(waitCalls("Unmute", 2));
    QTRY_COMPARE(f.table()->rowCount(), 1);
    QVERIFY(!f.storedRows().contains(QStringLiteral("31")));
}

void RoomToolTest::unmuteCancelledOrInFlightSendsNothing()
{
    ToolFixture f;
    QVERIFY(f.signIn());
    f.tool->ShowTool();
    f.showRecords(authport::AuthControl::muteListJson({mute("41", "甲", "房管", "t1")}), 1);

    ModalDriver driver;
    driver.pressNext(QStringLiteral("Cancel"));
    clickUnmute(f.table(), 0);
    QVERIFY(driver.waitDone());
    // Other columns ask nothing.
    QTableWidget *table = f.table();
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, table->visualItemRect(table->item(0, 1)).center());
    QTest::qWait(50);
    QCOMPARE(driver.seen().size(), 1);
    QCOMPARE(authport::control().log().count("Unmute"), 0);

    authport::control().scriptReply("Unmute", 0, "{\"code\":0}");
    authport::control().gates().close("Unmute");
    ModalDriver confirm;
    confirm.pressNext(QStringLiteral("OK"));
    clickUnmute(table, 0);
    QVERIFY(confirm.waitDone());
    QVERIFY(authport::control().gates().waitForWaiting("Unmute", 1, 5000));
    // While it runs, another click asks nothing and sends nothing.
    ModalDriver watcher(300);
    watcher.pressNext(QStringLiteral("OK"));
    clickUnmute(table, 0);
    watcher.waitDone(1000);
    QVERIFY(watcher.seen().isEmpty());
    authport::control().gates().open("Unmute");
    QTRY_COMPARE(table->rowCount(), 0);
    QCOMPARE(authport::control().log().count("Unmute"), 1);
}

void RoomToolTest::refusalDuringAnotherQuestion_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QStringList>("unmuted"); // the users an Unmute was sent for, in order
    QTest::newRow("cancel") << "Cancel" << QStringList{"51"};
    QTest::newRow("ok") << "OK" << QStringList{"51", "52"};
}

void RoomToolTest::refusalDuringAnotherQuestion()
{
    QFETCH(QString, answer);
    QFETCH(QStringList, unmuted);
    ToolFixture f;
    QVERIFY(f.signIn());
    f.tool->ShowTool();
    f.showRecords(authport::AuthControl::muteListJson({mute("51", "甲", "房管", "t1"), mute("52", "乙", "房管", "t2")}),
                  2);
    authport::control().scriptReply("Unmute", 1, "{\"code\":1,\"data\":\"该用户未被禁言\"}");
    authport::control().scriptReply("Unmute", 0, "{\"code\":0}");
    authport::control().gates().close("Unmute");
    {
        ModalDriver first;
        first.pressNext(QStringLiteral("OK"));
        clickUnmute(f.table(), 0);
        QVERIFY(first.waitDone());
    }
    QVERIFY(authport::control().gates().waitForWaiting("Unmute", 1, 5000));

    // The refusal for 51 comes back while the question for 52 is open: it
    // gets a box of its own above the question and leaves the question as
    // it was.
    ModalDriver driver;
    QPointer<QWidget> question;
    ModalSnapshot questionAfterTip;
    driver.onNext([&](QWidget *box) {
        question = box;
        authport::control().gates().open("Unmute");
        // Should no box of its own come, the question is ended so that the
        // checks below run.
        QTimer::singleShot(15000, box, [box] {
            if (auto *dialog = qobject_cast<QDialog *>(box))
                dialog->reject();
        });
    });
    driver.onNext([&](QWidget *tip) {
        ModalDriver::press(tip, QStringLiteral("OK"));
        // Met again once the tip's own loop has ended.
        QTimer::singleShot(0, [&] {
            if (!question)
                return;
            questionAfterTip = ModalDriver::snapshot(question);
            ModalDriver::press(question, answer);
        });
    });
    clickUnmute(f.table(), 1);
    QVERIFY(driver.waitDone());
    QTRY_VERIFY(!question || !question->isVisible());
    QCOMPARE(driver.seen().size(), 2);
    QCOMPARE(driver.seen().at(0).labels.value(0), QStringLiteral("确定要解封该用户吗？"));
    const ModalSnapshot tip = driver.seen().at(1);
    QCOMPARE(tip.labels.value(0), QStringLiteral("该用户未被禁言"));
    QVERIFY(!tip.hasButton(QStringLiteral("Cancel")));
    QCOMPARE(questionAfterTip.labels.value(0), QStringLiteral("确定要解封该用户吗？"));
    QVERIFY(questionAfterTip.hasButton(QStringLiteral("Cancel")));
    QVERIFY(waitCalls("Unmute", unmuted.size()));
    settleWorkers();
    QStringList sent;
    for (const mvplatform::CallRecord &r : authport::control().log().of("Unmute"))
        sent << QString::fromStdString(r.args.at(0));
    QCOMPARE(sent, unmuted);
    // 51 stays after its refusal; 52 goes only when the question was answered OK.
    QTRY_COMPARE(f.table()->rowCount(), 3 - unmuted.size());
    QCOMPARE(f.tool->FindRowByUid(51), f.table()->item(0, 0));
    QVERIFY(!QApplication::activeModalWidget());
}

void RoomToolTest::rowWithoutNumericIdSendsNoUnmute()
{
    ToolFixture f;
    QVERIFY(f.signIn());
    f.tool->ShowTool();
    authport::control().scriptMuteList(authport::MuteListVariant::NumericIds);
    auto *tabs = f.child<QTabWidget>("tabWidget");
    tabs->setCurrentIndex(1);
    QVERIFY(waitCalls("GetMuteList", 1));
    QTRY_VERIFY(f.table()->rowCount() > 0);
    QCOMPARE(f.table()->item(0, 0)->data(Qt::UserRole), QVariant(0));
    QCOMPARE(f.table()->item(0, 0)->data(Qt::UserRole + 1).toString(), QString());
    clickUnmute(f.table(), 0);
    QTest::qWait(100);
    QVERIFY(!QApplication::activeModalWidget());
    QCOMPARE(authport::control().log().count("Unmute"), 0);
}

// ---- automatic speech --------------------------------------------------------

void RoomToolTest::speechIntervalInput_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("20") << "20" << true;
    QTest::newRow("7200") << "7200" << true;
    QTest::newRow("19") << "19" << false;
    QTest::newRow("7201") << "7201" << false;
    QTest::newRow("no number") << "abc" << false;
    QTest::newRow("empty") << "" << false;
}

void RoomToolTest::speechIntervalInput()
{
    QFETCH(QString, input);
    QFETCH(bool, accepted);
    ToolFixture f;
    QVERIFY(f.signIn());
    f.child<QLineEdit>("ledit_msgContent")->setText(QStringLiteral("你好"));
    const QString tip = f.confirm("comboBox_time", input, "button_confirm_2");
    RoomToolSettings stored;
    QVERIFY(f.config->getRoomConfig(stored));
    if (accepted) {
        QCOMPARE(tip, QStringLiteral("自动发言设置成功！"));
        QCOMPARE(stored.interval, input.toInt());
        QCOMPARE(stored.content, QStringLiteral("你好"));
    } else {
        QCOMPARE(tip, QStringLiteral("时间输入必须在 20 到 7200 之间"));
        QCOMPARE(stored.interval, 90);
        QCOMPARE(stored.content, QString());
    }
}

void RoomToolTest::speechCyclesSuffixes()
{
    ToolFixture f;
    QVERIFY(f.signIn());
    f.child<QLineEdit>("ledit_msgContent")->setText(QStringLiteral("关注"));
    f.confirm("comboBox_time", QStringLiteral("20"), "button_confirm_2");
    f.setChecked("check_open_speech", true);
    f.tick(RoomManageTool::SpeechTick, 19);
    settleWorkers();
    QCOMPARE(authport::control().log().count("SendChat"), 0);
    f.tick(RoomManageTool::SpeechTick);
    QVERIFY(waitCalls("SendChat", 1, Events::Hold));
    // One interval after the other, as the clock would give them: each
    // message is on its worker before the next one is due.
    for (int n = 2; n <= 4; ++n) {
        f.tick(RoomManageTool::SpeechTick, 20);
        QVERIFY(waitCalls("SendChat", n, Events::Hold));
    }
    QCOMPARE(sentChats(), (QStringList{QStringLiteral("关注 "), QStringLiteral("关注."), QStringLiteral("关注"),
                                       QStringLiteral("关注 ")}));
    QVERIFY(authport::control().log().last("SendChat")->thread != std::this_thread::get_id());
}

void RoomToolTest::speechCounterOutlivesSwitchAndTool()
{
    ToolFixture f;
    QVERIFY(f.signIn());
    f.child<QLineEdit>("ledit_msgContent")->setText(QStringLiteral("hi"));
    f.confirm("comboBox_time", QStringLiteral("20"), "button_confirm_2");
    f.setChecked("check_open_speech", true);
    f.tick(RoomManageTool::SpeechTick, 5);
    f.setChecked("check_open_speech", false);
    f.tick(RoomManageTool::SpeechTick, 30);
    QCOMPARE(SpeechSchedule::secondsCounter(), 5);
    f.setChecked("check_open_speech", true);
    f.tick(RoomManageTool::SpeechTick, 14);
    settleWorkers();
    QCOMPARE(authport::control().log().count("SendChat"), 0);
    f.tick(RoomManageTool::SpeechTick);
    QVERIFY(waitCalls("SendChat", 1, Events::Hold));

    // Sign out and in: the new tool goes on with the next suffix and the
    // counter where it stood.
    f.tick(RoomManageTool::SpeechTick, 7);
    f.tool.reset();
    f.signIn(false);
    QVERIFY(f.child<QCheckBox>("check_open_speech")->isChecked());
    f.tick(RoomManageTool::SpeechTick, 12);
    settleWorkers();
    QCOMPARE(authport::control().log().count("SendChat"), 1);
    f.tick(RoomManageTool::SpeechTick);
    QVERIFY(waitCalls("SendChat", 2, Events::Hold));
    QCOMPARE(sentChats(), (QStringList{QStringLiteral("hi "), QStringLiteral("hi.")}));
}

void RoomToolTest::storedIntervalOutsideRangeRunsAs90()
{
    writeSettingsFile(QJsonObject{});
    ToolFixture f;
    writeSettingsFile(QJsonObject{{QStringLiteral("room"),
                                   QJsonObject{{QStringLiteral("autosendmsg_enabled"), true},
                                               {QStringLiteral("autosend_content"), QStringLiteral("嗨")},
                                               {QStringLiteral("autosend_timespace"), 0}}}});
    f.config = std::make_unique<SysConfig>();
    QVERIFY(f.signIn());
    f.tick(RoomManageTool::SpeechTick, 89);
    settleWorkers();
    QCOMPARE(authport::control().log().count("SendChat"), 0);
    f.tick(RoomManageTool::SpeechTick);
    QVERIFY(waitCalls("SendChat", 1, Events::Hold));
    QCOMPARE(sentChats(), QStringList{QStringLiteral("嗨 ")});
}

void RoomToolTest::placeholderContentIsNeverPosted()
{
    ToolFixture f;
    QVERIFY(f.signIn());
    f.child<QLineEdit>("ledit_msgContent")->setText(QStringLiteral("txt_AutoSendMsg_text2"));
    QCOMPARE(f.confirm("comboBox_time", QStringLiteral("20"), "button_confirm_2"), QStringLiteral("自动发言设置成功！"));
    QCOMPARE(f.tool->settings().content, QString());
    f.setChecked("check_open_speech", true);
    f.tick(RoomManageTool::SpeechTick, 60);
    settleWorkers();
    QCOMPARE(authport::control().log().count("SendChat"), 0);
    QCOMPARE(SpeechSchedule::secondsCounter(), 0);
}

// ---- gifts and chat log ------------------------------------------------------

void RoomToolTest::giftSummary()
{
    ToolFixture f;
    QVERIFY(f.signIn());
    RoomManageTool *tool = f.tool.get();
    tool->OnAddDonaterRecord(QStringLiteral("乙"), 1);
    tool->OnAddMeritrRecord(QStringLiteral("丁"), 2);
    tool->OnAddAmberRecord(QStringLiteral("<i>戊</i>"), 2, QStringLiteral("棒棒糖"), 10);
    tool->OnAddDonaterRecord(QStringLiteral("甲"), 1);
    tool->OnAddDonaterRecord(QStringLiteral("乙"), 2);
    tool->OnAddMeritrRecord(QStringLiteral("己"), 4);
    tool->OnAddDonaterRecord(QStringLiteral("乙"), 3);
    tool->OnAddMeritrRecord(QStringLiteral("庚"), 3);
    const QDateTime before = QDateTime::currentDateTime();
    f.tick(RoomManageTool::SummaryTick);
    const QDateTime after = QDateTime::currentDateTime();

    auto *browser = f.child<QTextBrowser>("textBrowser");
    const QStringList lines = browser->toPlainText().split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 7);
    QVERIFY(lines.at(0) == before.toString("yyyy-MM-dd hh:mm") || lines.at(0) == after.toString("yyyy-MM-dd hh:mm"));
    // Donors summed, in the texts' own order (乙 U+4E59 before 甲 U+7532).
    QCOMPARE(lines.mid(1), (QStringList{QStringLiteral("乙赠送主播6珍珠"), QStringLiteral("甲赠送主播1珍珠"),
                                        QStringLiteral("丁送出中级功勋月票一张"), QStringLiteral("己"),
                                        QStringLiteral("庚送出高级功勋月票一张"),
                                        QStringLiteral("<i>戊</i>赠送主播一个棒棒糖")}));
    const QString html = browser->toHtml();
    QVERIFY(html.contains(QStringLiteral("#a55c12")));
    QVERIFY(html.contains(QStringLiteral("#007eff")));

    // The next minute starts empty.
    tool->OnAddDonaterRecord(QStringLiteral("甲"), 5);
    f.tick(RoomManageTool::SummaryTick);
    const QStringList more = browser->toPlainText().split(QLatin1Char('\n'));
    QCOMPARE(more.size(), 9);
    QCOMPARE(more.last(), QStringLiteral("甲赠送主播5珍珠"));
}

void RoomToolTest::quietMinuteWritesNothing()
{
    ToolFixture f;
    QVERIFY(f.signIn());
    f.tick(RoomManageTool::SummaryTick, 3);
    QCOMPARE(f.child<QTextBrowser>("textBrowser")->toPlainText(), QString());
}

void RoomToolTest::chatLogLines()
{
    ToolFixture f;
    // The folder is made when it is missing.
    QDir(f.env.tempPath() + QStringLiteral("/MorvaShow")).removeRecursively();
    const QDateTime start = QDateTime::currentDateTime();
    QVERIFY(f.signIn());
    f.tool->OnAddBarrageMsg(7, QStringLiteral("张三"), QStringLiteral("你好 <b>"), 1);
    f.tool->OnAddBarrageMsg(8, QStringLiteral("李四"), QString(), 1);
    authport::control().fireRoomMessage(chatMessage(9, "王五", "第二条"));
    QTRY_COMPARE(f.chatLogLines().size(), 3);
    const QDateTime end = QDateTime::currentDateTime();
    const QStringList lines = f.chatLogLines();

    const QRegularExpression first(QStringLiteral("^本次消息记录\\(开始时间：(.{19})\\)$"));
    const QRegularExpressionMatch m = first.match(lines.at(0));
    QVERIFY2(m.hasMatch(), qPrintable(lines.at(0)));
    const QDateTime stamp = QDateTime::fromString(m.captured(1), QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    QVERIFY(stamp >= start.addSecs(-1) && stamp <= end);
    const QRegularExpression line(QStringLiteral("^(.+:)  (\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d)  (.*)$"));
    QCOMPARE(line.match(lines.at(1)).captured(1), QStringLiteral("张三:"));
    QCOMPARE(line.match(lines.at(1)).captured(3), QStringLiteral("你好 <b>"));
    QCOMPARE(line.match(lines.at(2)).captured(1), QStringLiteral("王五:"));
    QCOMPARE(line.match(lines.at(2)).captured(3), QStringLiteral("第二条"));

    f.tool.reset();
    QCOMPARE(QFileInfo(f.chatLogPath()).size(), qint64(0));
}

void RoomToolTest::chatLogButtonOpensTheFile()
{
    ToolFixture f;
    QVERIFY(f.signIn());
    UrlOpenRecorder recorder({QStringLiteral("file")});
    f.child<QPushButton>("button_barrage_record")->click();
    QCOMPARE(recorder.urls(), QList<QUrl>{QUrl::fromLocalFile(f.chatLogPath())});
}

// ---- life ---------------------------------------------------------------------

void RoomToolTest::eventsWhileHiddenAndANewSignIn()
{
    ToolFixture f;
    QVERIFY(f.signIn());
    QVERIFY(!f.tool->isVisible());
    f.setKeywords(QStringLiteral("广告"));
    f.setChecked("check_open", true);
    authport::control().fireRoomMessage(chatMessage(801, "甲", "广告"));
    QVERIFY(waitCalls("MuteUser", 1));
    QTRY_VERIFY(f.storedRows().contains(QStringLiteral("801")));
    GiftRecord gift;
    gift.giftId = 1;
    gift.senderId = 802;
    gift.nickname = "乙";
    authport::control().fireRoomMessage(chatlink::encodeGift(gift));
    QTRY_COMPARE(f.recorder.count("donater"), 1);
    QCoreApplication::processEvents();
    f.tick(RoomManageTool::SummaryTick);
    QVERIFY(f.child<QTextBrowser>("textBrowser")->toPlainText().contains(QStringLiteral("乙赠送主播1珍珠")));
    f.showRecords(authport::AuthControl::muteListJson({mute("801", "甲", "op", "t")}), 1);
    QCOMPARE(f.chatLogLines().size(), 2);

    // Sign out with a message pending and one awaiting confirmation.
    f.tool->OnAddBarrageMsg(803, QStringLiteral("丙"), QStringLiteral("广告"), 1);
    f.tool.reset();
    QCOMPARE(QFileInfo(f.chatLogPath()).size(), qint64(0));

    RoomManageTool *tool = f.signIn(false);
    // A first run (no settings file) keeps the changes of the last sign-in.
    QVERIFY(!f.config->isLoaded());
    QVERIFY(f.child<QCheckBox>("check_open")->isChecked());
    QCOMPARE(f.table()->rowCount(), 0);
    QCOMPARE(f.child<QTextBrowser>("textBrowser")->toPlainText(), QString());
    QCOMPARE(f.chatLogLines().size(), 1);
    QVERIFY(f.chatLogLines().at(0).startsWith(QStringLiteral("本次消息记录")));
    // The settings came back from the store; nothing was left pending.
    QCOMPARE(tool->settings().keywords, QStringLiteral("广告"));
    f.tick(RoomManageTool::MuteTick);
    QTest::qWait(50);
    QCOMPARE(authport::control().log().count("MuteUser"), 1);
    f.tick(RoomManageTool::SummaryTick);
    QCOMPARE(f.child<QTextBrowser>("textBrowser")->toPlainText(), QString());
}

void RoomToolTest::deletionWhileServerCallsAreHeld()
{
    ToolFixture f;
    QVERIFY(f.signIn());
    f.tool->ShowTool();
    f.showRecords(authport::AuthControl::muteListJson({mute("901", "甲", "op", "t")}), 1);
    f.setKeywords(QStringLiteral("广告"));
    f.setChecked("check_open", true);

    auto &gates = authport::control().gates();
    gates.close("GetMuteList");
    gates.close("Unmute");
    gates.close("MuteUser");
    ModalDriver driver;
    driver.pressNext(QStringLiteral("OK"));
    clickUnmute(f.table(), 0);
    QVERIFY(driver.waitDone());
    auto *tabs = f.child<QTabWidget>("tabWidget");
    tabs->setCurrentIndex(0);
    tabs->setCurrentIndex(1);
    f.tool->OnAddBarrageMsg(902, QStringLiteral("乙"), QStringLiteral("广告"), 1);
    f.tick(RoomManageTool::MuteTick);
    QVERIFY(gates.waitForWaiting("GetMuteList", 1, 5000));
    QVERIFY(gates.waitForWaiting("Unmute", 1, 5000));
    QVERIFY(gates.waitForWaiting("MuteUser", 1, 5000));

    f.tool.reset(); // sign-out
    gates.openAll();
    QVERIFY(authport::control().waitIdle());
    QTest::qWait(300); // the pump runs the results, which find no tool
    QCOMPARE(authport::control().log().count("Unmute"), 1);
    // The next tool works as usual.
    f.signIn(false);
    f.showRecords(authport::AuthControl::muteListJson({mute("903", "丙", "op", "t")}), 1);
}

void RoomToolTest::deletionDuringTheUnmuteQuestion()
{
    ToolFixture f;
    QVERIFY(f.signIn());
    f.tool->ShowTool();
    f.showRecords(authport::AuthControl::muteListJson({mute("911", "甲", "op", "t")}), 1);
    ModalDriver driver;
    driver.onNext([&f](QWidget *) { f.tool.reset(); });
    clickUnmute(f.table(), 0);
    QVERIFY(driver.waitDone());
    QVERIFY(!f.tool);
    QTest::qWait(100);
    QCOMPARE(authport::control().log().count("Unmute"), 0);
    QVERIFY(currentDialog.isNull());
}

void RoomToolTest::deletionDuringATip()
{
    ToolFixture f;
    QVERIFY(f.signIn());
    f.tool->ShowTool();
    f.child<QLineEdit>("ledit_keyWords")->setText(QStringLiteral("广告"));
    ModalDriver driver;
    driver.onNext([&f](QWidget *) { f.tool.reset(); });
    QPointer<QPushButton> button = f.child<QPushButton>("button_confirm_1");
    QTest::mouseClick(button, Qt::LeftButton);
    QVERIFY(driver.waitDone());
    QVERIFY(!f.tool && !button);
    QCOMPARE(driver.last().labels.value(0), QStringLiteral("禁言设置成功！"));
    QVERIFY(currentDialog.isNull());
    // The change reached the store before the tip.
    RoomToolSettings stored;
    QVERIFY(f.config->getRoomConfig(stored));
    QCOMPARE(stored.keywords, QStringLiteral("广告"));
}

void RoomToolTest::withoutAFacadeNothingReachesTheServer()
{
    ToolFixture f;
    QVERIFY(f.login());
    f.tool = std::make_unique<RoomManageTool>();
    f.tool->LoadSettings(f.config.get());
    f.setKeywords(QStringLiteral("广告"));
    f.setChecked("check_open", true);
    f.child<QLineEdit>("ledit_msgContent")->setText(QStringLiteral("hi"));
    f.confirm("comboBox_time", QStringLiteral("20"), "button_confirm_2");
    f.setChecked("check_open_speech", true);
    f.tool->OnAddBarrageMsg(1, QStringLiteral("甲"), QStringLiteral("广告"), 1);
    f.tick(RoomManageTool::MuteTick);
    f.tick(RoomManageTool::SpeechTick, 20);
    f.child<QTabWidget>("tabWidget")->setCurrentIndex(1);
    settleWorkers();
    for (const char *op : {"MuteUser", "SendChat", "GetMuteList", "Unmute"})
        QCOMPARE(authport::control().log().count(op), 0);
}

void RoomToolTest::unopenableStoreLeavesTheToolWorking()
{
    ToolFixture f;
    QVERIFY(QDir(f.env.workPath()).mkdir(QStringLiteral("DisableChatUser.db")));
    DebugCapture debug;
    QVERIFY(f.signIn());
    QVERIFY(debug.contains(QStringLiteral("failed to connect.")));
    f.setKeywords(QStringLiteral("广告"));
    f.setChecked("check_open", true);
    f.tool->OnAddBarrageMsg(921, QStringLiteral("甲"), QStringLiteral("广告"), 1);
    f.tick(RoomManageTool::MuteTick);
    QVERIFY(waitCalls("MuteUser", 1));
    QTRY_COMPARE(f.recorder.count("newBlacker"), 1);
    QCoreApplication::processEvents();
    f.showRecords(authport::AuthControl::muteListJson({mute("921", "甲", "房管", "t")}), 1);
    QCOMPARE(f.table()->item(0, 1)->text(), QStringLiteral("房管"));
}

QTEST_MAIN(RoomToolTest)
#include "tst_roomtool.moc"

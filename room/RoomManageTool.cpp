#include "RoomManageTool.h"

#include "CSttThreadPool.h"
#include "CurrentDialog.h"
#include "CustomTabStyle1.h"
#include "LiveProxy.h"
#include "MutedUserStore.h"
#include "RoomReplies.h"
#include "SpeechSchedule.h"
#include "SysConfig.h"
#include "UITaskQueueWnd.h"
#include "ui_RoomManageTool.h"

#include <QDesktopServices>
#include <QMessageBox>
#include <QPointer>
#include <QTabBar>
#include <QTextCursor>
#include <QTimer>
#include <QTimerEvent>
#include <QUrl>

namespace {

constexpr int kTickMs[3] = {200, 1000, 60000};
// A keyword mute lasts one hour; type 2 is the service's chat mute.
constexpr int kMuteType = 2;
constexpr int kMuteSeconds = 3600;
constexpr int kRecordsTab = 1;
constexpr int kActionColumn = 3;
constexpr int kStoreKeyRole = Qt::UserRole + 1;

} // namespace

RoomManageTool::RoomManageTool(QWidget *parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::RoomManageTool>())
{
    m_ui->setupUi(this);
    setFixedSize(size());
    setWindowFlags(Qt::Dialog | Qt::WindowCloseButtonHint);
    m_ui->tabWidget->setTabPosition(QTabWidget::North);
    auto *tabStyle = new CustomTabStyle1;
    // Made after the form, so the tab bar goes before its style does.
    tabStyle->setParent(this);
    m_ui->tabWidget->tabBar()->setStyle(tabStyle);

    initForm();
    for (int i = 0; i < 3; ++i)
        m_timerIds[i] = startTimer(kTickMs[i], Qt::CoarseTimer);
    ApplySettings();
    openChatLog();
}

RoomManageTool::~RoomManageTool()
{
    for (const QPointer<QMessageBox> &box : m_openBoxes) {
        if (box && box->isVisible())
            box->reject();
    }
    if (currentDialog == this)
        currentDialog = nullptr;
    for (int &id : m_timerIds) {
        if (id)
            killTimer(id);
        id = 0;
    }
    m_chatLog.truncateAndClose();
    m_store.reset();
}

void RoomManageTool::initForm()
{
    openUserDb();

    QTableWidget *table = m_ui->table_disablerecord;
    table->setColumnCount(4);
    // The end time ("yyyy-MM-dd HH:mm:ss") needs more than the action's "解禁".
    const int widths[] = {125, 125, 140, 110};
    for (int column = 0; column < 4; ++column)
        table->setColumnWidth(column, widths[column]);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionMode(QAbstractItemView::NoSelection);
    table->setFocusPolicy(Qt::NoFocus);
    table->verticalHeader()->setHidden(true);
    table->setHorizontalHeaderLabels({QStringLiteral("本封禁用户名"), QStringLiteral("操作人"),
                                      QStringLiteral("自动解封时间"), QStringLiteral("操作")});
    table->horizontalHeader()->setSectionsClickable(false);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    connect(table, SIGNAL(itemClicked(QTableWidgetItem *)), this, SLOT(OnItemClicked(QTableWidgetItem *)));

    m_ui->comboBox_time->setEditable(true);
    m_ui->comboBox_time->addItems({QStringLiteral("90"), QStringLiteral("120"), QStringLiteral("150"),
                                   QStringLiteral("180")});
    m_ui->ledit_msgContent->setMaxLength(30);

    ResetSettings(m_settings);
    showSettings();

    connect(m_ui->tabWidget, SIGNAL(currentChanged(int)), this, SLOT(OnCurrentTabClicked(int)));
    connect(m_ui->button_confirm_1, SIGNAL(clicked()), this, SLOT(OnButtonClicked()));
    connect(m_ui->button_confirm_2, SIGNAL(clicked()), this, SLOT(OnButtonClicked()));
    connect(m_ui->button_barrage_record, SIGNAL(clicked()), this, SLOT(OnButtonClicked()));
    connect(m_ui->check_open, SIGNAL(clicked()), this, SLOT(OnCheckClicked()));
    connect(m_ui->check_open_speech, SIGNAL(clicked()), this, SLOT(OnCheckClicked()));
}

// ---- public operations ------------------------------------------------------

void RoomManageTool::ShowTool()
{
    currentDialog = this;
    show();
}

void RoomManageTool::SetLiveProxy(LiveProxy *proxy)
{
    m_proxy = proxy;
}

void RoomManageTool::LoadSettings(SysConfig *config)
{
    if (!config)
        return;
    m_config = config;
    // A store that read no file may still hold the section that an earlier
    // tool of this run wrote; taking it keeps the broadcaster's changes
    // across signing out and in.
    RoomToolSettings stored;
    if (config->getRoomConfig(stored)) {
        // A hand-edited or incomplete section may hold any interval; one
        // the form would refuse runs as the default.
        stored.interval = SpeechSchedule::workingInterval(stored.interval);
        m_settings = stored;
    }
    config->setRoomConfig(m_settings);
    showSettings();
    ApplySettings();
}

void RoomManageTool::ResetSettings(RoomToolSettings &settings)
{
    settings = RoomToolSettings();
}

void RoomManageTool::ApplySettings()
{
    m_autoMute = m_settings.autoMute;
    m_autoSpeak = m_settings.autoSpeak;
    m_content = m_settings.content;
    m_interval = m_settings.interval;
    m_keywords.setKeywords(m_settings.keywords);
}

void RoomManageTool::ShowTip(const QString &text)
{
    runBox(text, QMessageBox::Ok);
}

int RoomManageTool::runBox(const QString &text, QMessageBox::StandardButtons buttons)
{
    // A box of its own each time: a tip that arrives while a question runs
    // (an unmute reply) opens above it and leaves the question's text,
    // buttons and answer alone.
    QPointer<RoomManageTool> self(this);
    QPointer<QMessageBox> box = new QMessageBox(this);
    box->setText(text);
    box->setWindowTitle(QStringLiteral("提示"));
    box->setStandardButtons(buttons);
    box->setDefaultButton(QMessageBox::Ok);
    // The box beneath, when this one opens above another of ours.
    QPointer<QDialog> beneath;
    for (const QPointer<QMessageBox> &open : m_openBoxes) {
        if (open && currentDialog == open.data())
            beneath = currentDialog;
    }
    m_openBoxes << box;
    currentDialog = box.data();
    const int answer = box->exec();
    // The tool, and its boxes with it, may have gone while the box ran.
    if (!self)
        return QMessageBox::Cancel;
    m_openBoxes.removeAll(box);
    if (currentDialog == box.data() || !currentDialog)
        currentDialog = beneath;
    delete box.data();
    return answer;
}

int RoomManageTool::tickTimerId(Tick tick) const
{
    return m_timerIds[tick];
}

// ---- settings ---------------------------------------------------------------

void RoomManageTool::showSettings()
{
    // Empty texts and switches that are off leave the widgets as they are.
    if (!m_settings.keywords.isEmpty())
        m_ui->ledit_keyWords->setText(m_settings.keywords);
    if (m_settings.autoMute)
        m_ui->check_open->setChecked(true);
    m_ui->comboBox_time->setCurrentText(QString::number(m_settings.interval));
    if (!m_settings.content.isEmpty())
        m_ui->ledit_msgContent->setText(m_settings.content);
    if (m_settings.autoSpeak)
        m_ui->check_open_speech->setChecked(true);
}

void RoomManageTool::saveSettings()
{
    // Without a store the change applies to this tool only.
    if (m_config)
        m_config->setRoomConfig(m_settings);
    ApplySettings();
}

void RoomManageTool::OnCheckClicked()
{
    auto *box = qobject_cast<QCheckBox *>(sender());
    if (!box)
        return;
    if (box == m_ui->check_open)
        m_settings.autoMute = box->isChecked();
    else if (box == m_ui->check_open_speech)
        m_settings.autoSpeak = box->isChecked();
    else
        return;
    saveSettings();
}

void RoomManageTool::OnButtonClicked()
{
    auto *button = qobject_cast<QPushButton *>(sender());
    if (!button)
        return;
    if (button == m_ui->button_confirm_1)
        confirmKeywords();
    else if (button == m_ui->button_confirm_2)
        confirmSpeech();
    else if (button == m_ui->button_barrage_record)
        QDesktopServices::openUrl(QUrl::fromLocalFile(ChatLogFile::defaultPath()));
}

void RoomManageTool::confirmKeywords()
{
    m_settings.keywords = KeywordList::settingFromInput(m_ui->ledit_keyWords->text());
    saveSettings();
    ShowTip(QStringLiteral("禁言设置成功！"));
}

void RoomManageTool::confirmSpeech()
{
    const std::optional<int> interval = SpeechSchedule::intervalFromInput(m_ui->comboBox_time->currentText());
    if (!interval) {
        ShowTip(QStringLiteral("时间输入必须在 20 到 7200 之间"));
        return;
    }
    m_settings.content = SpeechSchedule::contentFromInput(m_ui->ledit_msgContent->text());
    m_settings.interval = *interval;
    saveSettings();
    ShowTip(QStringLiteral("自动发言设置成功！"));
}

// ---- room events ------------------------------------------------------------

void RoomManageTool::OnAddBarrageMsg(int id, QString sname, QString content, int lev)
{
    if (content.isEmpty())
        return;
    sname.append(QLatin1Char(':'));
    ChatInfo info;
    info.id = id;
    info.sname = sname;
    info.content = content;
    info.lev = lev;
    m_mutes.addMessage(info);
    AppendChatLog(sname, content);
}

void RoomManageTool::OnAddDonaterRecord(QString nick_name, int price)
{
    m_gifts.addDonation(nick_name, price);
}

void RoomManageTool::OnAddAmberRecord(QString nick_name, int id, QString gift_name, int price)
{
    AmberRecord gift;
    gift.nick_name = nick_name;
    gift.id = id;
    gift.gift_name = gift_name;
    gift.price = price;
    m_gifts.addAmber(gift);
}

void RoomManageTool::OnAddMeritrRecord(QString user_name, int lev)
{
    MeritRecord ticket;
    ticket.user_name = user_name;
    ticket.lev = lev;
    m_gifts.addMerit(ticket);
}

void RoomManageTool::OnBlackUserId(int id)
{
    // Only a mute the assistant asked for goes into its store.
    if (m_mutes.confirm(id))
        storeUser(id);
}

bool RoomManageTool::ContainsKeyword(const QString &text) const
{
    return m_keywords.ContainsKeyword(text);
}

// ---- ticks ------------------------------------------------------------------

void RoomManageTool::timerEvent(QTimerEvent *event)
{
    const int id = event->timerId();
    if (id == m_timerIds[MuteTick])
        onMuteTick();
    else if (id == m_timerIds[SpeechTick])
        onSpeechTick();
    else if (id == m_timerIds[SummaryTick])
        onSummaryTick();
    else
        QDialog::timerEvent(event);
}

void RoomManageTool::onMuteTick()
{
    for (const ChatInfo &info : m_mutes.takeDue(m_autoMute, m_keywords))
        dispatchMute(info);
}

void RoomManageTool::onSpeechTick()
{
    if (const std::optional<QString> message = SpeechSchedule::tick(m_autoSpeak, m_content, m_interval))
        dispatchChat(message->toUtf8());
}

void RoomManageTool::onSummaryTick()
{
    if (m_gifts.isEmpty())
        return;
    const GiftSummary minute = m_gifts;
    m_gifts.clear();
    ShowGiftSummary(minute);
}

void RoomManageTool::ShowGiftSummary(const GiftSummary &gifts)
{
    QTextBrowser *browser = m_ui->textBrowser;
    browser->moveCursor(QTextCursor::End, QTextCursor::MoveAnchor);
    for (const QString &paragraph : gifts.paragraphs(QDateTime::currentDateTime()))
        browser->append(paragraph);
    browser->moveCursor(QTextCursor::End, QTextCursor::MoveAnchor);
}

// ---- chat log ---------------------------------------------------------------

void RoomManageTool::openChatLog()
{
    m_chatLog.open(ChatLogFile::defaultPath());
}

void RoomManageTool::AppendChatLog(const QString &name, const QString &content)
{
    m_chatLog.append(name, content);
}

// ---- mute records -----------------------------------------------------------

void RoomManageTool::OnCurrentTabClicked(int index)
{
    if (index == kRecordsTab)
        dispatchMuteListFetch();
}

void RoomManageTool::OnMuteList(QVector<DisableRecordData> rows)
{
    QStringList ownMutes;
    recentStoredUsers(ownMutes);
    roomreplies::labelOwnMutes(rows, ownMutes);
    FillMuteTable(rows);
}

void RoomManageTool::FillMuteTable(const QVector<DisableRecordData> &rows)
{
    QTableWidget *table = m_ui->table_disablerecord;
    table->setRowCount(rows.size());
    const Qt::Alignment centred = Qt::AlignHCenter | Qt::AlignVCenter;
    for (int row = 0; row < rows.size(); ++row) {
        const DisableRecordData &record = rows.at(row);
        auto *name = new QTableWidgetItem(record.nickName);
        name->setTextAlignment(centred);
        name->setData(Qt::UserRole, record.uidValue());
        name->setData(kStoreKeyRole, record.storeKey);
        table->setItem(row, 0, name);
        table->setItem(row, 1, new QTableWidgetItem(record.opUser));
        table->setItem(row, 2, new QTableWidgetItem(record.invalidTimestamp));
        auto *action = new QTableWidgetItem(QStringLiteral("解禁"));
        action->setTextAlignment(centred);
        action->setForeground(QBrush(Qt::red, Qt::SolidPattern));
        table->setItem(row, kActionColumn, action);
    }
}

QTableWidgetItem *RoomManageTool::FindRowByUid(int uid) const
{
    QTableWidget *table = m_ui->table_disablerecord;
    for (int row = 0; row < table->rowCount(); ++row) {
        QTableWidgetItem *item = table->item(row, 0);
        if (item && item->data(Qt::UserRole).toInt() == uid)
            return item;
    }
    return nullptr;
}

void RoomManageTool::removeRowsOfUid(int uid)
{
    QTableWidget *table = m_ui->table_disablerecord;
    for (int row = table->rowCount() - 1; row >= 0; --row) {
        QTableWidgetItem *item = table->item(row, 0);
        if (item && item->data(Qt::UserRole).toInt() == uid)
            table->removeRow(row);
    }
}

void RoomManageTool::OnItemClicked(QTableWidgetItem *item)
{
    if (!item || item->column() != kActionColumn)
        return;
    QTableWidgetItem *nameItem = m_ui->table_disablerecord->item(item->row(), 0);
    const int uid = nameItem ? nameItem->data(Qt::UserRole).toInt() : 0;
    // No id the service could know: nothing to lift.
    if (uid <= 0 || m_unmuteInFlight.contains(uid))
        return;
    // Asked once the table has finished with the click: a sign-out while the
    // question runs deletes the tool, table included, and the table must not
    // be inside its own mouse handler then.
    QTimer::singleShot(0, this, [this, uid] { askUnmute(uid); });
}

void RoomManageTool::askUnmute(int uid)
{
    if (m_unmuteInFlight.contains(uid))
        return;
    QPointer<RoomManageTool> self(this);
    const int answer = runBox(QStringLiteral("确定要解封该用户吗？"), QMessageBox::Ok | QMessageBox::Cancel);
    // Signed out while the question ran: the tool is gone.
    if (!self || answer != QMessageBox::Ok)
        return;
    // The records may have been refilled meanwhile; the row must still be there.
    if (!FindRowByUid(uid) || m_unmuteInFlight.contains(uid) || !canReachServer())
        return;
    m_unmuteInFlight << uid;
    dispatchUnmute(uid);
}

void RoomManageTool::OnUnmuteReply(int uid, const std::string &reply)
{
    m_unmuteInFlight.removeAll(uid);
    const roomreplies::UnmuteResult result = roomreplies::parseUnmuteReply(QByteArray::fromStdString(reply));
    if (result.outcome == roomreplies::UnmuteResult::Lifted) {
        QTableWidgetItem *item = FindRowByUid(uid);
        const QString storeKey = item ? item->data(kStoreKeyRole).toString() : QString();
        if (!storeKey.isEmpty()) {
            deleteStoredUser(storeKey);
            removeRowsOfUid(uid);
        }
    } else if (result.outcome == roomreplies::UnmuteResult::Refused && !result.refusalText.isEmpty()) {
        // Shown once the pump's task has returned, so no other result waits
        // behind the box.
        const QString text = result.refusalText;
        QTimer::singleShot(0, this, [this, text] { ShowTip(text); });
    }
}

// ---- server actions ---------------------------------------------------------

bool RoomManageTool::canReachServer() const
{
    return m_proxy && m_proxy->threadPool();
}

void RoomManageTool::dispatchMute(const ChatInfo &info)
{
    if (!canReachServer())
        return;
    LiveProxy *proxy = m_proxy;
    const int uid = info.id;
    proxy->threadPool()->Dispatch([proxy, uid] { proxy->muteUser(uid, kMuteType, kMuteSeconds); });
}

void RoomManageTool::dispatchChat(const QByteArray &utf8)
{
    if (!canReachServer())
        return;
    LiveProxy *proxy = m_proxy;
    proxy->threadPool()->Dispatch([proxy, utf8] { proxy->sendChatText(utf8.constData()); });
}

void RoomManageTool::dispatchMuteListFetch()
{
    if (!canReachServer())
        return;
    LiveProxy *proxy = m_proxy;
    QPointer<RoomManageTool> self(this);
    proxy->threadPool()->Dispatch([proxy, self] {
        std::string reply;
        proxy->fetchMuteList(&reply);
        QVector<DisableRecordData> rows = roomreplies::parseMuteList(QByteArray::fromStdString(reply));
        if (UITaskQueueWnd *pump = proxy->uiTaskQueue()) {
            pump->PostTask([self, rows] {
                if (self)
                    self->OnMuteList(rows);
            });
        }
    });
}

void RoomManageTool::dispatchUnmute(int uid)
{
    LiveProxy *proxy = m_proxy;
    QPointer<RoomManageTool> self(this);
    proxy->threadPool()->Dispatch([proxy, self, uid] {
        std::string reply;
        proxy->unmuteUser(uid, &reply);
        if (UITaskQueueWnd *pump = proxy->uiTaskQueue()) {
            pump->PostTask([self, uid, reply] {
                if (self)
                    self->OnUnmuteReply(uid, reply);
            });
        }
    });
}

// ---- muted-user store -------------------------------------------------------

void RoomManageTool::openUserDb()
{
    m_store = std::make_unique<MutedUserStore>();
    m_store->openUserDb();
}

bool RoomManageTool::userTableExists(const QString &table)
{
    return m_store && m_store->userTableExists(table);
}

bool RoomManageTool::createUserTable()
{
    return m_store && m_store->createUserTable();
}

bool RoomManageTool::isUserStored(int uid)
{
    return m_store && m_store->isUserStored(uid);
}

bool RoomManageTool::storeUser(int uid)
{
    return m_store && m_store->storeUser(uid);
}

bool RoomManageTool::deleteStoredUser(const QString &uid)
{
    return m_store && m_store->deleteStoredUser(uid);
}

void RoomManageTool::recentStoredUsers(QStringList &users)
{
    if (m_store)
        m_store->recentStoredUsers(users);
}

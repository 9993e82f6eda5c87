#include "UiSetting.h"
#include "ui_UiSetting.h"

#include "MvSideButton.h"
#include "UiSetBeauty.h"
#include "UiSetCaptureScreen.h"
#include "UiSetPicture.h"
#include "UiSetSubtitle.h"

namespace {

struct TabLook
{
    const char *text;
    const char *normal;
    const char *active;
};

// In tab order: camera, pictures, subtitles, screen capture.
const TabLook kTabLooks[] = {
    {"摄像头", ":/image/skin/beauty.png", ":/image/skin/beauty_a.png"},
    {"插入图片", ":/image/skin/picsetting.png", ":/image/skin/picsetting_a.png"},
    {"字幕特效", ":/image/skin/fontsetting.png", ":/image/skin/fontsetting_a.png"},
    {"截取屏幕", ":/image/skin/snotscreen.png", ":/image/skin/snotscreen_a.png"},
};

} // namespace

UiSetting::UiSetting(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::UiSetting)
{
    ui->setupUi(this);
    resize(352, 740);
    createPages();

    connect(m_picture, &UiSetPicture::add_screenitem, this, &UiSetting::slot_add_screenitem);
    connect(m_picture, &UiSetPicture::del_screenitem, this, &UiSetting::slot_del_screenitem);
    connect(m_subtitle, &UiSetSubtitle::add_subtitle, this, &UiSetting::slot_add_screenitem);
    connect(m_subtitle, &UiSetSubtitle::del_subtitle, this, &UiSetting::slot_del_screenitem);
}

UiSetting::~UiSetting()
{
    delete ui;
}

void UiSetting::createPages()
{
    m_pageArea = new QWidget(this);
    m_pageArea->setObjectName(QStringLiteral("page_widget"));
    m_pageArea->setGeometry(88, 0, 264, 740);

    m_beauty = new UiSetBeauty(m_pageArea);
    m_beauty->hide();
    m_picture = new UiSetPicture(m_pageArea);
    m_picture->hide();
    m_subtitle = new UiSetSubtitle(m_pageArea);
    m_subtitle->hide();
    m_capture = new UiSetCaptureScreen(m_pageArea);
    m_capture->hide();

    ui->widget_page_sel->setGeometry(0, 0, 88, 740);

    m_tabs.emplace_back(ui->pushButton_beauty, m_beauty);
    m_tabs.emplace_back(ui->pushButton_addpic, m_picture);
    m_tabs.emplace_back(ui->pushButton_effectsubtitle, m_subtitle);
    m_tabs.emplace_back(ui->pushButton_capturescreen, m_capture);

    initTabButtons();
    selectTab(0);
}

void UiSetting::initTabButtons()
{
    for (size_t i = 0; i < m_tabs.size(); ++i) {
        MvSideButton *button = m_tabs[i].first;
        button->setText(QString::fromUtf8(kTabLooks[i].text));
        button->SetPictures(QString::fromLatin1(kTabLooks[i].normal), QString::fromLatin1(kTabLooks[i].active));
    }
}

void UiSetting::setLiveProxy(LiveProxy *proxy)
{
    m_proxy = proxy;
    m_beauty->setLiveProxy(proxy);
    m_capture->setLiveProxy(proxy);
    m_picture->setLiveProxy(proxy);
    m_subtitle->setLiveProxy(proxy);
}

void UiSetting::setConfig(SysConfig *config)
{
    m_config = config;
    m_beauty->setConfig(config);
}

void UiSetting::slot_add_screenitem(QString strpicpath, QString strdesc, int id_item)
{
    emit add_screenitem(strpicpath, strdesc, id_item);
}

void UiSetting::slot_del_screenitem(int id_item)
{
    emit del_screenitem(id_item);
}

void UiSetting::on_pushButton_beauty_clicked()
{
    selectTab(0);
}

void UiSetting::on_pushButton_addpic_clicked()
{
    selectTab(1);
}

void UiSetting::on_pushButton_effectsubtitle_clicked()
{
    selectTab(2);
}

void UiSetting::on_pushButton_capturescreen_clicked()
{
    selectTab(3);
}

void UiSetting::selectTab(int index)
{
    markTab(index);
    showPage(index);
}

void UiSetting::markTab(int index)
{
    for (size_t i = 0; i < m_tabs.size(); ++i)
        m_tabs[i].first->SetCheckedLook(int(i) == index);
}

void UiSetting::showPage(int index)
{
    m_tabs[size_t(m_current)].second->hide();
    m_current = index;
    m_tabs[size_t(m_current)].second->show();
}

#include "UiSetPicture.h"

#include "UiInsertPicWidget.h"
#include "UiSampleWidget.h"
#include "ui_UiSetPicture.h"

namespace {

constexpr int kPendantKind = 1;
constexpr int kPictureBlockHeight = 198;
constexpr int kPendantBlockTop = 228;

} // namespace

UiSetPicture::UiSetPicture(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::UiSetPicture)
{
    ui->setupUi(this);
    m_insertPic = new UiInsertPicWidget(this);
    m_samples = new UiSampleWidget(kPendantKind, this);
    connect(m_insertPic, SIGNAL(add_imageitem(QString,QString,int)), this,
            SLOT(slot_add_screenitem(QString,QString,int)));
    connect(m_insertPic, SIGNAL(del_imageitem(int)), this, SLOT(slot_del_imageitem(int)));
    connect(m_samples, SIGNAL(on_addpendantclicked(QString,QString,int)), this,
            SLOT(slot_add_screenitem(QString,QString,int)));
    connect(m_samples, SIGNAL(on_delpendantclicked(int)), this, SLOT(slot_del_screenitem(int)));
    setStyleSheet(QStringLiteral("background:white"));
    resize(264, 740);
    m_insertPic->setGeometry(0, 0, width(), kPictureBlockHeight);
    m_samples->setGeometry(0, kPendantBlockTop, width(), height() - kPendantBlockTop);
}

UiSetPicture::~UiSetPicture()
{
    delete ui;
}

void UiSetPicture::setLiveProxy(LiveProxy *proxy)
{
    m_proxy = proxy;
    m_insertPic->setLiveProxy(proxy);
    m_samples->setLiveProxy(proxy);
}

void UiSetPicture::slot_add_screenitem(QString strpicpath, QString strdesc, int id_item)
{
    emit add_screenitem(strpicpath, strdesc, id_item);
}

void UiSetPicture::slot_del_screenitem(int id_item)
{
    emit del_screenitem(id_item);
}

void UiSetPicture::slot_del_imageitem(int id_item)
{
    emit del_imageitem(id_item);
}

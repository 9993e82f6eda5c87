#include "UiAddImage.h"

#include "CurrentDialog.h"
#include "LiveProxy.h"
#include "PictureFile.h"
#include "ui_UiAddImage.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QToolTip>

UiAddImage::UiAddImage(QWidget *parent)
    : MvDragDialog(parent)
    , ui(new Ui::UiAddImage)
{
    ui->setupUi(this);
    setWindowFlags(windowFlags() | Qt::SplashScreen);
    InitControls();
    ResetImageInfo();
    ShowImageInfo();
}

UiAddImage::~UiAddImage()
{
    // A dialog started while this one ran has taken the pointer over.
    if (m_inExec && currentDialog == this)
        currentDialog = nullptr;
}

int UiAddImage::exec()
{
    m_inExec = true;
    currentDialog = this;
    return QDialog::exec();
}

bool UiAddImage::EditItem(LiveProxy *proxy, int itemId)
{
    if (!proxy || itemId < 1)
        return false;
    std::string source;
    proxy->getItemSource(itemId, &source);
    ImageOverlayInfo info;
    info.path = QString::fromUtf8(source.c_str());
    int alpha = 255;
    proxy->getItemAlpha(itemId, &alpha);
    info.alpha = alpha;
    {
        UiAddImage editor(nullptr);
        editor.SetImageInfo(info);
        editor.exec();
        editor.GetImageInfo(info);
    }
    if (!info.accepted)
        return false;
    proxy->setItemSource(itemId, info.path.toUtf8().toStdString());
    proxy->setItemAlpha(itemId, info.alpha);
    return true;
}

void UiAddImage::SetImageInfo(const ImageOverlayInfo &info)
{
    m_info = info;
    m_info.accepted = false;
    ShowImageInfo();
}

void UiAddImage::GetImageInfo(ImageOverlayInfo &info) const
{
    info = m_info;
}

void UiAddImage::InitControls()
{
    ui->horizontalSlider->setRange(0, 100);
    ui->horizontalSlider->setTracking(true);
    ui->horizontalSlider->setToolTipDuration(3000);
    ui->pushButton_ok->setShortcut(Qt::Key_Return);
    ui->pushButton_ok->setFocus();
    ui->pushButton_ok->setDefault(true);
}

void UiAddImage::ResetImageInfo()
{
    m_info = ImageOverlayInfo();
}

void UiAddImage::ShowImageInfo()
{
    ui->lineEdit_file->setText(m_info.path);
    ui->horizontalSlider->setValue(SliderFromAlpha(m_info.alpha));
}

void UiAddImage::on_pushButton_close_clicked()
{
    on_pushButton_cancel_clicked();
}

void UiAddImage::on_pushButton_file_clicked()
{
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("媒体文件"), QStringLiteral("."),
                                                      QStringLiteral("媒体文件(*.jpg *.png *bmp *gif)"));
    if (path.isEmpty())
        return;
    // Judged by the header: the engine would decode a huge picture whole.
    const QString refused = picturefile::refusal(path);
    if (!refused.isEmpty()) {
        QMessageBox::information(this, QStringLiteral("提示"), refused);
        return;
    }
    ui->lineEdit_file->setText(path);
    m_info.path = path;
}

void UiAddImage::on_horizontalSlider_valueChanged(int value)
{
    // Showing the record before the dialog is up must not round its alpha.
    if (!isVisible())
        return;
    QSlider *slider = ui->horizontalSlider;
    const QString tip = QStringLiteral("%1").arg(value);
    slider->setToolTip(tip);
    const int span = slider->maximum() - slider->minimum();
    const int x = span > 0 ? slider->width() * value / span : 0;
    QToolTip::showText(slider->mapToGlobal(QPoint(x, slider->height())), tip, slider);
    m_info.alpha = AlphaFromSlider(value);
}

void UiAddImage::on_pushButton_ok_clicked()
{
    if (ui->lineEdit_file->text().isEmpty()) {
        QMessageBox::information(this, QStringLiteral("提示"), QStringLiteral("请输入图片路径!"));
        return;
    }
    m_info.accepted = true;
    close();
}

void UiAddImage::on_pushButton_cancel_clicked()
{
    m_info.accepted = false;
    close();
}

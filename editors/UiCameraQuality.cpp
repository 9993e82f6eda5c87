#include "UiCameraQuality.h"

#include "CamAssist.h"
#include "CurrentDialog.h"
#include "LayeredShadowWindow.h"
#include "Logger.h"
#include "ui_UiCameraQuality.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSlider>
#include <QTabBar>

#include <cstring>

namespace {

const char *const kVideoProcAmpNames[UiCameraQuality::kVideoProcAmpCount] = {
    "VPAT_Brightness", "VPAT_Contrast",     "VPAT_Hue",          "VPAT_Saturation",
    "VPAT_Sharpness",  "VPAT_Gamma",        "VPAT_ColorEnable",  "VPAT_WhiteBalance",
    "VPAT_BacklightCompensation", "VPAT_Gain",
};

const char *const kCameraControlNames[UiCameraQuality::kCameraControlCount] = {
    "CCT_Pan", "CCT_Tilt", "CCT_Roll", "CCT_Zoom", "CCT_Exposure", "CCT_Iris", "CCT_Focus",
};

constexpr int kColorEnable = 6;
constexpr int kFlagsAuto = 1;
constexpr int kFlagsManual = 2;

const char *propertyName(int index, bool cameraControl)
{
    return cameraControl ? UiCameraQuality::CameraControlName(index) : UiCameraQuality::VideoProcAmpName(index);
}

// The widgets' names are the log name without its prefix.
QString shortName(int index, bool cameraControl)
{
    const QString name = QString::fromLatin1(propertyName(index, cameraControl));
    return name.mid(name.indexOf(QLatin1Char('_')) + 1);
}

QString tabLook(bool active)
{
    return QStringLiteral("QPushButton{ border:1px solid #ebecf0;background:%1;font:bold 12px \"微软雅黑\";color:#7f8b99;}")
        .arg(active ? QStringLiteral("#ebecf0") : QStringLiteral("#f9f9f9"));
}

} // namespace

UiCameraQuality::UiCameraQuality(QWidget *parent)
    : MvDragDialog(parent)
    , ui(new Ui::UiCameraQuality)
{
    ui->setupUi(this);
    setWindowFlags(windowFlags() | Qt::SplashScreen);
    m_helper = CreateDShowInstance();

    ui->tabWidget->tabBar()->hide();
    SetTabLook(0);
    ui->tabWidget->setCurrentIndex(0);
    ui->checkBox_LowBrightnessCompensation->hide();

    bindWidgets();
    for (int i = 0; i < kVideoProcAmpCount; ++i) {
        if (i == kColorEnable)
            continue;
        connect(m_videoItems[i].slider, SIGNAL(valueChanged(int)), this, SLOT(on_qualitySlider_valueChanged(int)));
        connect(m_videoItems[i].autoBox, SIGNAL(stateChanged(int)), this, SLOT(on_qualityCheckbox_stateChanged(int)));
    }
    for (int i = 0; i < kCameraControlCount; ++i) {
        connect(m_cameraItems[i].slider, SIGNAL(valueChanged(int)), this, SLOT(on_cctSlider_valueChanged(int)));
        connect(m_cameraItems[i].autoBox, SIGNAL(stateChanged(int)), this, SLOT(on_cctCheckbox_stateChanged(int)));
    }
    for (CameraPropertyItem &item : m_videoItems)
        UpdateWidgets(item);
    for (CameraPropertyItem &item : m_cameraItems)
        UpdateWidgets(item);
    m_shadow = LayeredShadowWindow::Attach(winId());
}

UiCameraQuality::~UiCameraQuality()
{
    // A dialog opened from this one may have taken the pointer since.
    if (m_inExec) {
        if (currentDialog == this)
            currentDialog = nullptr;
        m_inExec = false;
    }
    if (m_helper)
        m_helper->Release();
    delete ui;
}

void UiCameraQuality::bindWidgets()
{
    m_videoItems.assign(kVideoProcAmpCount, CameraPropertyItem());
    m_cameraItems.assign(kCameraControlCount, CameraPropertyItem());
    for (int pass = 0; pass < 2; ++pass) {
        const bool cameraControl = pass == 1;
        std::vector<CameraPropertyItem> &items = cameraControl ? m_cameraItems : m_videoItems;
        for (int i = 0; i < int(items.size()); ++i) {
            CameraPropertyItem &item = items[i];
            item.propertyIndex = i;
            const QString name = shortName(i, cameraControl);
            item.autoBox = findChild<QCheckBox *>(QStringLiteral("checkBox_") + name);
            if (!cameraControl && i == kColorEnable)
                continue; // only its box: it shows the state and sets nothing
            item.label = findChild<QLabel *>(QStringLiteral("label_") + name);
            item.slider = findChild<QSlider *>(QStringLiteral("horizontalSlider_") + name);
            item.valueBox = findChild<QLineEdit *>(QStringLiteral("lineEdit_") + name);
        }
    }
}

const char *UiCameraQuality::VideoProcAmpName(int index)
{
    return index >= 0 && index < kVideoProcAmpCount ? kVideoProcAmpNames[index] : "Unknown";
}

const char *UiCameraQuality::CameraControlName(int index)
{
    return index >= 0 && index < kCameraControlCount ? kCameraControlNames[index] : "Unknown";
}

int UiCameraQuality::InitCamera(const QString &device)
{
    if (device.isEmpty() || !m_helper)
        return -1;
    m_device = device;
    initPage(m_videoItems, false);
    initPage(m_cameraItems, true);
    return 0;
}

void UiCameraQuality::initPage(std::vector<CameraPropertyItem> &items, bool cameraControl)
{
    for (int i = 0; i < int(items.size()); ++i) {
        CameraPropertyItem &item = items[i];
        ReadProperty(item, i, cameraControl);
        const QSignalBlocker boxBlocker(item.autoBox);
        const QSignalBlocker sliderBlocker(item.slider);
        UpdateWidgets(item);
        if (!item.slider)
            continue;
        item.slider->setValue(item.currentValue);
        Logger::instance()->write(Logger::LOG_INFO,
                                  cameraControl
                                      ? "init, get camera CCT : type %s, flag %d, step %d, current-val %d, use-auto? %d."
                                      : "init, get camera Quality : type %s, flag %d, step %d, current-val %d, use-auto? %d.",
                                  propertyName(i, cameraControl), item.capabilityFlags, item.step, item.currentValue,
                                  item.currentAuto ? 1 : 0);
    }
}

int UiCameraQuality::exec()
{
    m_inExec = true;
    currentDialog = this;
    return QDialog::exec();
}

void UiCameraQuality::closeEvent(QCloseEvent *event)
{
    if (m_revertOnClose)
        RevertAll();
    MvDragDialog::closeEvent(event);
}

void UiCameraQuality::keyPressEvent(QKeyEvent *event)
{
    // Escape leaves like the close button, so what was not kept is put back.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        on_closebutton_clicked();
        return;
    }
    MvDragDialog::keyPressEvent(event);
}

// ---- camera -----------------------------------------------------------------

void UiCameraQuality::ReadProperty(CameraPropertyItem &item, int index, bool cameraControl)
{
    if (!m_helper)
        return;
    const std::u16string device = m_device.toStdU16String();
    int range[5] = {item.minimum, item.maximum, item.step, item.defaultValue, item.capabilityFlags};
    int value = item.currentValue;
    int flags = 0;
    const int result = cameraControl ? m_helper->GetCameraControl(device.c_str(), index, range, &value, &flags)
                                     : m_helper->GetVideoProcAmp(device.c_str(), index, range, &value, &flags);
    if (result <= 0) {
        item.valid = false;
        return;
    }
    item.minimum = range[0];
    item.maximum = range[1];
    item.step = range[2];
    item.defaultValue = range[3];
    item.capabilityFlags = range[4];
    item.currentValue = value;
    item.valid = true;
    if (item.capabilityFlags & 1)
        item.autoCapable = true;
    item.keptValue = item.currentValue;
    item.currentAuto = flags == kFlagsAuto;
    item.keptAuto = item.currentAuto;
}

void UiCameraQuality::SetProperty(int value, int flags, int index, bool cameraControl)
{
    if (!m_helper)
        return;
    const std::u16string device = m_device.toStdU16String();
    if (cameraControl) {
        m_helper->SetCameraControl(device.c_str(), index, value, flags);
        Logger::instance()->write(Logger::LOG_INFO, "set camera CCT : type %s, val (%d) flag (%d).",
                                  CameraControlName(index), value, flags);
    } else {
        m_helper->SetVideoProcAmp(device.c_str(), index, value, flags);
        Logger::instance()->write(Logger::LOG_INFO, "set camera Quality : type %s, val (%d) flag (%d).",
                                  VideoProcAmpName(index), value, flags);
    }
}

void UiCameraQuality::ApplyProperty(CameraPropertyItem &item, int index, bool cameraControl)
{
    if (item.valid)
        SetProperty(item.currentValue, item.currentAuto ? kFlagsAuto : kFlagsManual, index, cameraControl);
}

void UiCameraQuality::CommitProperty(CameraPropertyItem &item)
{
    item.keptValue = item.currentValue;
    item.keptAuto = item.currentAuto;
}

void UiCameraQuality::RevertProperty(CameraPropertyItem &item, int index, bool cameraControl)
{
    if (!item.valid || (item.currentValue == item.keptValue && item.currentAuto == item.keptAuto))
        return;
    SetProperty(item.keptValue, item.keptAuto ? kFlagsAuto : kFlagsManual, index, cameraControl);
    item.currentAuto = item.keptAuto;
    item.currentValue = item.keptValue;
}

void UiCameraQuality::ResetToDefault(CameraPropertyItem &item, int index, bool cameraControl)
{
    if (!item.valid)
        return;
    if (!item.currentAuto) {
        SetProperty(item.defaultValue, kFlagsManual, index, cameraControl);
        item.keptValue = item.defaultValue;
        item.currentValue = item.defaultValue;
    } else {
        item.keptValue = item.currentValue;
    }
    item.keptAuto = item.currentAuto;
    if (item.slider)
        item.slider->setValue(item.currentValue);
}

void UiCameraQuality::UpdateWidgets(CameraPropertyItem &item)
{
    for (QWidget *w : {static_cast<QWidget *>(item.label), static_cast<QWidget *>(item.slider),
                       static_cast<QWidget *>(item.autoBox)})
        if (w)
            w->setEnabled(item.valid);
    if (!item.valid)
        return;
    if (!item.autoCapable && item.autoBox)
        item.autoBox->setEnabled(false);
    if (item.currentAuto) {
        if (item.slider)
            item.slider->setEnabled(false);
        if (item.autoBox)
            item.autoBox->setChecked(true);
    } else if (item.autoBox) {
        item.autoBox->setChecked(false);
    }
    if (item.slider) {
        item.slider->setRange(item.minimum, item.maximum);
        item.slider->setSingleStep(item.step);
    }
    if (item.valueBox)
        item.valueBox->setText(QString::number(item.currentValue));
}

void UiCameraQuality::RevertAll()
{
    for (int i = 0; i < kVideoProcAmpCount; ++i)
        RevertProperty(m_videoItems[i], i, false);
    for (int i = 0; i < kCameraControlCount; ++i)
        RevertProperty(m_cameraItems[i], i, true);
}

// ---- handlers ---------------------------------------------------------------

void UiCameraQuality::onSliderMoved(std::vector<CameraPropertyItem> &items, bool cameraControl, int value)
{
    QObject *source = sender();
    for (int i = 0; i < int(items.size()); ++i) {
        if (items[i].slider && items[i].slider == source) {
            items[i].currentValue = value;
            ApplyProperty(items[i], i, cameraControl);
            UpdateWidgets(items[i]);
            return;
        }
    }
}

void UiCameraQuality::onAutoToggled(std::vector<CameraPropertyItem> &items, bool cameraControl)
{
    QObject *source = sender();
    for (int i = 0; i < int(items.size()); ++i) {
        if (items[i].autoBox && items[i].autoBox == source) {
            items[i].currentAuto = items[i].autoBox->isChecked();
            ApplyProperty(items[i], i, cameraControl);
            UpdateWidgets(items[i]);
            return;
        }
    }
}

void UiCameraQuality::on_qualitySlider_valueChanged(int value)
{
    onSliderMoved(m_videoItems, false, value);
}

void UiCameraQuality::on_qualityCheckbox_stateChanged(int)
{
    onAutoToggled(m_videoItems, false);
}

void UiCameraQuality::on_cctSlider_valueChanged(int value)
{
    onSliderMoved(m_cameraItems, true, value);
}

void UiCameraQuality::on_cctCheckbox_stateChanged(int)
{
    onAutoToggled(m_cameraItems, true);
}

void UiCameraQuality::resetPage(std::vector<CameraPropertyItem> &items, bool cameraControl)
{
    for (int i = 0; i < int(items.size()); ++i) {
        ResetToDefault(items[i], i, cameraControl);
        UpdateWidgets(items[i]);
    }
}

void UiCameraQuality::on_pushButton_DefaultValue_clicked()
{
    resetPage(m_videoItems, false);
}

void UiCameraQuality::on_pushButton_DefaultValue_cct_clicked()
{
    resetPage(m_cameraItems, true);
}

void UiCameraQuality::on_pushButton_Apply_clicked()
{
    for (CameraPropertyItem &item : m_videoItems)
        CommitProperty(item);
    for (CameraPropertyItem &item : m_cameraItems)
        CommitProperty(item);
}

void UiCameraQuality::SetTabLook(int index)
{
    if (index != 0 && index != 1)
        return;
    ui->pushButton_DefaultValue->setVisible(index == 0);
    ui->pushButton_DefaultValue_cct->setVisible(index == 1);
    ui->pushButton_tabvideo->setStyleSheet(tabLook(index == 0));
    ui->pushButton_tabcamera->setStyleSheet(tabLook(index == 1));
}

void UiCameraQuality::SwitchTab(int index)
{
    SetTabLook(index);
    ui->tabWidget->setCurrentIndex(index);
    on_tabWidget_tabBarClicked(index);
}

void UiCameraQuality::on_pushButton_tabvideo_clicked()
{
    SwitchTab(0);
}

void UiCameraQuality::on_pushButton_tabcamera_clicked()
{
    SwitchTab(1);
}

void UiCameraQuality::on_tabWidget_tabBarClicked(int)
{
    on_pushButton_Apply_clicked();
}

void UiCameraQuality::on_pushButton_Ok_clicked()
{
    m_revertOnClose = false;
    close();
}

void UiCameraQuality::on_closebutton_clicked()
{
    m_revertOnClose = true;
    close();
}

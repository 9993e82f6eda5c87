#include "UiSetBeauty.h"

#include "LiveProxy.h"
#include "Logger.h"
#include "MvComboBoxItemDelegate.h"
#include "RuntimePictures.h"
#include "SysConfig.h"
#include "TextHelpers.h"
#include "UiCameraQuality.h"
#include "UiToolTipDialog.h"
#include "UifigureEffect.h"
#include "ui_UiSetBeauty.h"

#include <QDebug>
#include <QEvent>
#include <QSignalBlocker>
#include <QSize>

#include <cstdlib>

namespace {

const char *const kBackgroundPicture = "./effect/background.png";
constexpr int kBackgroundLayer = 0;
constexpr int kCameraLayer = 2;
constexpr int kMaxResolutionHeight = 1080;
constexpr int kPromptRow = 0;

QString cameraPrompt()
{
    return QStringLiteral("选择摄像头...");
}

QString resolutionPrompt()
{
    return QStringLiteral("选择采集分辨率...");
}

QString openText()
{
    return QStringLiteral("打开摄像头");
}

QString closeText()
{
    return QStringLiteral("关闭摄像头");
}

// Row 0 of a combo: can be the current item but never shows in the pop-up.
void addPromptRow(QComboBox *combo, const QString &prompt)
{
    combo->addItem(prompt);
    combo->setItemData(kPromptRow, QSize(0, 0), Qt::SizeHintRole);
}

// Record fields of each beauty level, in the order of UiSetBeauty::Level.
struct LevelFields
{
    int CameraSettings::*value;
    bool CameraSettings::*enabled;
};
constexpr LevelFields kLevelFields[] = {
    {&CameraSettings::slim, &CameraSettings::slim_enable},
    {&CameraSettings::blur, &CameraSettings::blur_enable},
    {&CameraSettings::whitening, &CameraSettings::whitening_enable},
    {&CameraSettings::colour_temperature, &CameraSettings::colour_temperature_enable},
};

int leadingInt(const QString &text)
{
    const QByteArray bytes = text.toLatin1();
    return int(std::strtol(bytes.constData(), nullptr, 10));
}

} // namespace

UiSetBeauty::UiSetBeauty(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::UiSetBeauty)
{
    ui->setupUi(this);
    resize(264, 740);

    m_effectPicker = new UifigureEffect(this);
    m_effectPicker->setGeometry(0, 540, 352, 200);
    connect(m_effectPicker, SIGNAL(signal_setEffect(int)), this, SLOT(slot_onSetEffect(int)));

    ui->CameracomboBox->ApplyComboLook();
    ui->CameracomboBox_resolution->ApplyComboLook();
    connect(ui->CameracomboBox->itemDelegate(), SIGNAL(signal_clicked(QModelIndex)), this,
            SLOT(slot_onCarmeraComboClicked(QModelIndex)));
    connect(ui->CameracomboBox_resolution->itemDelegate(), SIGNAL(signal_clicked(QModelIndex)), this,
            SLOT(slot_onCameraResolutionComboClicked(QModelIndex)));

    for (MvCheckableBtn *button : {ui->ordinaryclarityBtn, ui->highclarityBtn, ui->superclarityBtn}) {
        button->SetPictures(QStringLiteral(":/image/skin/circleuncheck.png"),
                            QStringLiteral(":/image/skin/circlecheck.png"));
        button->SetPictureOffset(0);
        button->SetTextSpacing(10);
        button->SetTextColor(QColor(38, 41, 56));
    }

    {
        const QSignalBlocker blocker(ui->CameracomboBox_resolution);
        addPromptRow(ui->CameracomboBox_resolution, resolutionPrompt());
    }
    ui->CameracomboBox->installEventFilter(this);
    ui->CameracomboBox_resolution->installEventFilter(this);
    connect(ui->label_restore, SIGNAL(linkActivated(QString)), this, SLOT(on_restoreBtn_clicked()));

    for (QCheckBox *box : {ui->checkBox_slim, ui->checkBox_exfoliat, ui->checkBox_skinwhite,
                           ui->checkBox_colorTemperature})
        box->setChecked(true);
    for (QSlider *slider : {ui->slimSlider, ui->exfoliatSLider, ui->skinwhiteSlider,
                            ui->colorTemperatureLabelSlider})
        slider->setRange(0, 100);
    resetCameraSettings(m_settings);
}

UiSetBeauty::~UiSetBeauty()
{
    delete ui;
}

void UiSetBeauty::resetCameraSettings(CameraSettings &settings)
{
    settings = defaultCameraSettings();
}

ClarityPreset UiSetBeauty::clarityPreset(int index)
{
    return kClarityPresets[index];
}

QString UiSetBeauty::formatResolutionText(int colorFormat, int width, int height, int frameRate)
{
    const std::string name = LiveProxy::colorFormatName(colorFormat);
    if (frameRate == 0)
        return QString::asprintf("%s, %dx%d", name.c_str(), width, height);
    return QString::asprintf("%s, %dx%d, %dFPS", name.c_str(), width, height, frameRate);
}

void UiSetBeauty::parseResolutionText(const QString &text, int *colorFormat, int *width, int *height)
{
    const QStringList parts = text.split(QLatin1Char(','));
    const int color = LiveProxy::colorFormatFromName(parts.value(0).toStdString());
    const QStringList size = parts.value(1).split(QLatin1Char('x'));
    if (colorFormat)
        *colorFormat = color;
    if (width)
        *width = leadingInt(size.value(0));
    if (height)
        *height = leadingInt(size.value(1));
}

// ---- set-up -----------------------------------------------------------------

void UiSetBeauty::setConfig(SysConfig *config)
{
    m_config = config;
    if (!config)
        return;
    if (config->isLoaded()) {
        CameraSettings saved;
        if (config->getCameraConfig(saved)) {
            m_settings = saved;
            showSettings();
            saveSettings();
        } else {
            // No "camera" section yet: the defaults are shown and nothing is
            // written until the first change.
            showSettings();
        }
        return;
    }
    saveSettings();
    showSettings();
}

void UiSetBeauty::showSettings()
{
    const struct
    {
        QCheckBox *box;
        QSlider *slider;
        bool enabled;
    } rows[] = {
        {ui->checkBox_slim, ui->slimSlider, m_settings.slim_enable},
        {ui->checkBox_skinwhite, ui->skinwhiteSlider, m_settings.whitening_enable},
        {ui->checkBox_exfoliat, ui->exfoliatSLider, m_settings.blur_enable},
        {ui->checkBox_colorTemperature, ui->colorTemperatureLabelSlider, m_settings.colour_temperature_enable},
    };
    for (const auto &row : rows) {
        row.box->setChecked(row.enabled);
        row.slider->setEnabled(row.enabled);
    }
    const int slim = m_settings.slim;
    const int whitening = m_settings.whitening;
    const int blur = m_settings.blur;
    const int colourTemperature = m_settings.colour_temperature;
    ui->slimSlider->setValue(slim);
    ui->skinwhiteSlider->setValue(whitening);
    ui->exfoliatSLider->setValue(blur);
    ui->colorTemperatureLabelSlider->setValue(colourTemperature);
    // A hand-edited level outside 0..100 is kept as the slider shows it, so
    // the engine never receives more than the slider allows.
    m_settings.slim = ui->slimSlider->value();
    m_settings.whitening = ui->skinwhiteSlider->value();
    m_settings.blur = ui->exfoliatSLider->value();
    m_settings.colour_temperature = ui->colorTemperatureLabelSlider->value();

    if (m_deviceName.isEmpty()) {
        if (ui->CameracomboBox->count() == 0)
            ui->CameracomboBox->setCurrentIndex(-1);
    } else {
        showCameraName(m_deviceName);
    }
    applyClarity(m_settings.index_resolution, m_settings.resolution_width, m_settings.resolution_height);
    ui->horizontalflipCheck->setChecked(m_settings.turn_h);
    ui->verticalflipCheck->setChecked(m_settings.turn_v);
    m_effectPicker->SetCurrentEffect(m_settings.effect);
}

void UiSetBeauty::setLiveProxy(LiveProxy *proxy)
{
    m_proxy = proxy;
    if (!proxy)
        return;
    refreshCameraList();

    int id = -1;
    if (!proxy->findItem(&id) || id < 1) {
        showCameraName(cameraPrompt());
        ui->openCameraBtn->setText(openText());
    } else {
        QString name;
        proxy->getCameraDeviceName(id, name);
        m_deviceName = name;
        showCameraName(name);
        refreshResolutionList();
        const QString saved = formatResolutionText(m_settings.color_type, m_settings.resolution_width,
                                                   m_settings.resolution_height, 0);
        QComboBox *formats = ui->CameracomboBox_resolution;
        for (int row = 0; row < formats->count(); ++row) {
            if (formats->itemText(row).startsWith(saved, Qt::CaseSensitive)) {
                if (row > 0)
                    formats->setCurrentIndex(row);
                break;
            }
        }
        onCameraOpened(id);
    }

    int background = -1;
    if (!proxy->findBottomImageItem(&background)) {
        background = proxy->addBottomImage(kBackgroundPicture, 255, kBackgroundLayer);
        if (background < 1)
            runtimepictures::logDroppedPicture("background picture", QString::fromLatin1(kBackgroundPicture));
    }
    if (background > 0)
        proxy->setItemFullWindow(background);
}

// ---- helpers ----------------------------------------------------------------

bool UiSetBeauty::liveOrRecording() const
{
    return m_proxy && (m_proxy->isLiving() || m_proxy->isRecording());
}

void UiSetBeauty::showMessage(const QString &text)
{
    UiToolTipDialog box(text, this);
    box.exec();
}

void UiSetBeauty::saveSettings()
{
    // Set-up hands the store over first; a change before that has nowhere
    // to go and is kept in the record only.
    if (m_config)
        m_config->setCameraConfig(m_settings);
}

void UiSetBeauty::showCameraName(const QString &name)
{
    const int row = ui->CameracomboBox->findText(name, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (row >= 0)
        ui->CameracomboBox->setCurrentIndex(row);
}

void UiSetBeauty::showResolutionText(const QString &text)
{
    const int row = ui->CameracomboBox_resolution->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    ui->CameracomboBox_resolution->setCurrentIndex(row >= 0 ? row : kPromptRow);
}

// ---- lists ------------------------------------------------------------------

void UiSetBeauty::refreshCameraList()
{
    QComboBox *combo = ui->CameracomboBox;
    const QString remembered = combo->currentText();
    combo->clear();
    CameraDeviceRecord *table = nullptr;
    int count = 0;
    if (m_proxy)
        m_proxy->cameraDeviceList(&table, &count);
    addPromptRow(combo, cameraPrompt());
    for (int i = 0; table && i < count; ++i) {
        const QString name = QString::fromStdU16String(std::u16string(table[i].name));
        if (!name.isEmpty())
            combo->addItem(name);
    }
    showCameraName(remembered.isEmpty() ? cameraPrompt() : remembered);
}

bool UiSetBeauty::refreshResolutionList()
{
    if (liveOrRecording()) {
        showMessage(QStringLiteral("直播或录制中,不能设置摄像头!"));
        return false;
    }
    QComboBox *combo = ui->CameracomboBox_resolution;
    const QString remembered = combo->currentText();
    combo->clear();
    const QString device = ui->CameracomboBox->currentText();
    if (device.isEmpty())
        return true;

    CameraFormat *formats = nullptr;
    int count = 0;
    if (m_proxy)
        m_proxy->cameraFormatList(device.toStdU16String(), &formats, &count);
    addPromptRow(combo, resolutionPrompt());
    for (int i = 0; formats && i < count; ++i) {
        const CameraFormat &f = formats[i];
        if (isAspect16x9(f.width, f.height) && f.height < kMaxResolutionHeight)
            combo->addItem(formatResolutionText(f.colorFormat, f.width, f.height, f.fps));
    }
    showResolutionText(remembered);
    return true;
}

// ---- combos -----------------------------------------------------------------

bool UiSetBeauty::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonPress) {
        if (watched == ui->CameracomboBox) {
            const QSignalBlocker blocker(ui->CameracomboBox);
            if (liveOrRecording()) {
                showMessage(QStringLiteral("直播或录制中,不能设置摄像头"));
                return true;
            }
            refreshCameraList();
            return false;
        }
        if (watched == ui->CameracomboBox_resolution) {
            const QSignalBlocker blocker(ui->CameracomboBox_resolution);
            return !refreshResolutionList();
        }
    }
    return QWidget::eventFilter(watched, event);
}

void UiSetBeauty::slot_onCarmeraComboClicked(QModelIndex index)
{
    qDebug() << "CarmeraComboClicked" << index.row();
}

void UiSetBeauty::slot_onCameraResolutionComboClicked(QModelIndex index)
{
    qDebug() << "CameraResolutionComboClicked" << index.row();
}

void UiSetBeauty::on_CameracomboBox_currentTextChanged(const QString &text)
{
    if (text.isEmpty() || text == cameraPrompt() || text == m_deviceName)
        return;
    if (!cameraOpen()) {
        showResolutionText(resolutionPrompt());
        return;
    }
    // A wheel turn or a key reaches here without the press the filter refuses.
    if (liveOrRecording()) {
        showMessage(QStringLiteral("直播或录制中,不能设置摄像头"));
        showCameraName(m_deviceName);
        return;
    }
    UiToolTipDialog question(QStringLiteral("是否关闭摄像头?"), this);
    question.setCancelVisible(true);
    if (question.exec() != 1) {
        showCameraName(m_deviceName);
        return;
    }
    if (m_proxy)
        m_proxy->removeItem(m_cameraId);
    m_cameraId = -1;
    m_deviceName.clear();
    ui->openCameraBtn->setText(openText());
    showResolutionText(resolutionPrompt());
    emit signal_cameraOpened(false);
}

void UiSetBeauty::on_CameracomboBox_resolution_currentTextChanged(const QString &text)
{
    if (text.isEmpty() || text == resolutionPrompt() || !cameraOpen())
        return;
    if (liveOrRecording()) {
        showMessage(QStringLiteral("直播或录制中,不能设置摄像头!"));
        const QSignalBlocker blocker(ui->CameracomboBox_resolution);
        showResolutionText(m_resolutionText);
        return;
    }
    int color = 0, width = 0, height = 0;
    parseResolutionText(text, &color, &width, &height);
    m_resolutionText = text;
    changeResolution(color, width, height);
}

// ---- opening and closing ----------------------------------------------------

void UiSetBeauty::on_openCameraBtn_clicked()
{
    ui->openCameraBtn->setEnabled(false);
    if (ui->openCameraBtn->text() == closeText()) {
        ui->openCameraBtn->setText(openText());
        if (liveOrRecording()) {
            showMessage(QStringLiteral("直播或录制中,不能关闭摄像头!"));
            ui->openCameraBtn->setText(closeText());
        } else {
            closeCamera();
        }
    } else {
        ui->openCameraBtn->setText(closeText());
        if (liveOrRecording()) {
            showMessage(QStringLiteral("直播或录制中,不能打开摄像头!"));
            ui->openCameraBtn->setText(openText());
        } else {
            openChosenCamera();
        }
    }
    ui->openCameraBtn->setEnabled(true);
}

void UiSetBeauty::slot_openCamera()
{
    // The preview's request meets the same refusal as the button.
    if (liveOrRecording()) {
        showMessage(QStringLiteral("直播或录制中,不能打开摄像头!"));
        return;
    }
    openChosenCamera();
}

void UiSetBeauty::openChosenCamera()
{
    const QString device = ui->CameracomboBox->currentText();
    if (device.isEmpty() || device == cameraPrompt()) {
        showMessage(QStringLiteral("请选择摄像头!"));
        ui->openCameraBtn->setText(openText());
        return;
    }
    const QString format = ui->CameracomboBox_resolution->currentText();
    if (format.isEmpty() || format == resolutionPrompt()) {
        showMessage(QStringLiteral("请选择摄像头分辨率!"));
        ui->openCameraBtn->setText(openText());
        return;
    }
    if (cameraOpen() && m_deviceName == device) {
        showMessage(QStringLiteral("该摄像头已经打开!"));
        return;
    }
    // Item ids start at 1: a 0 from the engine is no item.
    const int id = m_proxy ? m_proxy->openCamera(device.toStdU16String(), kCameraLayer) : -1;
    if (id > 0) {
        onCameraOpened(id);
        return;
    }
    showMessage(QStringLiteral("摄像头打开失败!"));
    if (cameraOpen())
        showCameraName(m_deviceName);
    else
        ui->openCameraBtn->setText(openText());
}

void UiSetBeauty::onCameraOpened(int id)
{
    if (id <= 0 || !m_proxy)
        return;
    if (cameraOpen() && m_cameraId != id)
        m_proxy->removeItem(m_cameraId);
    QString name;
    m_proxy->getCameraDeviceName(id, name);
    m_cameraId = id;
    m_deviceName = name;
    showCameraName(name);

    QComboBox *formats = ui->CameracomboBox_resolution;
    const QString shown = formats->currentText();
    if (!shown.isEmpty() && shown != resolutionPrompt()) {
        int color = 0, width = 0, height = 0;
        parseResolutionText(shown, &color, &width, &height);
        m_resolutionText = shown;
        changeResolution(color, width, height);
    } else {
        formats->setCurrentIndex(1);
    }

    ui->horizontalflipCheck->setChecked(m_settings.turn_h);
    ui->verticalflipCheck->setChecked(m_settings.turn_v);
    m_proxy->setItemFullWindow(id);
    applyCameraSettings(id);
    ui->openCameraBtn->setText(closeText());
    emit signal_cameraOpened(true);
}

void UiSetBeauty::closeCamera()
{
    if (m_cameraId > 0 && m_proxy)
        m_proxy->removeItem(m_cameraId);
    m_cameraId = -1;
    m_deviceName.clear();
    emit signal_cameraOpened(false);
}

// ---- capture format and clarity ---------------------------------------------

void UiSetBeauty::changeResolution(int colorFormat, int width, int height)
{
    const bool wide = isAspect16x9(width, height);
    const bool narrow = isAspect4x3(width, height);
    const bool savedWide = isAspect16x9(m_settings.resolution_width, m_settings.resolution_height);
    const bool savedNarrow = isAspect4x3(m_settings.resolution_width, m_settings.resolution_height);
    // The canvas proportions follow the aspect class, and the slim effect
    // depends on them.
    if ((wide && !savedWide) || (narrow && !savedNarrow)) {
        applyClarity(m_settings.index_resolution, width, height);
        if (m_settings.slim_enable && cameraOpen() && m_proxy)
            m_proxy->setSlim(m_cameraId, m_settings.slim);
    }
    applyCameraParam(colorFormat, width, height);
    m_settings.color_type = colorFormat;
    m_settings.resolution_width = width;
    m_settings.resolution_height = height;
    saveSettings();
}

bool UiSetBeauty::applyCameraParam(int colorFormat, int width, int height)
{
    CameraFormat *formats = nullptr;
    int count = 0;
    if (m_proxy)
        m_proxy->cameraFormatList(m_deviceName.toStdU16String(), &formats, &count);
    const CameraFormat *match = nullptr;
    for (int i = 0; formats && i < count; ++i) {
        const CameraFormat &f = formats[i];
        if (f.colorFormat == colorFormat && f.width == width && f.height == height) {
            match = &f;
            break;
        }
    }
    if (!match) {
        Logger::instance()->write(Logger::LOG_ERROR, "camera has not match the param.");
        return false;
    }
    Logger::instance()->write(Logger::LOG_INFO, "set camera param, color: %s  width: %d, height: %d.",
                              LiveProxy::colorFormatName(colorFormat).c_str(), width, height);
    if (cameraOpen()) {
        CameraParams params;
        params.colorFormat = match->colorFormat;
        params.width = match->width;
        params.height = match->height;
        params.fps = match->fps;
        m_proxy->setCameraParam(m_cameraId, &params);
    }
    return true;
}

void UiSetBeauty::applyClarity(int index, int width, int height)
{
    if (index < 0 || index >= kClarityPresetCount)
        return;
    MvCheckableBtn *buttons[kClarityPresetCount] = {ui->ordinaryclarityBtn, ui->highclarityBtn,
                                                    ui->superclarityBtn};
    for (int i = 0; i < kClarityPresetCount; ++i)
        buttons[i]->SetCheckedLook(i == index);
    if (!m_proxy)
        return;
    const ClarityPreset row = clarityPreset(index);
    LiveParams params;
    params.quality = index;
    params.qualityIndex = index;
    params.outputWidth = row.width;
    params.outputHeight = row.height;
    params.bitRate = row.bitrate;
    params.frameRate = row.frameRate;
    params.cameraWidth = width;
    params.cameraHeight = height;
    params.qualityTable = &kClarityPresets[index];
    m_proxy->changeLiveResolution(&params);
}

void UiSetBeauty::onClarityClicked(int index, const QString &refusal)
{
    if (index == m_settings.index_resolution)
        return;
    if (liveOrRecording()) {
        showMessage(refusal);
        return;
    }
    applyClarity(index, m_settings.resolution_width, m_settings.resolution_height);
    m_settings.index_resolution = index;
    saveSettings();
}

void UiSetBeauty::on_ordinaryclarityBtn_clicked()
{
    onClarityClicked(0, QStringLiteral("直播或录制中,无法设置!"));
}

void UiSetBeauty::on_highclarityBtn_clicked()
{
    onClarityClicked(1, QStringLiteral("直播或录制中,无法设置"));
}

void UiSetBeauty::on_superclarityBtn_clicked()
{
    onClarityClicked(2, QStringLiteral("直播或录制中,无法设置"));
}

// ---- beauty -----------------------------------------------------------------

int &UiSetBeauty::levelValue(Level level)
{
    return m_settings.*kLevelFields[int(level)].value;
}

bool &UiSetBeauty::levelEnabled(Level level)
{
    return m_settings.*kLevelFields[int(level)].enabled;
}

// The level's own call with `ownLevel` in its place and the stored values of
// the other filter levels.
void UiSetBeauty::sendLevel(Level level, int ownLevel)
{
    if (!m_proxy || !cameraOpen())
        return;
    int blur = m_settings.blur;
    int whitening = m_settings.whitening;
    int colourTemperature = m_settings.colour_temperature;
    switch (level) {
    case Level::Slim:
        m_proxy->setSlim(m_cameraId, ownLevel);
        return;
    case Level::Blur:
        m_proxy->setBlur(m_cameraId, ownLevel, whitening, colourTemperature);
        return;
    case Level::Whitening:
        m_proxy->setWhitening(m_cameraId, blur, ownLevel, colourTemperature);
        return;
    case Level::ColourTemperature:
        m_proxy->setColourTemperature(m_cameraId, blur, whitening, ownLevel);
        return;
    }
}

void UiSetBeauty::onLevelMoved(Level level, int value)
{
    QLabel *labels[] = {ui->label_slimValue, ui->label_exfoliatValue, ui->label_skinwhiteValue,
                        ui->label_colorTempValue};
    labels[int(level)]->setText(QStringLiteral("%1").arg(value));
    levelValue(level) = value;
    if (levelEnabled(level))
        sendLevel(level, value);
    saveSettings();
}

void UiSetBeauty::onLevelToggled(Level level)
{
    QCheckBox *boxes[] = {ui->checkBox_slim, ui->checkBox_exfoliat, ui->checkBox_skinwhite,
                          ui->checkBox_colorTemperature};
    QSlider *sliders[] = {ui->slimSlider, ui->exfoliatSLider, ui->skinwhiteSlider,
                          ui->colorTemperatureLabelSlider};
    const bool on = boxes[int(level)]->isChecked();
    sendLevel(level, on ? levelValue(level) : 0);
    sliders[int(level)]->setEnabled(on);
    levelEnabled(level) = on;
    saveSettings();
}

void UiSetBeauty::on_slimSlider_valueChanged(int value)
{
    onLevelMoved(Level::Slim, value);
}

void UiSetBeauty::on_exfoliatSLider_valueChanged(int value)
{
    onLevelMoved(Level::Blur, value);
}

void UiSetBeauty::on_skinwhiteSlider_valueChanged(int value)
{
    onLevelMoved(Level::Whitening, value);
}

void UiSetBeauty::on_colorTemperatureLabelSlider_valueChanged(int value)
{
    onLevelMoved(Level::ColourTemperature, value);
}

void UiSetBeauty::on_checkBox_slim_clicked()
{
    onLevelToggled(Level::Slim);
}

void UiSetBeauty::on_checkBox_exfoliat_clicked()
{
    onLevelToggled(Level::Blur);
}

void UiSetBeauty::on_checkBox_skinwhite_clicked()
{
    onLevelToggled(Level::Whitening);
}

void UiSetBeauty::on_checkBox_colorTemperature_clicked()
{
    onLevelToggled(Level::ColourTemperature);
}

void UiSetBeauty::applyBeautyPreset(int row)
{
    if (row < 0 || row >= kBeautyPresetCount)
        return;
    const BeautyPreset &preset = kBeautyPresets[row];
    // The slim level is not part of a preset.
    m_settings.whitening = preset.whitening;
    m_settings.blur = preset.blur;
    m_settings.colour_temperature = preset.colour_temperature;
    ui->slimSlider->setValue(m_settings.slim);
    ui->skinwhiteSlider->setValue(m_settings.whitening);
    ui->exfoliatSLider->setValue(m_settings.blur);
    ui->colorTemperatureLabelSlider->setValue(m_settings.colour_temperature);
    if (!m_proxy || !cameraOpen())
        return;
    const int blur = m_settings.blur;
    const int whitening = m_settings.whitening;
    const int colourTemperature = m_settings.colour_temperature;
    if (m_settings.whitening_enable)
        m_proxy->setWhitening(m_cameraId, blur, whitening, colourTemperature);
    if (m_settings.blur_enable)
        m_proxy->setBlur(m_cameraId, blur, whitening, colourTemperature);
    if (m_settings.colour_temperature_enable)
        m_proxy->setColourTemperature(m_cameraId, blur, whitening, colourTemperature);
}

void UiSetBeauty::on_KeyBeautyBtn_clicked()
{
    m_settings.index_beauty = 1;
    applyBeautyPreset(1);
    saveSettings();
    if (m_proxy)
        m_proxy->reportAction(10, -1);
}

void UiSetBeauty::on_restoreBtn_clicked()
{
    m_settings.index_beauty = 0;
    applyBeautyPreset(0);
    saveSettings();
    if (m_proxy)
        m_proxy->reportAction(11, -1);
}

void UiSetBeauty::applyCameraSettings(int id)
{
    if (id <= 0 || !m_proxy)
        return;
    const CameraSettings &s = m_settings;
    m_proxy->setSlim(id, s.slim_enable ? s.slim : 0);
    m_proxy->setWhitening(id, s.blur, s.whitening_enable ? s.whitening : 0, s.colour_temperature);
    m_proxy->setBlur(id, s.blur_enable ? s.blur : 0, s.whitening, s.colour_temperature);
    m_proxy->setColourTemperature(id, s.blur, s.whitening, s.colour_temperature_enable ? s.colour_temperature : 0);
    m_proxy->setItemColorEffect(id, s.effect);
    m_proxy->setItemMirrored(id, s.turn_h);
    m_proxy->setItemFlipped(id, s.turn_v);
}

// ---- effect and flips -------------------------------------------------------

void UiSetBeauty::slot_onSetEffect(int effect)
{
    if (m_proxy && cameraOpen())
        m_proxy->setItemColorEffect(m_cameraId, effect);
    if (m_proxy && effect >= 0 && effect <= 7)
        m_proxy->reportAction(2, effect + 1);
    m_settings.effect = effect;
    saveSettings();
}

void UiSetBeauty::on_horizontalflipCheck_clicked()
{
    m_settings.turn_h = !m_settings.turn_h;
    if (m_proxy && cameraOpen())
        m_proxy->setItemMirrored(m_cameraId, m_settings.turn_h);
    saveSettings();
}

void UiSetBeauty::on_verticalflipCheck_clicked()
{
    m_settings.turn_v = !m_settings.turn_v;
    if (m_proxy && cameraOpen())
        m_proxy->setItemFlipped(m_cameraId, m_settings.turn_v);
    saveSettings();
}

void UiSetBeauty::slot_onCameraTurnStatus(bool bHTurn, bool bVTurn)
{
    m_settings.turn_h = bHTurn;
    m_settings.turn_v = bVTurn;
    ui->horizontalflipCheck->setChecked(bHTurn);
    ui->verticalflipCheck->setChecked(bVTurn);
    saveSettings();
}

// ---- camera quality ---------------------------------------------------------

void UiSetBeauty::on_pushButton_ImageQuality_clicked()
{
    int id = -1;
    if (!m_proxy || !m_proxy->findItem(&id) || id < 1)
        return;
    QString device;
    m_proxy->getCameraDeviceName(id, device);
    if (device.isEmpty())
        return;
    UiCameraQuality dialog(this);
    if (dialog.InitCamera(device) != 0)
        return;
    m_proxy->reportAction(1, -1);
    dialog.exec();
}

#include "UiWorking.h"

#include "CameraSettings.h"
#include "LiveParams.h"
#include "LiveProxy.h"
#include "SysConfig.h"
#include "UiInsertPicWidget.h"
#include "UiSampleWidget.h"
#include "UiScreenItemControlWidget.h"
#include "UiSetBeauty.h"
#include "UiSetCaptureScreen.h"
#include "UiSetLiving.h"
#include "UiSetPicture.h"
#include "UiSetSubtitle.h"
#include "UiSetting.h"
#include "UiVideo.h"
#include "WorkspaceRestore.h"

#include <string>

namespace {

// The scene's bottom picture: it stays in the preview and is never listed.
const char *const kBackgroundPicture = "./effect/background.png";
const char *const kCapturePicture = ":/image/skin/snotscreenmiddle.png";

} // namespace

UiWorking::UiWorking(QWidget *parent)
    : QWidget(parent)
{
    resize(1200, 740);
    createPanels();
    connectPanels();
}

UiWorking::~UiWorking() = default;

void UiWorking::createPanels()
{
    m_videoArea = new QWidget(this);
    m_videoArea->setObjectName(QStringLiteral("widget_video"));
    m_videoArea->setGeometry(394, 6, 800, 450);
    m_videoArea->setStyleSheet(QStringLiteral("background-color: rgb(0, 0, 0);"));
    m_video = new UiVideo(m_videoArea);

    m_settingArea = new QWidget(this);
    m_settingArea->setObjectName(QStringLiteral("widget_setting_area"));
    m_settingArea->setGeometry(0, 0, 352, 740);
    m_setting = new UiSetting(m_settingArea);

    // Taller than the workspace: only its top 284 pixels, under the preview, show.
    m_living = new UiSetLiving(this);
    m_living->setGeometry(352, 456, 848, 1184);

    m_beauty = m_setting->getSetBeauty();
}

void UiWorking::connectPanels()
{
    connect(m_video, &UiVideo::signal_OpenCamera, m_beauty, &UiSetBeauty::slot_openCamera);
    connect(m_video, &UiVideo::itemsRestacked, this, &UiWorking::on_flushScreenItemList);
    connect(m_video, &UiVideo::removeItemRequested, this, &UiWorking::on_item_removefromVideo);
    connect(m_setting, &UiSetting::add_screenitem, this, &UiWorking::slot_add_screenitem);
    connect(m_setting, &UiSetting::del_screenitem, this, &UiWorking::slot_del_screenitem);
    connect(m_setting->getSetPicture(), &UiSetPicture::del_imageitem, this, &UiWorking::slot_del_imageitem);
    connect(m_setting->getSetSubtitle(), &UiSetSubtitle::change_subtitletemplate, this,
            &UiWorking::slot_changepath_screenitem);
    connect(m_setting->getSetCaptureScreen(), &UiSetCaptureScreen::add_captureitem, this,
            &UiWorking::slot_add_screenitem);
    if (UiScreenItemControlWidget *list = itemList())
        connect(list, &UiScreenItemControlWidget::screenitem_sampleDel, this, &UiWorking::on_item_removefromScreenItem);
    connect(m_beauty, &UiSetBeauty::signal_cameraOpened, this, &UiWorking::setCameraOpened);
}

UiScreenItemControlWidget *UiWorking::itemList() const
{
    return m_living->getScreenItemControl();
}

void UiWorking::setConfig(SysConfig *config)
{
    m_config = config;
    m_setting->setConfig(config);
    m_living->setConfig(config);
}

int UiWorking::setLiveProxy(LiveProxy *proxy)
{
    m_proxy = proxy;
    const int result = initLiveEngine();
    if (result < 0)
        return result;
    m_video->setLiveProxy(proxy);
    m_setting->setLiveProxy(proxy);
    m_living->setLiveProxy(proxy);
    restoreScreenItems();
    return result;
}

int UiWorking::initLiveEngine()
{
    const int quality = workspace::qualityRow(m_config ? m_config->cameraResolutionIndex() : -1);
    const ClarityPreset &row = kClarityPresets[quality];
    LiveParams params;
    params.previewWindow = m_video->previewWindowId();
    params.quality = quality;
    params.previewWidth = m_video->previewWidth();
    params.previewHeight = m_video->previewHeight();
    params.outputWidth = row.width;
    params.outputHeight = row.height;
    params.bitRate = row.bitrate;
    params.frameRate = row.frameRate;
    params.cameraWidth = m_config ? m_config->cameraResolutionWidth() : -1;
    params.cameraHeight = m_config ? m_config->cameraResolutionHeight() : -1;
    params.qualityIndex = quality;
    params.qualityTable = kClarityPresets;
    return m_proxy ? m_proxy->init(&params) : -1;
}

void UiWorking::restoreScreenItems()
{
    // A copy: refused items leave the scene during the walk.
    std::vector<int> ids;
    m_proxy->sortedItemIds(ids);
    int fullScreen = 0;
    m_proxy->findFullScreenCaptureItem(&fullScreen);

    for (const int id : ids) {
        switch (m_proxy->itemType(id)) {
        case SceneItemPicture:
            restorePicture(id);
            break;
        case SceneItemPendant:
            restoreSticker(id);
            break;
        case SceneItemScreenCapture:
            addListRecord(QString::fromLatin1(kCapturePicture),
                          id == fullScreen ? QStringLiteral("全屏截取") : QStringLiteral("手动截取"), id);
            break;
        case SceneItemEffectiveText:
            restoreSubtitle(id);
            break;
        default:
            // Camera, plug-ins, shadow, edge and other kinds stay unlisted.
            break;
        }
    }
}

void UiWorking::restorePicture(int id)
{
    std::string source;
    m_proxy->getItemSource(id, &source);
    if (source == kBackgroundPicture)
        return;
    const QString path = QString::fromStdString(source);
    if (!m_setting->getSetPicture()->getInsertPicWidget()->AddPicture(id, path)) {
        m_proxy->removeItem(id);
        return;
    }
    // The item list numbers picture records itself.
    addListRecord(path, QStringLiteral("picture"), id);
}

void UiWorking::restoreSticker(int id)
{
    std::string source;
    m_proxy->getItemSource(id, &source);
    const QString path = QString::fromStdString(source);
    if (!m_setting->getSetPicture()->getSampleWidget()->MarkItemAdded(id, path)) {
        m_proxy->removeItem(id);
        return;
    }
    addListRecord(path, workspace::stickerDescription(path), id);
}

void UiWorking::restoreSubtitle(int id)
{
    const QString thumbnail = m_setting->getSetSubtitle()->restoreSubtitleItem(id);
    if (thumbnail.isEmpty()) {
        // The page holds its one subtitle already.
        m_proxy->removeItem(id);
        return;
    }
    addListRecord(thumbnail, QStringLiteral("字幕"), id);
}

void UiWorking::addListRecord(const QString &path, const QString &desc, int id)
{
    if (UiScreenItemControlWidget *list = itemList())
        list->addScreenItem(path.toUtf8().constData(), desc.toUtf8().constData(), id);
}

void UiWorking::setCameraOpened(bool opened)
{
    m_video->setCameraOpened(opened);
}

void UiWorking::slot_add_screenitem(QString strpicpath, QString strdesc, int id_item)
{
    addListRecord(strpicpath, strdesc, id_item);
}

void UiWorking::slot_changepath_screenitem(int id_item, QString strpicpath)
{
    if (UiScreenItemControlWidget *list = itemList())
        list->changeItemPath(id_item, strpicpath.toUtf8().constData());
}

void UiWorking::slot_del_screenitem(int id_item)
{
    if (UiScreenItemControlWidget *list = itemList())
        list->removeScreenItem(id_item);
}

void UiWorking::slot_del_imageitem(int id_item)
{
    if (UiScreenItemControlWidget *list = itemList())
        list->removeImageItem(id_item);
}

void UiWorking::on_flushScreenItemList()
{
    if (UiScreenItemControlWidget *list = itemList())
        list->reorderItems();
}

void UiWorking::releaseFromPage(int id, int type)
{
    UiSetPicture *pictures = m_setting->getSetPicture();
    switch (type) {
    case SceneItemPicture:
        pictures->getInsertPicWidget()->RemovePicture(id);
        break;
    case SceneItemPendant:
        pictures->getSampleWidget()->UnselectItem(id);
        break;
    case SceneItemEffectiveText:
        m_setting->getSetSubtitle()->on_delete_sample(id);
        break;
    default:
        break;
    }
}

void UiWorking::on_item_removefromScreenItem(int id)
{
    if (!m_proxy)
        return;
    releaseFromPage(id, m_proxy->itemType(id));
    m_proxy->removeItem(id);
}

void UiWorking::on_item_removefromVideo(int id)
{
    if (id < 0 || !m_proxy)
        return;
    const int type = m_proxy->itemType(id);
    releaseFromPage(id, type);
    UiScreenItemControlWidget *list = itemList();
    if (list) {
        switch (type) {
        case SceneItemPicture:
            list->removeImageItem(id);
            break;
        case SceneItemScreenCapture:
            list->removeCaptureItem(id);
            break;
        default:
            list->removeScreenItem(id);
            break;
        }
    }
    m_proxy->removeItem(id);
}

#include "UiSetCaptureScreen.h"

#include "LiveProxy.h"
#include "MvMonitorSelectDialog.h"
#include "MvScreenShotDialog.h"
#include "UiToolTipDialog.h"
#include "ui_UiSetCaptureScreen.h"

#include <QCoreApplication>
#include <QTimer>
#include <QWindow>

#include <vector>

namespace {

// Engine layers the captures go to: the full-screen capture lies under the
// other sources, a region among them.
constexpr int kFullScreenLayer = 1;
constexpr int kRegionLayer = 3;

constexpr int kActionFullScreen = 19;
constexpr int kActionRegion = 20;

} // namespace

UiSetCaptureScreen::UiSetCaptureScreen(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::UiSetCaptureScreen)
{
    ui->setupUi(this);
    resize(264, 740);
    m_listPicture = QStringLiteral(":/image/skin/snotscreenmiddle.png");
}

UiSetCaptureScreen::~UiSetCaptureScreen() = default;

void UiSetCaptureScreen::setLiveProxy(LiveProxy *proxy)
{
    m_proxy = proxy;
}

int UiSetCaptureScreen::regionCaptureCount() const
{
    if (!m_proxy)
        return 0;
    std::vector<int> ids;
    m_proxy->sortedItemIds(ids);
    int count = 0;
    for (int id : ids)
        if (m_proxy->itemType(id) == SceneItemScreenCapture)
            ++count;
    // The full-screen capture has the same type.
    int fullScreen = 0;
    if (count > 0 && m_proxy->findFullScreenCaptureItem(&fullScreen))
        --count;
    return count;
}

bool UiSetCaptureScreen::pickDisplay(int displays, int *display)
{
    MvMonitorSelectDialog picker(displays, this);
    if (picker.exec() != 1)
        return false;
    *display = picker.GetSelectedIndex();
    return true;
}

void UiSetCaptureScreen::on_fullscreencapturebtn_clicked()
{
    if (!m_proxy)
        return;
    int existing = 0;
    if (m_proxy->findFullScreenCaptureItem(&existing))
        return;

    // A picker closed without a choice still captures the first display.
    int display = 0;
    const int displays = m_proxy->displayCount();
    if (displays > 1 && !pickDisplay(displays, &display))
        display = 0;

    const int id = m_proxy->addFullScreenCapture(display, kFullScreenLayer);
    if (id > 0) {
        m_proxy->setItemFullWindow(id);
        emit add_captureitem(m_listPicture, QStringLiteral("全屏截取"), id);
    }
    m_proxy->reportAction(kActionFullScreen, -1);
}

void UiSetCaptureScreen::on_manualscreencapturebtn_clicked()
{
    if (!m_proxy)
        return;
    if (regionCaptureCount() >= kMaxRegionCaptures) {
        showMessage(QStringLiteral("手动截取不超过3个!"));
        return;
    }

    int result = -1;
    const int displays = m_proxy->displayCount();
    if (displays > 1) {
        int display = 0;
        if (pickDisplay(displays, &display)) {
            int x = 0, y = 0, w = 0, h = 0;
            m_proxy->displayRect(display, &x, &y, &w, &h);
            const QRect region = pickRegion(x, y, w, h, true);
            if (!region.isEmpty())
                result = m_proxy->addScreenCapture(region, display, kRegionLayer);
        }
    } else {
        // No display reported counts as one.
        const QRect region = pickRegion(0, 0, 0, 0, false);
        if (!region.isEmpty())
            result = m_proxy->addScreenCapture(region, 0, kRegionLayer);
    }

    // Ids above 0 are items; 0 and below are failures, as everywhere.
    if (result <= 0) {
        showMessage(QStringLiteral("手动截取失败!"));
        return;
    }
    emit add_captureitem(m_listPicture, QStringLiteral("手动截取"), result);
    m_proxy->reportAction(kActionRegion, -1);
}

QRect UiSetCaptureScreen::pickRegion(int x, int y, int w, int h, bool placeOverArea)
{
    hideWindowForGrab();
    MvScreenShotDialog picker(x, y, w, h, nullptr);
    if (placeOverArea)
        picker.setGeometry(x, y, w, h);
    picker.GrabFullScreen(picker.GrabDesktop());
    const int accepted = picker.exec();
    restoreWindow();
    // An empty selection captures nothing; it ends as a refusal.
    return accepted == 1 ? picker.GetResultRect() : QRect();
}

void UiSetCaptureScreen::hideWindowForGrab()
{
    QWidget *top = window();
    // A window that is not up has nothing to hide, and must not be shown.
    m_hidden = top->isVisible();
    if (!m_hidden)
        return;
    // Hidden, not minimised: a minimise needs a window manager to happen at
    // all, a hide takes the window off the screen by itself.
    top->hide();
    // The grab must not catch the window on its way out; the unmap is
    // confirmed within a round trip of the display server.
    QWindow *handle = top->windowHandle();
    QTimer deadline; // its firing wakes the wait below
    deadline.setSingleShot(true);
    deadline.start(kHideWaitMs);
    while (handle && handle->isExposed() && deadline.isActive())
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents | QEventLoop::WaitForMoreEvents);
}

void UiSetCaptureScreen::restoreWindow()
{
    if (!m_hidden)
        return;
    m_hidden = false;
    QWidget *top = window();
    top->show();
    top->raise();
    top->activateWindow();
}

void UiSetCaptureScreen::showMessage(const QString &text)
{
    UiToolTipDialog box(text, this);
    box.setCancelVisible(false);
    box.exec();
}

#include "LiveProxy.h"

#include "IListener.h"
#include "IMessageDecoder.h"
#include "Logger.h"
#include "RuntimePictures.h"
#include "TextHelpers.h"

#include <QImage>
#include <QPainter>

#include <cstdlib>
#include <cstring>

// What the engine and the account service report, on their own threads.
// Each callback passes the facade's callback gate first, so none runs once
// the facade is being torn down.

namespace {

constexpr int kSignedInElsewhere = 211;
constexpr int kLineConfirmRefused = 218;
constexpr int kServiceText = 226;
constexpr int kOpenFailed = 426;
constexpr int kRoomClosed = 219;
constexpr int kCameraTurnEvent = 3;
constexpr int kMirrorAxis = 1;
constexpr int kFlipAxis = 0;

// The room-message decoder of the chat library, one for the process, made
// before main runs.
const std::unique_ptr<IMessageDecoder> g_decoder(CreateMvMessageDecoder());

int liveClosedCode(int state)
{
    switch (state) {
    case 0:
        return 326; // closed by the broadcaster
    case 1:
        return 327; // no viewers
    case 2:
        return 328; // banned
    default:
        return kRoomClosed;
    }
}

} // namespace

// ---- engine ----------------------------------------------------------------

void LiveProxy::OnVideoFps(int fps)
{
    CallbackGate::Pass pass(m_callbackGate);
    if (!pass)
        return;
    if (m_listener)
        m_listener->OnVideoFps(fps);
    m_overlay.setFps(fps);
}

void LiveProxy::GetPushUrl(char *buffer, int size, int)
{
    CallbackGate::Pass pass(m_callbackGate);
    if (!pass || !buffer || size <= 0)
        return;
    std::string url;
    int unused = 0;
    if (m_netService)
        m_netService->GetPushAddress(&url, &unused);
    // An address that does not fit is no address: the buffer gets an empty text.
    if (url.size() >= size_t(size))
        url.clear();
    std::memcpy(buffer, url.c_str(), url.size() + 1);
}

void LiveProxy::OnPushState(const char *url, bool connected, int)
{
    CallbackGate::Pass pass(m_callbackGate);
    // A push answer for a broadcast that was stopped meanwhile opens nothing.
    if (!pass || !isLoggedIn() || !isLiving() || !m_netService)
        return;
    if (!connected) {
        const int code = changeLiveLine();
        if (code != 0)
            reportLiveFailure(code);
        return;
    }
    int code = 0;
    {
        QMutexLocker lock(&m_lineMutex);
        if (!m_roomWasLive) {
            code = m_netService->ConfirmLiveLine(url ? std::string(url) : std::string());
            freeLiveLinesLocked();
        }
    }
    if (code == 0) {
        emit OpenLive();
        if (m_listener)
            m_listener->OnLiveStatus(std::string(), 0);
        return;
    }
    emit CloseLive();
    if (code != kLineConfirmRefused && code != kServiceText)
        code = kOpenFailed;
    std::string text;
    if (code == kServiceText)
        m_netService->GetLastErrorText(&text);
    if (m_listener)
        m_listener->OnLiveStatus(text, code);
}

void LiveProxy::OnAudioLevel(int type, int level)
{
    CallbackGate::Pass pass(m_callbackGate);
    if (pass && m_listener)
        m_listener->OnAudioLevel(type, level);
}

void LiveProxy::OnKbps(float kbps)
{
    CallbackGate::Pass pass(m_callbackGate);
    if (pass && m_listener)
        m_listener->OnKbps(kbps);
}

void LiveProxy::OnSystemPerformance(int cpu, int mem)
{
    CallbackGate::Pass pass(m_callbackGate);
    if (!pass)
        return;
    if (m_listener)
        m_listener->OnSystemPerformance(cpu, mem);
    m_overlay.setPerformance(cpu, mem);
}

void LiveProxy::OnFrameDropped(int64_t total, int, float percent)
{
    CallbackGate::Pass pass(m_callbackGate);
    if (pass && m_listener)
        m_listener->OnFrameDropped(total, percent);
}

void LiveProxy::OnRecordingEnded(const char *path, int error)
{
    CallbackGate::Pass pass(m_callbackGate);
    if (!pass)
        return;
    // The recording state is the GUI thread's; the report waits for it there
    // and is dropped with the facade.
    const std::string file = path ? path : "";
    QMetaObject::invokeMethod(
        this, [this, file, error] { onRecordingEnded(file, error); }, Qt::QueuedConnection);
}

// On the engine's video thread: paints the latest published state and the
// plate, and reads nothing else of the facade.
void LiveProxy::OnPaintOverlay(QPainter *painter)
{
    CallbackGate::Pass pass(m_callbackGate);
    if (pass && painter)
        paintPreviewOverlay(painter);
}

void LiveProxy::paintPreviewOverlay(QPainter *painter)
{
    painter->save();
    std::call_once(m_overlayPictureRead, [this] {
        const QString path = QStringLiteral("./effect/systeminfo.png");
        m_overlayPicture = QImage(path);
        if (m_overlayPicture.isNull())
            runtimepictures::logDroppedPicture("preview overlay picture", path);
    });
    if (!m_overlayPicture.isNull())
        painter->drawImage(QRect(8, 6, 260, 22), m_overlayPicture);
    m_overlay.current()->paint(painter);
    painter->restore();
}

void LiveProxy::onCameraTurn(int event, int itemId, void *context)
{
    if (!context || event != kCameraTurnEvent)
        return;
    LiveProxy *self = static_cast<LiveProxy *>(context);
    CallbackGate::Pass pass(self->m_callbackGate);
    if (!pass || !self->m_scene || self->itemType(itemId) != SceneItemCamera)
        return;
    float flip = 0.0f;
    float mirror = 0.0f;
    self->m_scene->GetItemRotation(itemId, &flip, kFlipAxis);
    self->m_scene->GetItemRotation(itemId, &mirror, kMirrorAxis);
    if (self->m_listener)
        self->m_listener->OnCameraTurnStatus(int(mirror) != 0, int(flip) != 0);
}

// ---- account service -------------------------------------------------------

void LiveProxy::OnNetEvent(int code)
{
    CallbackGate::Pass pass(m_callbackGate);
    if (!pass)
        return;
    if (code == kSignedInElsewhere) {
        if (m_netService)
            m_netService->CloseLive();
        emit CloseLive();
        if (m_listener)
            m_listener->OnLiveStatus(std::string(), kSignedInElsewhere);
        setLoggedIn(false);
    }
    if (m_listener)
        m_listener->OnLoginStatus(code);
}

void LiveProxy::OnLiveClosed(int state, int)
{
    CallbackGate::Pass pass(m_callbackGate);
    if (!pass)
        return;
    emit CloseLive();
    if (m_listener)
        m_listener->OnLiveStatus(std::string(), liveClosedCode(state));
}

void LiveProxy::ensureGiftList()
{
    if (m_netService && m_giftCatalogue.empty())
        m_netService->GetGiftCatalogue(&m_giftCatalogue);
}

GiftInfo LiveProxy::findGiftInfo(int id)
{
    for (const GiftInfo &g : m_giftCatalogue)
        if (g.id == id)
            return g;
    return GiftInfo();
}

void LiveProxy::OnRoomMessage(const std::string &text)
{
    CallbackGate::Pass pass(m_callbackGate);
    if (!pass)
        return;
    const std::u16string wide = utf8ToWstring(text);
    IListener *listener = m_listener;
    IPluginHost *host = m_plugins;
    const int type = g_decoder ? g_decoder->GetMessageType(text.c_str()) : MessageType_Invalid;
    bool dropped = false;
    switch (type) {
    case MessageType_Chat: {
        ChatRecord r;
        if ((dropped = g_decoder->DecodeChat(text.c_str(), &r) != 0))
            break;
        if (host)
            host->OnChatMessage(r.senderId, utf8ToWstring(r.content).c_str(), utf8ToWstring(r.nickname).c_str(),
                                r.level);
        if (listener)
            listener->OnNewBarrage(r.senderId, r.nickname, r.content, r.level);
        break;
    }
    case MessageType_Gift: {
        ensureGiftList();
        GiftRecord r;
        if ((dropped = g_decoder->DecodeGift(text.c_str(), &r) != 0))
            break;
        const GiftInfo info = findGiftInfo(r.giftId);
        const int price = std::atoi(info.price.c_str());
        const std::u16string nick = utf8ToWstring(r.nickname);
        if (info.id != 0 && info.kind == "1") {
            if (listener)
                listener->OnDonaterMsg(r.nickname, price);
            if (host)
                host->OnDonation(r.senderId, nick.c_str(), price);
        } else if (info.id != 0 && info.kind == "2") {
            if (listener)
                listener->OnAmberMsg(r.nickname, r.senderId, info.name, price);
        }
        if (host)
            host->OnGiftMessage(r.giftId, nick.c_str(), utf8ToWstring(info.name).c_str(), r.count);
        break;
    }
    case MessageType_MonthlyTicket: {
        MonthlyTicketRecord r;
        if ((dropped = g_decoder->DecodeMonthlyTicket(text.c_str(), &r) != 0))
            break;
        if (host)
            host->OnMonthlyTicket(r.count, utf8ToWstring(r.nickname).c_str(), r.senderId, r.level);
        if (listener)
            listener->OnMeritMsg(r.nickname, r.level);
        break;
    }
    case MessageType_Effect: {
        EffectRecord r;
        if ((dropped = g_decoder->DecodeEffect(text.c_str(), &r) != 0))
            break;
        if (host)
            host->OnEffectMessage(utf8ToWstring(r.text).c_str(), r.param);
        break;
    }
    case MessageType_Blacklist: {
        BlacklistRecord r;
        if ((dropped = g_decoder->DecodeBlacklist(text.c_str(), &r) != 0))
            break;
        if (r.status == 0 && listener)
            listener->OnNewBlacker(r.userId);
        break;
    }
    default:
        break;
    }
    // A message that says it has a type but does not decode as one reports nothing.
    if (dropped)
        Logger::instance()->write(Logger::LOG_ERROR, "drop room message of type %d: %s", type, text.c_str());
    if (host)
        host->OnRawRoomMessage(wide.c_str());
}

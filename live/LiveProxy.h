#pragma once

// The one door between the panels and the engine, the account service and
// the camera helper. Its implementation is split by concern:
//   LiveProxy.cpp            creation, start of the scene, resolution, teardown
//   LiveProxySession.cpp     logged-in, live and recording state, analytics
//   LiveProxyRegistry.cpp    names, types, locks, generic item calls
//   LiveProxyZOrder.cpp      z-order layers, restacking, renumbering
//   LiveProxyPictures.cpp    pictures, overlays, camera items and effects
//   LiveProxyText.cpp        text and effective-text items
//   LiveProxyCapture.cpp     screen captures, displays, pass-throughs
//   LiveProxyPreview.cpp     mouse editing on the preview, the overlay's state
//   LiveProxyWatermark.cpp   the watermark and the beauty filter
//   LiveProxyJobs.cpp        the job thread's login, QR and open-live jobs
//   LiveProxyCallbacks.cpp   engine and account-service callbacks, overlay painting
//   LiveProxyAudio.cpp       audio devices and volumes
//   LiveProxyPlugins.cpp     plug-ins and room operations
// Item operations run on the GUI thread; library callbacks arrive on the
// libraries' threads and only forward.

#include "CallbackGate.h"
#include "EffectiveTxtItem.h"
#include "ErrorTexts.h"
#include "INetService.h"
#include "LiveEngine.h"
#include "LiveParams.h"
#include "LiveProxyVideoFilter.h"
#include "LiveTaskThread.h"
#include "LoginManager.h"
#include "MorvaPointing.h"
#include "PreviewEditor.h"
#include "PreviewOverlayState.h"
#include "SceneRegistry.h"
#include "TextPairOwner.h"
#include "WatermarkCapture.h"

#include <QImage>
#include <QMutex>
#include <QObject>
#include <QRect>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class CSttThreadPool;
class IDShowHelper;
class IListener;
class SttTimerTask;
class QPainter;
class QWidget;
class UITaskQueueWnd;

class LiveProxy : public QObject,
                  public ILiveListener,
                  public INetseriveListener,
                  public VideoFilterOwner,
                  public TextPairOwner
{
    Q_OBJECT

public:
    // The process-wide facade, made on the first call and destroyed while
    // the application object still exists.
    static LiveProxy *GetInstance();
    // Start-up's DirectX test: obtains the facade (which makes the engine)
    // and asks the render device; when DirectX 10 is unusable, asks the
    // DirectX question and answers false. A missing engine counts as
    // unusable. LiveProxyStart.cpp.
    static bool checkDirectX();

    // Makes the engine and the account service; tests make their own
    // facades, the program uses GetInstance.
    LiveProxy();
    ~LiveProxy() override;

    // ---- life cycle (LiveProxy.cpp)
    // 0, or the scene's negative start code (then nothing else was started).
    int init(LiveParams *params);
    void setListener(IListener *listener);
    void *renderDeviceHandle() override;
    void *renderContextHandle() override;
    void setItemVideoFilter(int itemId, IVideoFilter *filter) override;
    // Writes the engine's output size, bit rate (bit/s) and frame rate.
    void getLiveVideoConfig(LiveParams *params);
    bool changeLiveResolution(LiveParams *params);
    // Stops recording and the broadcast, logs out and shuts the scene down.
    void destroy();

    CSttThreadPool *threadPool() const { return m_pool.get(); }
    UITaskQueueWnd *uiTaskQueue() const { return m_uiTasks.get(); }
    bool isMusicOpen() const { return m_openStatus; }
    int canvasWidth() const { return m_outputWidth; }
    int canvasHeight() const { return m_outputHeight; }
    int previewWidth() const { return m_previewWidth; }
    int previewHeight() const { return m_previewHeight; }
    int qualityIndex() const { return m_qualityIndex; }

    // ---- texts shared by the panels
    static QString errorMessage(int code) { return livetexts::errorMessage(code); }
    static std::string colorFormatName(int format) { return livetexts::colorFormatName(format); }
    static int colorFormatFromName(const std::string &name) { return livetexts::colorFormatFromName(name); }

    // ---- session state and analytics (LiveProxySession.cpp)
    bool isLoggedIn() const { return m_loggedIn; }
    bool isLiving() const { return m_liveBusy; }
    bool isRecording() const { return m_recording; }
    void setLoggedIn(bool loggedIn);
    void setLiveBusy(bool busy);
    void logout();
    // Starts recording to `path` beside the broadcast; true when the
    // recorder took it. The recording already running to `path` is kept.
    bool startRecording(const std::string &path);
    void stopRecording();
    void endLive();
    int userId();
    int roomId();
    bool isAnchor();
    void reportAction(int action, int value);

    // ---- account jobs (LiveProxyJobs.cpp)
    // Each starter answers whether its job started; a refused start (another
    // job runs) changes nothing.
    bool loginByPassword(const std::string &user, const std::string &password, const std::string &token);
    bool loginWithCaptcha(const std::string &user, const std::string &password, const std::string &captchaWord,
                          const std::string &captchaKey, const std::string &geetestChallenge,
                          const std::string &geetestValidate, const std::string &geetestSeccode,
                          const std::string &token);
    bool loginByPhone(const std::string &phone, const std::string &password, const std::string &zone,
                      const std::string &token);
    bool loginByPhoneWithCaptcha(const std::string &phone, const std::string &password, const std::string &zone,
                                 const std::string &captchaWord, const std::string &captchaKey,
                                 const std::string &geetestChallenge, const std::string &geetestValidate,
                                 const std::string &geetestSeccode, const std::string &token);
    bool requestQrCode();
    bool setQrCode(const std::string &code);
    void stopQrPolling();
    bool isQrPolling() const { return m_qrPolling; }
    // 1 QQ, 2 Weibo, 3 WeChat: runs the modal sign-in page and answers true
    // once it closed; false for another kind or while a job runs.
    bool thirdPartyLogin(int kind, QWidget *parent);
    LoginManager &loginManager() { return m_loginManager; }
    LiveTaskThread &taskThread() { return m_taskThread; }

    // ---- live session (LiveProxySession.cpp)
    bool openLive(const std::string &recordPath);
    void stopLive(bool notify);
    int changeLiveLine();
    void getLoginUser(std::string &name, std::string &token);
    // The file the running recording was asked to write; empty while none runs.
    std::string recordingPath() const;

    // ---- audio devices (LiveProxyAudio.cpp)
    // Tables of at most kMaxAudioDevices entries, kept until the next listing.
    static constexpr int kMaxAudioDevices = 10;
    struct AudioDeviceTable
    {
        AudioDeviceRecord entries[kMaxAudioDevices]; // name and key as listed, kind of the table
        int count = 0;
    };
    void micDeviceList(const AudioDeviceRecord **table, int *count);
    void systemDeviceList(const AudioDeviceRecord **table, int *count);
    int openMicDevice(const char16_t *name);
    int openSystemDevice(const char16_t *name);
    void currentMicDevice(std::u16string &name);
    void currentSystemDevice(std::u16string &name);
    void setMicLevel(int value);
    void setSystemLevel(int value);

    // ---- plug-ins and room operations (LiveProxyPlugins.cpp)
    struct PluginName
    {
        char16_t text[256] = {}; // at most 255 units and the terminator
    };
    void pluginList(const PluginName **names, int *count);
    int openPlugin(const char16_t *name, int layer);
    bool openPluginConfig(int itemId, QObject *parent);
    std::intptr_t pluginOp(WId window, uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);
    // Called from worker threads.
    bool sendChatText(const char *text);
    int fetchMuteList(std::string *reply);
    int unmuteUser(int userId, std::string *reply);
    int muteUser(int userId, int type, int seconds);

    // ---- registry (LiveProxyRegistry.cpp)
    // First free "<word>_<n>" from `start` upwards; empty when none is free
    // within scenereg::kNameSearchLimit tries.
    std::string makeItemName(const std::string &word, int start) override;
    bool registerItem(int id, const std::string &name) override;
    // The item's name in the scene store; *ok false when it has none.
    std::string storedNameOf(int id, bool *ok) override;
    int itemType(int id);
    int currentItemId() const { return m_previewEditor.selectedItem(); }
    void setCurrentItemId(int id);
    const std::vector<int> &itemIds() const { return m_itemIds; }
    void sortedItemIds(std::vector<int> &ids);
    void activeItemIds(std::vector<int> &ids);
    bool findItem(int *id);
    bool hasCameraItem();
    bool findEdgeItem(int *id);
    bool findShadowItem(int *id);
    bool findFullScreenCaptureItem(int *id);
    bool findBottomImageItem(int *id);
    bool findEffectiveText(int pictureId, EffectiveTxtItem **item = nullptr);
    bool isEffectiveText(int id);
    int countNonPluginItems();
    int getItemZorder(int id) override;
    void setItemZorder(int id, int z) override;
    int zorderForLayer(int layer);
    int autoSetItemZorder(int id, int layer) override;
    void renumberActiveZorders();
    int minActiveZorder();
    int maxActiveZorder();
    int highestActiveZ() const { return m_maxActiveZ; }
    int lowestActiveZ() const { return m_minActiveZ; }
    void shiftUpItem(int id);
    void shiftDownItem(int id);
    void moveItemToTop(int id);
    void moveItemToBottom(int id);
    void shiftItem(int id, int target);
    void setItemFullWindow(int id);
    void removeItem(int id) override;
    bool removeItemFromScene(int id) override;
    void getItemRect(int id, int *x, int *y, int *w, int *h) override;
    void getItemSourceRect(int id, int *x, int *y, int *w, int *h) override;
    void setItemGeometry(int id, int x, int y, int w, int h) override;
    void setItemRect(int id, int x, int y, int w, int h);
    void setItemRectAlt(int id, int x, int y, int w, int h);
    void adjustItemRect(int id, int previousWidth, int previousHeight);
    void setItemAlpha(int id, int alpha);
    void getItemAlpha(int id, int *alpha);
    bool setItemSource(int id, const std::string &path) override;
    void getItemSource(int id, std::string *path) override;
    bool canMoveItem(int id);
    bool canResizeItem(int id);
    bool canShiftItem(int id);
    bool isItemSelectable(int id);
    void setItemUnmove(int id);
    void setItemUnresize(int id);
    void setItemUnshift(int id);
    void clearItemUnmove(int id);
    void clearItemUnresize(int id);
    void clearItemUnshift(int id);
    void logAllItems();
    static int itemLayer(int z) { return scenereg::itemLayer(z); }

    // ---- pictures, overlays, camera (LiveProxyPictures.cpp)
    int createItem(const std::string &path, bool flag, int alpha) override;
    int addImage(const std::string &path, int alpha, int layer);
    int addBottomImage(const std::string &path, int alpha, int layer);
    int addShadow(const std::string &path, int alpha, int layer);
    int addEdge(const std::string &path, int alpha, int layer);
    int addPendant(const std::string &path, int alpha, int layer);
    static bool isFlashFile(const QString &path);
    void cameraDeviceList(CameraDeviceRecord **table, int *count);
    void cameraFormatList(const std::u16string &device, CameraFormat **list, int *count);
    int openCamera(const std::u16string &device, int layer);
    void getCameraDeviceName(int id, QString &name);
    void setCameraParam(int id, const CameraParams *params);
    void getCameraParam(int id, CameraParams *params);
    void setSlim(int id, int slim);
    // Each keeps only its own level in the beauty filter.
    void setWhitening(int id, int blur, int whitening, int colourTemperature);
    void setBlur(int id, int blur, int whitening, int colourTemperature);
    void setColourTemperature(int id, int blur, int whitening, int colourTemperature);
    void setItemMirrored(int id, bool mirror);
    void setItemFlipped(int id, bool flip);
    bool isItemMirrored(int id);
    bool isItemFlipped(int id);
    void setItemColorEffect(int id, int effect);
    void getItemColorEffect(int id, int *effect);
    int getCameraImageProperty(int id, int property, int *range, int *value, int *flags);
    int setCameraImageProperty(int id, int property, int value, int flags);
    int getCameraControlProperty(int id, int property, int *range, int *value, int *flags);
    int setCameraControlProperty(int id, int property, int value, int flags);

    // ---- text items (LiveProxyText.cpp)
    int createTextItem(TextInfo *info) override;
    void setTextSettings(int id, TextInfo info) override;
    void getTextSettings(int id, TextInfo *info) override;
    int addText(TextInfo *info, int layer);
    int addEffectiveText(const std::string &picturePath, const QRect &area, TextInfo *info);
    void updateEffectiveText(int pictureId, TextInfo info);
    bool effectiveTextOp(int pictureId, std::string picturePath, const QRect &area);
    void getEffectivePictureSource(int pictureId, std::string *path);
    void getEffectiveTextSettings(int pictureId, TextInfo *info);
    bool setEffectiveText(int id, const char *text) override;
    bool getEffectiveText(int id, std::string *text) override;
    void restoreEffectiveTexts(const std::vector<std::string> &names);

    // ---- screen captures and pass-throughs (LiveProxyCapture.cpp)
    int displayCount();
    void displayRect(int display, int *x, int *y, int *w, int *h);
    int addFullScreenCapture(int display, int layer);
    int addScreenCapture(const QRect &region, int display, int layer);
    QRect mapScreenRectToCanvas(const QRect &a, const QRect &b) const;
    int systemDriveIndex();
    std::intptr_t forwardNativeMessage(WId window, uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);

    // ---- preview editing (LiveProxyPreview.cpp)
    PreviewMapping previewMapping() const;
    int previewToCanvasX(int x) const;
    int previewToCanvasY(int y) const;
    int canvasToPreviewX(int cx) const;
    int canvasToPreviewY(int cy) const;
    int canvasToPreviewWidth(int cx) const;
    int canvasToPreviewHeight(int cy) const;
    // The topmost editable item at a preview point; *id 0 when none.
    bool hitTestItem(int x, int y, int *id);
    // event: 0 moved, 1 left pressed, 2 left released, 3 right pressed,
    // 4 right released; x, y in preview pixels.
    void handlePreviewMouse(QWidget *widget, int event, int x, int y);

    // ---- watermark and beauty filter (LiveProxyWatermark.cpp)
    int addWatermark(int layer);
    void hopWatermark();
    void onTimer();
    void attachFilterToCamera(int id);
    // Detaches the beauty filter when it serves this item.
    void detachFilterFrom(int id);

    // ---- engine callbacks (ILiveListener)
    void OnReserved0(int, int) override {}
    void OnVideoFps(int fps) override;
    void GetPushUrl(char *buffer, int size, int reserved) override;
    void OnPushState(const char *url, bool connected, int reserved) override;
    void OnReserved4(int, int, int) override {}
    void OnReserved5(int, int, int, int, int) override {}
    void OnReserved6(int, int, int) override {}
    void OnAudioLevel(int type, int level) override;
    void OnPaintOverlay(QPainter *painter) override;
    void OnKbps(float kbps) override;
    void OnSystemPerformance(int cpu, int mem) override;
    void OnFrameDropped(int64_t total, int reserved, float percent) override;
    void OnRecordingEnded(const char *path, int error) override;

    // ---- account-service callbacks (INetseriveListener)
    void OnNetEvent(int code) override;
    void OnRoomMessage(const std::string &text) override;
    void OnLiveClosed(int state, int reserved) override;

    // The scene's item-event callback; `context` is the facade.
    static void onCameraTurn(int event, int itemId, void *context);

signals:
    void OpenRoom(QString room);
    void OpenLive();
    void CloseLive();
    void LoginResult(bool);
    // The recording beside the broadcast did not start or ended by itself
    // (emitted on the GUI thread, once per recording); the broadcast goes
    // on. `message` is the user's text.
    void recordingFailed(QString message);

public slots:
    void on_login_room(QString room);
    void on_open_live();
    void on_close_live();
    void on_login_result(bool success);
    void slot_thirdpartyLoginSucceed(QString token);
    void slot_thirdpartyLoginFailed(int errorNo, QString errorMsg);
    void onWebResponse(QString url, QByteArray response);

private:
    // ---- jobs, session and callbacks
    void runJob(int job);
    // Starts `job` when the thread takes it; `storeInputs` runs first, under
    // the state mutex, only then.
    bool startJob(int job, const std::function<void()> &storeInputs);
    void storeCaptcha(const std::string &word, const std::string &key, const std::string &challenge,
                      const std::string &validate, const std::string &seccode);
    void jobLogin();
    void jobCaptchaLogin();
    void jobPhoneLogin();
    void jobPhoneCaptchaLogin();
    void jobQrPoll();
    void jobQrCode();
    void jobOpenLive();
    void finishLogin(int code, const std::string &error, const std::string &token);
    void reportLogin(int code, const std::string &error);
    void reportLiveFailure(int code);
    void onRecordingEnded(const std::string &path, int error);
    void tellRecordingFailed(const QString &message);
    void pollQrOnTick();
    void sendOpenStatusQuery();
    void freeLiveLinesLocked();
    int fetchLiveLinesLocked();
    // Waits for the running job and the callbacks inside the facade; after
    // it no job, callback or listener call runs again.
    void finishJobsAndCallbacks();
    void listAudioDevices(int kind, AudioDeviceTable &table);
    int openAudioDevice(int kind, const char16_t *name);
    void currentAudioDevice(int kind, std::u16string &name);
    void ensureGiftList();
    GiftInfo findGiftInfo(int id);
    void paintPreviewOverlay(QPainter *painter);
    // GUI thread: hands the selection, its placement and the preview mapping
    // to the overlay, after anything that may change them.
    void publishOverlay();
    // The same, when `id` is the selected item.
    void publishOverlayFor(int id);

    // Inputs of the login jobs, written only when a start is accepted.
    std::string m_user;
    std::string m_password;
    std::string m_token;
    std::string m_captcha[5];
    std::string m_areaCode;
    std::string m_qrCode;
    std::atomic<bool> m_qrPolling{false};
    // Live lines of the opening broadcast; the engine's push callback and
    // the job thread both walk them.
    QMutex m_lineMutex;
    bool m_roomWasLive = false;
    LiveLine *m_liveLines = nullptr;
    int m_liveLineCount = 0;
    int m_liveLineIndex = 0;
    std::vector<PluginName> m_pluginNames;
    bool m_ended = false; // destroy() ran: queued session slots do nothing
    CallbackGate m_callbackGate;
    LiveTaskThread m_taskThread{[this](int job) { runJob(job); }};

    void openLibraries();
    void restoreSavedItems();
    void connectSignals();
    // The registration every add operation shares: name, z-order, listing.
    // Returns the name; *z receives the z-order.
    std::string registerNewItem(int id, const std::string &word, int layer, bool flagBeforeListing, int *z);
    // The registered items with their z-orders, as the z-order moves see them.
    scenereg::ZOrderBoard readBoard();
    void applyZ(const scenereg::ZAssign &assign);
    void applySwap(const char *what, const scenereg::ZSwap &swap, const scenereg::ZOrderBoard &board);
    bool lockFree(int id, const char *word);
    void setLockWord(int id, const char *word);
    void clearLockWord(int id, const char *word);
    bool firstOfTypeInZOrder(int type, int *id);
    bool firstAtZInList(int z, int *id);
    int addOverlay(const char *word, const std::string &path, int alpha, int layer, bool pendant);
    std::u16string cameraDeviceOf(int id);
    PreviewItem previewItemOf(int id);
    std::vector<PreviewItem> previewItems();

    IListener *m_listener = nullptr;
    std::vector<GiftInfo> m_giftCatalogue;
    std::unique_ptr<ILiveEngine> m_engine;
    ILiveScene *m_scene = nullptr;
    ISceneStore *m_store = nullptr;
    IRenderDevice *m_render = nullptr;
    ILiveSettings *m_settings = nullptr;
    ILiveRecorder *m_recorder = nullptr;
    ILiveSystemInfo *m_systemInfo = nullptr;
    IPluginHost *m_plugins = nullptr;
    int m_previewWidth = 0;
    int m_previewHeight = 0;
    int m_outputWidth = 0;
    int m_outputHeight = 0;
    int m_maxActiveZ = scenereg::kRenumberBase;
    int m_minActiveZ = scenereg::kRenumberBase;
    bool m_recording = false;
    std::string m_recordPath;    // what the opening broadcast records to
    std::string m_recordingFile; // what the running recording was started with
    std::unique_ptr<LiveProxyVideoFilter> m_videoFilter;
    IDShowHelper *m_cameraHelper = nullptr;
    SceneCallbacks m_sceneCallbacks;
    std::vector<EffectiveTxtItem> m_effectiveTexts;
    std::vector<int> m_itemIds;
    LoginManager m_loginManager;
    bool m_loggedIn = false;
    bool m_liveBusy = false;
    QMutex m_taskMutex;
    bool m_openStatus = false;
    int m_qualityIndex = 0;
    // The overlay's plate, read from its file on the first preview frame;
    // its drop is logged once.
    std::once_flag m_overlayPictureRead;
    QImage m_overlayPicture;
    // All the video thread reads of the overlay: the facade publishes into
    // it, the engine's figures go there from the listener thread.
    PreviewOverlayState m_overlay;
    std::unique_ptr<INetService> m_netService;
    std::unique_ptr<UITaskQueueWnd> m_uiTasks;
    std::unique_ptr<CSttThreadPool> m_pool;
    std::unique_ptr<SttTimerTask> m_timer;
    MorvaPointing m_pointing;
    std::unique_ptr<WatermarkCapture> m_watermark;
    int m_watermarkId = 0;
    float m_watermarkWidth = 0.0f;
    float m_watermarkHeight = 0.0f;
    unsigned m_ticks = 0;
    bool m_fitPreview = true;
    PreviewEditor m_previewEditor;
};

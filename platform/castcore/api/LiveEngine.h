#pragma once

// The live engine as the program sees it: the engine object with its
// sub-objects, the records that cross its boundary, and the callback
// interfaces the engine calls on its own threads. Texts: `const char *` is
// UTF-8, `char16_t` is UTF-16. Sub-objects belong to the engine and are never
// released by the caller. Item ids above 0 are items; 0 or below is a failure.

#include <QtGui/qwindowdefs.h> // WId

#include <cstddef>
#include <cstdint>

class INetService; // the account service, defined by its own layer
class QObject;
class QPainter;

// ---------------------------------------------------------------------------
// Records

// Video configuration of the scene. The facade sends -1, width, height,
// bit rate (bit/s), frame rate, 1, 0, 1; the engine keeps every word as given.
struct LiveVideoConfig
{
    int32_t mode = 0;
    int32_t width = 0;
    int32_t height = 0;
    int32_t bitRate = 0;
    int32_t frameRate = 0;
    int32_t flagA = 0;
    int32_t flagB = 0;
    int32_t flagC = 0;
};

// Text item record. Bit n of `mask` marks the n-th field after it (fontName =
// bit 0 ... align = bit 21). The two string pointers refer to caller buffers
// of 200 and 256 units, valid during the call only; the engine reads no
// further than those buffers, so a text without a terminator is cut there.
struct TextInfo
{
    uint32_t mask = 0;
    char16_t *fontName = nullptr;
    char16_t *text = nullptr;
    int32_t size = 0;
    uint32_t color = 0; // 0xAARRGGBB
    int32_t opacity = 0;
    int32_t rollSpeed = 0;
    uint8_t bold = 0;
    uint8_t italic = 0;
    uint8_t underline = 0;
    uint8_t vertical = 0;
    int32_t backgroundOpacity = 0;
    uint32_t backgroundColor = 0;
    int32_t outline = 0; // 0 or 1
    float outlineSize = 0.0f;
    uint32_t outlineColor = 0;
    int32_t outlineOpacity = 0;
    uint8_t extend = 0;
    int32_t extendWidth = 0;
    int32_t extendHeight = 0;
    uint8_t newline = 0;
    uint8_t scroll = 0;
    int32_t align = 0;
};

enum TextInfoField : uint32_t {
    TextFontName = 1u << 0,
    TextText = 1u << 1,
    TextSize = 1u << 2,
    TextColor = 1u << 3,
    TextOpacity = 1u << 4,
    TextRollSpeed = 1u << 5,
    TextBold = 1u << 6,
    TextItalic = 1u << 7,
    TextUnderline = 1u << 8,
    TextVertical = 1u << 9,
    TextBackgroundOpacity = 1u << 10,
    TextBackgroundColor = 1u << 11,
    TextOutline = 1u << 12,
    TextOutlineSize = 1u << 13,
    TextOutlineColor = 1u << 14,
    TextOutlineOpacity = 1u << 15,
    TextExtend = 1u << 16,
    TextExtendWidth = 1u << 17,
    TextExtendHeight = 1u << 18,
    TextNewline = 1u << 19,
    TextScroll = 1u << 20,
    TextAlign = 1u << 21,
    TextAllFields = (1u << 22) - 1
};

constexpr int kTextFontNameUnits = 200; // caller buffer, terminator included
constexpr int kTextTextUnits = 256;
constexpr int kEffectiveTextUnits = 2048;

// One audio device as ListAudioDevices hands it out (1024 bytes).
struct AudioDeviceRecord
{
    char16_t key[255] = {};  // what OpenAudioDevice takes and GetCurrent*Device reports
    char16_t name[255] = {}; // what the user sees
    int32_t kind = 0;        // AudioDeviceKind
};
static_assert(sizeof(AudioDeviceRecord) == 1024, "audio device record is 1024 bytes");

enum AudioDeviceKind : int32_t { AudioMicrophone = 1, AudioSystemSound = 2 };

// One camera as ListCameras hands it out (516 bytes).
struct CameraDeviceRecord
{
    int32_t index = 0;
    char16_t name[256] = {};
};
static_assert(sizeof(CameraDeviceRecord) == 516, "camera device record is 516 bytes");

// Camera capture format; colorFormat: 0 YUY2, 1 YVYU, 2 UYVY, 3 I420,
// 4 RGB32, 5 RGB24, 6 MJPG, 7 none.
struct CameraFormat
{
    int32_t colorFormat = 0;
    int32_t width = 0;
    int32_t height = 0;
    int32_t fps = 0;
    int32_t extra = 0;
};
static_assert(sizeof(CameraFormat) == 20, "camera format is 20 bytes");

// The first four words of CameraFormat.
struct CameraParams
{
    int32_t colorFormat = 0;
    int32_t width = 0;
    int32_t height = 0;
    int32_t fps = 0;
};

// One saved item as ISceneStore::Fill writes it (556 bytes, name at byte 44).
struct SceneItemRecord
{
    int32_t kind = 0;
    int32_t id = 0; // live id when the item is open, else 0
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
    int32_t z = 0;
    int32_t alpha = 0;
    int32_t sourceWidth = 0;
    int32_t sourceHeight = 0;
    int32_t flag = 0;
    char name[256] = {};   // zero-terminated UTF-8
    char source[256] = {}; // first source file, zero-terminated UTF-8
};
static_assert(sizeof(SceneItemRecord) == 556, "scene record is 556 bytes");
static_assert(offsetof(SceneItemRecord, name) == 44, "scene record name at byte 44");

// Engine item kinds, as ISceneStore::Kind reports them.
enum SceneItemKind : int32_t {
    KindCustomCapture = 0,
    KindCamera = 1,
    KindScreenCapture = 2,
    KindText = 4,
    KindPicture = 7,
    KindPlugin = 14,
    KindOverlayFile = 15
};

// A picture handed to a video filter: pixel format, size and the three frame
// words of the engine, which the filter hands on (here: the address of the
// top row, the pitch in bytes and the byte count of the buffer).
struct PicturePlane
{
    int32_t format = 0;
    int32_t width = 0;
    int32_t height = 0;
    std::uintptr_t frame[3] = {};
};

// Format of a custom capture source.
struct CaptureFormat
{
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t byteCount = 0;
    uint32_t reserved = 0;
};

// Item event callback of SceneCallbacks: (event, item id, context).
using SceneItemEventFn = void (*)(int event, int itemId, void *context);

// Callback table handed to ILiveScene::SetCallbacks (20 words: the size word,
// the item-event callback at word 15); only the item-event slot is called by
// this engine. `size` carries the record size the caller states (80); the
// engine keeps it and checks nothing against it.
struct SceneCallbacks
{
    int32_t size = 0;
    void *reserved1[14] = {};
    SceneItemEventFn onItemEvent = nullptr;
    void *reserved2[4] = {};
};

// Configuration window request of IPluginHost::ShowPluginConfig.
struct PluginConfigInfo
{
    QObject *parent = nullptr;
    int32_t busy = 0; // 1 while a broadcast is opening or live
};

// ---------------------------------------------------------------------------
// Callback interfaces (called by the engine on its own threads)

class ILiveListener
{
public:
    virtual void OnReserved0(int a, int b) = 0;
    virtual void OnVideoFps(int fps) = 0;
    virtual void GetPushUrl(char *buffer, int size, int reserved) = 0;
    virtual void OnPushState(const char *url, bool connected, int reserved) = 0;
    virtual void OnReserved4(int a, int b, int c) = 0;
    virtual void OnReserved5(int a, int b, int c, int d, int e) = 0;
    virtual void OnReserved6(int a, int b, int c) = 0;
    virtual void OnAudioLevel(int type, int level) = 0;
    virtual void OnPaintOverlay(QPainter *painter) { (void)painter; }
    virtual void OnKbps(float kbps) { (void)kbps; }
    virtual void OnReserved10(int, int) {}
    virtual void OnSystemPerformance(int cpu, int mem) { (void)cpu, (void)mem; }
    virtual void OnFrameDropped(int64_t total, int reserved, float percent)
    {
        (void)total, (void)reserved, (void)percent;
    }
    virtual void OnReserved13(int, int, int, int) {}
    virtual void OnReserved14(int, int) {}
    // The recording started with `path` (Start's argument) ended by itself
    // and keeps what was written; `error` is the system's error number
    // (ENOSPC for a full disk), 0 when no system error ended it. Not called
    // for a recording that Stop or a new Start ended.
    virtual void OnRecordingEnded(const char *path, int error) { (void)path, (void)error; }

protected:
    virtual ~ILiveListener() = default;
};

class IVideoFilter
{
public:
    // Called for every frame of the item the filter is attached to; true
    // when `out` now holds the filtered picture.
    virtual bool Filter(int itemId, std::uintptr_t frame0, std::uintptr_t frame1,
                        std::uintptr_t frame2, PicturePlane *out) = 0;
    virtual void Free(std::uintptr_t a, std::uintptr_t b) = 0;
    virtual void DeviceLost(std::uintptr_t a) = 0;

protected:
    virtual ~IVideoFilter() = default;
};

class ICustomCapture
{
public:
    virtual bool GetFormat(CaptureFormat *format) = 0;
    virtual bool GetFrame(void *destination, uint32_t size) = 0;
    virtual bool QueryA(uint32_t a) = 0;
    virtual bool QueryB(uint32_t a, uint32_t b) = 0;
    virtual ~ICustomCapture() = default;
};

// ---------------------------------------------------------------------------
// Engine sub-objects

class ILiveScene
{
public:
    virtual int Init(const LiveVideoConfig *config, WId window) = 0;
    virtual void SetPushUrl(const char *url, int a, int b) = 0;
    virtual void Shutdown() = 0;
    virtual int AddScreenCapture(int display, int x, int y, int width, int height) = 0;
    // Picture item; (x, y, widthPercent, heightPercent) place it, the size
    // being a percentage of the picture's own size.
    virtual int CreateItem(const char *path, int x, int y, int widthPercent, int heightPercent) = 0;
    virtual bool SetItemAlpha(int id, int alpha) = 0;
    virtual int CreateTextItem(const TextInfo *info, int a, int b) = 0;
    virtual bool SetItemRect2(int id, int x, int y, int width, int height) = 0;
    virtual bool SetItemRect(int id, int x, int y, int width, int height) = 0;
    virtual bool GetItemSourceRect(int id, int *x, int *y, int *width, int *height) = 0;
    virtual bool GetItemRect(int id, int *x, int *y, int *width, int *height) = 0;
    virtual bool SetItemZ(int id, int z) = 0;
    virtual int GetItemZ(int id) = 0; // -1 for an unknown id
    // Gives back a list handed out by this scene; null is accepted.
    virtual void FreeBuffer(const void *buffer) = 0;
    virtual void SetLive(bool live) = 0;
    virtual AudioDeviceRecord *ListAudioDevices(int *count) = 0;
    virtual int OpenAudioDevice(const char16_t *key) = 0;
    virtual bool GetCurrentMicDevice(char16_t *key, int size, int reserved) = 0;
    virtual bool GetCurrentSystemDevice(char16_t *key, int size, int reserved) = 0;
    virtual void SetVolume(int channel, int value) = 0;
    virtual CameraDeviceRecord *ListCameras(int *count) = 0;
    virtual int OpenCamera(const char16_t *device, int a, int b, int c, int d) = 0;
    virtual bool GetDisplayCount(int *count) = 0;
    virtual bool GetDisplayRect(int display, int *x, int *y, int *width, int *height) = 0;
    virtual bool SetItemRotation(int id, float radians, int axis) = 0;
    virtual bool SetItemColorEffect(int id, uint32_t rgb) = 0;
    virtual bool GetItemRotation(int id, float *radians, int axis) = 0;
    virtual bool GetCameraDeviceName(int id, char16_t *name, int size) = 0;
    virtual bool GetItemColorEffect(int id, uint32_t *rgb) = 0;
    virtual void SetMicOption(int value) = 0;
    virtual bool GetItemAlpha(int id, int *alpha) = 0;
    // UTF-8 paths; the list goes back through FreeBuffer. Null when empty.
    virtual const char *const *GetItemSourceFiles(int id, int *count) = 0;
    virtual bool SetItemSourceFiles(int id, const char *const *files, int count) = 0;
    virtual bool ListCameraFormats(const char16_t *device, int *count, CameraFormat **list) = 0;
    virtual bool SetCameraParams(int id, const CameraParams *params) = 0;
    virtual bool GetCameraParams(int id, CameraParams *params) = 0;
    virtual bool SetTextProperties(int id, TextInfo info) = 0;
    // Fills every field; the strings go into the caller's buffers when the
    // pointers are set (cut to 199 and 255 units plus the terminator).
    virtual bool GetTextProperties(int id, TextInfo *info) = 0;
    virtual void BeginConfig() = 0;
    virtual bool SetVideoConfig(const LiveVideoConfig *config) = 0;
    virtual void EndConfig() = 0;
    virtual bool SetItemWatermark(int id, int value) = 0;
    // Fractions of the canvas; a width or height of 0 or below keeps the size.
    virtual bool SetItemRelativeRect(int id, float x, float y, float width, float height) = 0;
    virtual bool SetItemFlag(int id, bool flag) = 0;
    virtual bool SetItemAspect(int id, float ratio, int mode) = 0;
    virtual int AddOverlayFile(const char16_t *path) = 0;
    virtual bool SetItemVideoFilter(int id, IVideoFilter *filter) = 0;
    // The capture source stays the caller's.
    virtual int AddCustomCapture(ICustomCapture *capture) = 0;
    virtual bool SetEffectiveText(int id, const char16_t *text) = 0;
    virtual bool GetEffectiveText(int id, char16_t *buffer, int capacity, int *length) = 0;
    virtual void SetCallbacks(const SceneCallbacks *callbacks, void *context) = 0;
    virtual bool GetVideoConfig(LiveVideoConfig *config) = 0;

protected:
    virtual ~ILiveScene() = default;
};

class ISceneStore
{
public:
    virtual bool OpenFile(const char *name, const char *path) = 0;
    virtual bool IsNameFree(const char *name) = 0;
    virtual bool SetItemName(int id, const char *name) = 0;
    virtual bool Remove(const char *name) = 0;
    virtual int Count() = 0;
    virtual int Fill(SceneItemRecord *records, int count) = 0;
    virtual int Open(const char *name) = 0;
    virtual bool GetItemName(int id, char *buffer, int size) = 0;
    virtual int Kind(int id) = 0; // -1 for an unknown id

protected:
    virtual ~ISceneStore() = default;
};

class IRenderGraphics
{
public:
    virtual void *GetContextHandle() = 0;
    virtual void *GetDeviceHandle() = 0;

protected:
    virtual ~IRenderGraphics() = default;
};

class IRenderDevice
{
public:
    virtual bool Setup(int mode) = 0;
    virtual bool IsDirectX10Usable() = 0;
    virtual bool EnableFeature(int feature) = 0;
    virtual IRenderGraphics *GetGraphics() = 0;

protected:
    virtual ~IRenderDevice() = default;
};

class ILiveSettings
{
public:
    virtual bool Set(const char *key, const char *value) = 0;

protected:
    virtual ~ILiveSettings() = default;
};

class ILiveRecorder
{
public:
    virtual bool Start(const char *path) = 0;
    virtual void Stop() = 0;

protected:
    virtual ~ILiveRecorder() = default;
};

class ILiveSystemInfo
{
public:
    virtual int GetDriveIndex() = 0;

protected:
    virtual ~ILiveSystemInfo() = default;
};

class IPluginHost
{
public:
    virtual void SetPluginDir(const char *dir) = 0;
    // Names of the installed plug-ins; the array stays the host's.
    virtual const char16_t *const *ListPlugins(int *count) = 0;
    virtual int OpenPlugin(const char16_t *name, int a, int b, int c, int d, int e) = 0;
    virtual bool ShowPluginConfig(int itemId, const PluginConfigInfo *info) = 0;
    virtual void OnChatMessage(int senderId, const char16_t *content, const char16_t *nick, int level) = 0;
    virtual void OnDonation(int senderId, const char16_t *nick, int price) = 0;
    virtual void OnMonthlyTicket(int a, const char16_t *nick, int b, int level) = 0;
    virtual void OnEffectMessage(const char16_t *text, int value) = 0;
    virtual void SetNetService(INetService *service) = 0;
    virtual void OnGiftMessage(int giftId, const char16_t *nick, const char16_t *giftName, int value) = 0;
    virtual void OnRawRoomMessage(const char16_t *text) = 0;
    virtual std::intptr_t OnWindowMessage(WId window, uint32_t message, std::uintptr_t wParam,
                                          std::intptr_t lParam) = 0;

protected:
    virtual ~IPluginHost() = default;
};

class ILiveEngine
{
public:
    virtual ILiveScene *GetScene() = 0;
    virtual ISceneStore *GetSceneStore() = 0;
    virtual IRenderDevice *GetRenderDevice() = 0;
    virtual ILiveSettings *GetSettings() = 0;
    virtual ILiveRecorder *GetRecorder() = 0;
    virtual ILiveSystemInfo *GetSystemInfo() = 0;
    virtual IPluginHost *GetPluginHost() = 0;
    virtual ~ILiveEngine() = default;
};

// Creates an engine that reports to `listener`; null when no engine can be
// made. The caller passes (listener, 3, 0, 0, 0, 2).
ILiveEngine *CreateLiveInstance(ILiveListener *listener, int a, int b, int c, int d, int e);

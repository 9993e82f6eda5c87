#include "CastCoreScene.h"

#include "CastCoreSceneCalls.h"
#include "EngineCalls.h"

// Items that are not files (screen captures, texts, custom captures), and
// the properties of every item.

namespace castcore {

namespace {

constexpr size_t kMaxWatermarkSettings = 16;

// The record's text for the call log, read as merge() reads it.
std::string textArg(const TextInfo &info)
{
    if (!info.text)
        return "(null)";
    return arg(u16FromBuffer(info.text, kTextTextUnits).c_str());
}

} // namespace

int CastCoreScene::AddScreenCapture(int display, int x, int y, int width, int height)
{
    enter("AddScreenCapture", {arg(display), arg(x), arg(y), arg(width), arg(height)});
    if (auto f = scriptedFailure("AddScreenCapture"))
        return *f;
    const World world = control().world();
    if (display < 0 || display >= int(world.displays.size()) || width <= 0 || height <= 0)
        return -1;
    SceneItem it;
    it.kind = KindScreenCapture;
    it.display = display;
    // The captured region, kept apart from where the item later sits.
    it.openArgs = {x, y, width, height};
    it.sourceWidth = width;
    it.sourceHeight = height;
    it.x = x;
    it.y = y;
    it.width = width;
    it.height = height;
    std::lock_guard<std::mutex> lock(m_state.mutex);
    return m_state.addItem(std::move(it));
}

bool CastCoreScene::SetItemAlpha(int id, int alpha)
{
    enter("SetItemAlpha", {arg(id), arg(alpha)});
    return m_state.withItem(id, [&](SceneItem &it) { it.alpha = alpha; });
}

int CastCoreScene::CreateTextItem(const TextInfo *info, int a, int b)
{
    enter("CreateTextItem", {info ? textArg(*info) : std::string("(null)"), arg(a), arg(b)});
    if (auto f = scriptedFailure("CreateTextItem"))
        return *f;
    if (!info)
        return -1;
    SceneItem it;
    it.kind = KindText;
    it.hasText = true;
    it.text.merge(*info, TextAllFields);
    it.openArgs = {a, b, 0, 0};
    textSourceSize(it.text, &it.sourceWidth, &it.sourceHeight);
    it.width = it.sourceWidth;
    it.height = it.sourceHeight;
    std::lock_guard<std::mutex> lock(m_state.mutex);
    return m_state.addItem(std::move(it));
}

bool CastCoreScene::SetItemZ(int id, int z)
{
    enter("SetItemZ", {arg(id), arg(z)});
    return m_state.withItem(id, [&](SceneItem &it) { it.z = z; });
}

int CastCoreScene::GetItemZ(int id)
{
    enter("GetItemZ", {arg(id)});
    std::lock_guard<std::mutex> lock(m_state.mutex);
    const SceneItem *it = m_state.item(id);
    return it ? it->z : -1;
}

bool CastCoreScene::SetItemRotation(int id, float radians, int axis)
{
    enter("SetItemRotation", {arg(id), arg(radians), arg(axis)});
    if (axis < 0 || axis > 2)
        return false;
    return m_state.withItem(id, [&](SceneItem &it) { it.rotation[size_t(axis)] = radians; });
}

bool CastCoreScene::SetItemColorEffect(int id, uint32_t rgb)
{
    enter("SetItemColorEffect", {arg(id), arg(rgb)});
    return m_state.withItem(id, [&](SceneItem &it) { it.colorEffect = rgb; });
}

bool CastCoreScene::GetItemRotation(int id, float *radians, int axis)
{
    enter("GetItemRotation", {arg(id), arg(axis)});
    if (axis < 0 || axis > 2 || scriptedRefusal("GetItemRotation"))
        return false;
    return m_state.withItem(id, [&](SceneItem &it) { put(radians, it.rotation[size_t(axis)]); });
}

bool CastCoreScene::GetItemColorEffect(int id, uint32_t *rgb)
{
    enter("GetItemColorEffect", {arg(id)});
    if (scriptedRefusal("GetItemColorEffect"))
        return false;
    return m_state.withItem(id, [&](SceneItem &it) { put(rgb, it.colorEffect); });
}

bool CastCoreScene::GetItemAlpha(int id, int *alpha)
{
    enter("GetItemAlpha", {arg(id)});
    if (scriptedRefusal("GetItemAlpha"))
        return false;
    return m_state.withItem(id, [&](SceneItem &it) { put(alpha, it.alpha); });
}

bool CastCoreScene::SetTextProperties(int id, TextInfo info)
{
    enter("SetTextProperties", {arg(id), arg(info.mask), textArg(info)});
    if (scriptedRefusal("SetTextProperties"))
        return false;
    return m_state.withItem(id, KindText, [&](SceneItem &it) {
        it.text.merge(info, info.mask);
        m_state.touch(it);
        textSourceSize(it.text, &it.sourceWidth, &it.sourceHeight);
    });
}

bool CastCoreScene::GetTextProperties(int id, TextInfo *info)
{
    enter("GetTextProperties", {arg(id)});
    if (scriptedRefusal("GetTextProperties") || !info)
        return false;
    return m_state.withItem(id, KindText, [&](SceneItem &it) { it.text.fill(info); });
}

bool CastCoreScene::SetItemWatermark(int id, int value)
{
    enter("SetItemWatermark", {arg(id), arg(value)});
    return m_state.withItem(id, [&](SceneItem &it) {
        if (it.watermark.size() >= kMaxWatermarkSettings)
            it.watermark.erase(it.watermark.begin());
        it.watermark.push_back(value);
    });
}

bool CastCoreScene::SetItemFlag(int id, bool flag)
{
    enter("SetItemFlag", {arg(id), arg(flag)});
    return m_state.withItem(id, [&](SceneItem &it) { it.flag = flag; });
}

bool CastCoreScene::SetItemVideoFilter(int id, IVideoFilter *filter)
{
    enter("SetItemVideoFilter", {arg(id), ptrArg(filter)});
    const bool set = m_state.withItem(id, [&](SceneItem &it) { it.filter = filter; });
    // The filter that was replaced may go once this returns: no frame in
    // the making may still hold it.
    if (set)
        m_media.quiesce();
    return set;
}

int CastCoreScene::AddCustomCapture(ICustomCapture *capture)
{
    enter("AddCustomCapture", {ptrArg(capture)});
    if (auto f = scriptedFailure("AddCustomCapture"))
        return *f;
    if (!capture)
        return -1;
    // Asked here, not on the library thread: a callback held there (by a
    // test, or a slow listener) must not hold up the caller, often the GUI.
    CaptureFormat format;
    const bool ok = capture->GetFormat(&format);
    SceneItem it;
    it.kind = KindCustomCapture;
    it.capture = capture;
    if (ok) {
        it.sourceWidth = int(format.width);
        it.sourceHeight = int(format.height);
    }
    it.width = it.sourceWidth;
    it.height = it.sourceHeight;
    std::lock_guard<std::mutex> lock(m_state.mutex);
    return m_state.addItem(std::move(it));
}

bool CastCoreScene::SetEffectiveText(int id, const char16_t *text)
{
    enter("SetEffectiveText", {arg(id), arg(text)});
    if (scriptedRefusal("SetEffectiveText") || !text)
        return false;
    std::u16string s(text);
    if (s.size() >= size_t(kEffectiveTextUnits)) {
        std::vector<char16_t> cut(kEffectiveTextUnits);
        const int n = copyU16(s, cut.data(), kEffectiveTextUnits);
        s.assign(cut.data(), size_t(n));
    }
    return m_state.withItem(id, [&](SceneItem &it) {
        it.hasEffectiveText = true;
        it.effectiveText = s;
        m_state.touch(it);
    });
}

bool CastCoreScene::GetEffectiveText(int id, char16_t *buffer, int capacity, int *length)
{
    enter("GetEffectiveText", {arg(id), arg(capacity)});
    if (scriptedRefusal("GetEffectiveText") || !buffer || capacity <= 0)
        return false;
    return m_state.withItem(id, [&](SceneItem &it) {
        if (!it.hasEffectiveText)
            return false;
        put(length, copyU16(it.effectiveText, buffer, capacity));
        return true;
    });
}

} // namespace castcore

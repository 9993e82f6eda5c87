#include "SceneItem.h"

#include <QJsonArray>

#include <algorithm>
#include <cmath>

namespace castcore {

std::u16string toU16(const QString &s)
{
    return std::u16string(reinterpret_cast<const char16_t *>(s.utf16()), size_t(s.size()));
}

QString fromU16(const std::u16string &s)
{
    return QString::fromUtf16(s.data(), int(s.size()));
}

std::u16string u16FromPtr(const char16_t *s)
{
    return s ? std::u16string(s) : std::u16string();
}

std::u16string u16FromBuffer(const char16_t *s, int capacity)
{
    if (!s || capacity <= 0)
        return {};
    int n = 0;
    while (n < capacity - 1 && s[n])
        ++n;
    if (n > 0 && s[n] && QChar::isHighSurrogate(s[n - 1]))
        --n;
    return std::u16string(s, size_t(n));
}

int copyU16(const std::u16string &s, char16_t *buffer, int capacity)
{
    if (!buffer || capacity <= 0)
        return 0;
    int n = std::min<int>(int(s.size()), capacity - 1);
    if (n > 0 && n < int(s.size()) && QChar::isHighSurrogate(s[size_t(n - 1)]))
        --n;
    std::copy(s.begin(), s.begin() + n, buffer);
    buffer[n] = 0;
    return n;
}

namespace {

const int kMaxTextSide = 100000;

// Every field of a text style but its two strings, with its mask bit and its
// key in the scene file: visit(bit, key, &TextStyle::field, &TextInfo::field).
template <class Visit>
void forEachTextField(Visit visit)
{
    visit(TextSize, "size", &TextStyle::size, &TextInfo::size);
    visit(TextColor, "color", &TextStyle::color, &TextInfo::color);
    visit(TextOpacity, "opacity", &TextStyle::opacity, &TextInfo::opacity);
    visit(TextRollSpeed, "rollSpeed", &TextStyle::rollSpeed, &TextInfo::rollSpeed);
    visit(TextBold, "bold", &TextStyle::bold, &TextInfo::bold);
    visit(TextItalic, "italic", &TextStyle::italic, &TextInfo::italic);
    visit(TextUnderline, "underline", &TextStyle::underline, &TextInfo::underline);
    visit(TextVertical, "vertical", &TextStyle::vertical, &TextInfo::vertical);
    visit(TextBackgroundOpacity, "backgroundOpacity", &TextStyle::backgroundOpacity, &TextInfo::backgroundOpacity);
    visit(TextBackgroundColor, "backgroundColor", &TextStyle::backgroundColor, &TextInfo::backgroundColor);
    visit(TextOutline, "outline", &TextStyle::outline, &TextInfo::outline);
    visit(TextOutlineSize, "outlineSize", &TextStyle::outlineSize, &TextInfo::outlineSize);
    visit(TextOutlineColor, "outlineColor", &TextStyle::outlineColor, &TextInfo::outlineColor);
    visit(TextOutlineOpacity, "outlineOpacity", &TextStyle::outlineOpacity, &TextInfo::outlineOpacity);
    visit(TextExtend, "extend", &TextStyle::extend, &TextInfo::extend);
    visit(TextExtendWidth, "extendWidth", &TextStyle::extendWidth, &TextInfo::extendWidth);
    visit(TextExtendHeight, "extendHeight", &TextStyle::extendHeight, &TextInfo::extendHeight);
    visit(TextNewline, "newline", &TextStyle::newline, &TextInfo::newline);
    visit(TextScroll, "scroll", &TextStyle::scroll, &TextInfo::scroll);
    visit(TextAlign, "align", &TextStyle::align, &TextInfo::align);
}

} // namespace

void TextStyle::merge(const TextInfo &i, uint32_t mask)
{
    if ((mask & TextFontName) && i.fontName)
        font = u16FromBuffer(i.fontName, kTextFontNameUnits);
    if ((mask & TextText) && i.text)
        text = u16FromBuffer(i.text, kTextTextUnits);
    forEachTextField([&](uint32_t bit, const char *, auto mine, auto theirs) {
        if (mask & bit)
            this->*mine = i.*theirs;
    });
}

void TextStyle::fill(TextInfo *i) const
{
    i->mask = TextAllFields;
    copyU16(font, i->fontName, kTextFontNameUnits);
    copyU16(text, i->text, kTextTextUnits);
    forEachTextField([&](uint32_t, const char *, auto mine, auto theirs) { i->*theirs = this->*mine; });
}

bool textRollsInExtension(const TextStyle &s)
{
    return s.extend && (s.rollSpeed > 0 || s.scroll);
}

void textSourceSize(const TextStyle &s, int *width, int *height)
{
    // Widths in tenths of an em: CJK and other wide characters take a whole
    // em, everything else six tenths. From ten times the largest side on,
    // any text reaches the largest side anyway; the bound keeps the products
    // below within 64 bits whatever size a scene file holds.
    const long long fontSize = std::clamp(s.size, 1, 10 * kMaxTextSide);
    std::vector<long long> lineUnits(1, 0);
    std::vector<long long> lineChars(1, 0);
    for (char16_t c : s.text) {
        if (c == u'\n') {
            lineUnits.push_back(0);
            lineChars.push_back(0);
            continue;
        }
        if (QChar::isLowSurrogate(c))
            continue; // counted with its high half
        lineUnits.back() += (c >= 0x2E80) ? 10 : 6;
        lineChars.back() += 1;
    }
    const long long lines = (long long)lineUnits.size();
    const long long maxUnits = *std::max_element(lineUnits.begin(), lineUnits.end());
    const long long maxChars = *std::max_element(lineChars.begin(), lineChars.end());
    const long long lineHeight = (fontSize * 5 + 3) / 4; // 1.25 em, rounded up
    long long w;
    long long h;
    if (s.vertical) {
        w = lines * lineHeight;
        h = maxChars * fontSize;
    } else {
        w = (maxUnits * fontSize + 9) / 10;
        h = lines * lineHeight;
    }
    if (s.bold)
        w += (w + 9) / 10;
    if (s.outline && s.outlineSize > 0) {
        const long long o = 2 * (long long)std::ceil(std::min(s.outlineSize, 1000.0f));
        w += o;
        h += o;
    }
    w = std::clamp<long long>(w, 1, kMaxTextSide);
    h = std::clamp<long long>(h, 1, kMaxTextSide);
    if (textRollsInExtension(s)) {
        // A rolling text passes through its extension as through a window:
        // a longer text must not widen it past the area it was made for.
        if (s.extendWidth > 0)
            w = std::min<long long>(s.extendWidth, kMaxTextSide);
        if (s.extendHeight > 0)
            h = std::min<long long>(s.extendHeight, kMaxTextSide);
    } else if (s.extend) {
        w = std::max<long long>(w, s.extendWidth);
        h = std::max<long long>(h, s.extendHeight);
    }
    *width = int(w);
    *height = int(h);
}

namespace {

QJsonArray ints(std::initializer_list<int> v)
{
    QJsonArray a;
    for (int i : v)
        a.append(i);
    return a;
}

int at(const QJsonArray &a, int i)
{
    return a.at(i).toInt();
}

// Colours are written as numbers from 0 to 0xFFFFFFFF; a hand-edited file
// may hold any number, which is clamped into that range.
uint32_t u32(const QJsonValue &v)
{
    const double d = v.toDouble();
    if (!(d > 0))
        return 0;
    if (d >= 4294967295.0)
        return 0xFFFFFFFFu;
    return uint32_t(d);
}

QJsonValue jsonOf(int v) { return v; }
QJsonValue jsonOf(bool v) { return v; }
QJsonValue jsonOf(uint32_t v) { return double(v); }
QJsonValue jsonOf(float v) { return double(v); }

void readJson(const QJsonValue &v, int &out) { out = v.isBool() ? int(v.toBool()) : v.toInt(); }
void readJson(const QJsonValue &v, bool &out) { out = v.toBool(); }
void readJson(const QJsonValue &v, uint32_t &out) { out = u32(v); }
void readJson(const QJsonValue &v, float &out) { out = float(v.toDouble()); }

QJsonObject textToJson(const TextStyle &t)
{
    QJsonObject o;
    o[QStringLiteral("font")] = fromU16(t.font);
    o[QStringLiteral("text")] = fromU16(t.text);
    forEachTextField([&](uint32_t, const char *key, auto mine, auto) { o[QLatin1String(key)] = jsonOf(t.*mine); });
    return o;
}

TextStyle textFromJson(const QJsonObject &o)
{
    TextStyle t;
    t.font = toU16(o.value(QStringLiteral("font")).toString());
    t.text = toU16(o.value(QStringLiteral("text")).toString());
    forEachTextField(
        [&](uint32_t, const char *key, auto mine, auto) { readJson(o.value(QLatin1String(key)), t.*mine); });
    return t;
}

} // namespace

QJsonObject SceneItem::toJson() const
{
    QJsonObject o;
    o[QStringLiteral("name")] = QString::fromStdString(name);
    o[QStringLiteral("kind")] = kind;
    QJsonArray src;
    for (const std::string &s : sources)
        src.append(QString::fromStdString(s));
    o[QStringLiteral("sources")] = src;
    o[QStringLiteral("sourceSize")] = ints({sourceWidth, sourceHeight});
    o[QStringLiteral("rect")] = ints({x, y, width, height});
    if (hasRelativeRect)
        o[QStringLiteral("relativeRect")] = QJsonArray{double(relX), double(relY), double(relWidth), double(relHeight)};
    o[QStringLiteral("z")] = z;
    o[QStringLiteral("alpha")] = alpha;
    o[QStringLiteral("flag")] = flag;
    o[QStringLiteral("aspect")] = QJsonArray{double(aspect), aspectMode};
    o[QStringLiteral("rotation")] = QJsonArray{double(rotation[0]), double(rotation[1]), double(rotation[2])};
    o[QStringLiteral("colorEffect")] = double(colorEffect);
    QJsonArray wm;
    for (int v : watermark)
        wm.append(v);
    o[QStringLiteral("watermark")] = wm;
    if (hasText)
        o[QStringLiteral("text")] = textToJson(text);
    if (hasEffectiveText)
        o[QStringLiteral("effectiveText")] = fromU16(effectiveText);
    if (kind == KindCamera) {
        o[QStringLiteral("cameraDevice")] = fromU16(cameraDevice);
        o[QStringLiteral("cameraParams")] =
            ints({cameraParams.colorFormat, cameraParams.width, cameraParams.height, cameraParams.fps});
    }
    o[QStringLiteral("openArgs")] = ints({openArgs[0], openArgs[1], openArgs[2], openArgs[3]});
    o[QStringLiteral("display")] = display;
    if (!plugin.empty())
        o[QStringLiteral("plugin")] = fromU16(plugin);
    return o;
}

SceneItem SceneItem::fromJson(const QJsonObject &o)
{
    SceneItem it;
    it.name = o.value(QStringLiteral("name")).toString().toStdString();
    it.kind = o.value(QStringLiteral("kind")).toInt(-1);
    for (const QJsonValue &v : o.value(QStringLiteral("sources")).toArray())
        it.sources.push_back(v.toString().toStdString());
    const QJsonArray size = o.value(QStringLiteral("sourceSize")).toArray();
    it.sourceWidth = at(size, 0);
    it.sourceHeight = at(size, 1);
    const QJsonArray rect = o.value(QStringLiteral("rect")).toArray();
    it.x = at(rect, 0);
    it.y = at(rect, 1);
    it.width = at(rect, 2);
    it.height = at(rect, 3);
    if (o.value(QStringLiteral("relativeRect")).isArray()) {
        const QJsonArray r = o.value(QStringLiteral("relativeRect")).toArray();
        it.hasRelativeRect = true;
        it.relX = float(r.at(0).toDouble());
        it.relY = float(r.at(1).toDouble());
        it.relWidth = float(r.at(2).toDouble());
        it.relHeight = float(r.at(3).toDouble());
    }
    it.z = o.value(QStringLiteral("z")).toInt();
    it.alpha = o.value(QStringLiteral("alpha")).toInt(255);
    it.flag = o.value(QStringLiteral("flag")).toBool();
    const QJsonArray aspect = o.value(QStringLiteral("aspect")).toArray();
    it.aspect = float(aspect.at(0).toDouble());
    it.aspectMode = aspect.at(1).toInt();
    const QJsonArray rot = o.value(QStringLiteral("rotation")).toArray();
    for (int i = 0; i < 3; ++i)
        it.rotation[size_t(i)] = float(rot.at(i).toDouble());
    it.colorEffect = u32(o.value(QStringLiteral("colorEffect")));
    for (const QJsonValue &v : o.value(QStringLiteral("watermark")).toArray())
        it.watermark.push_back(v.toInt());
    if (o.value(QStringLiteral("text")).isObject()) {
        it.hasText = true;
        it.text = textFromJson(o.value(QStringLiteral("text")).toObject());
    }
    if (o.value(QStringLiteral("effectiveText")).isString()) {
        it.hasEffectiveText = true;
        it.effectiveText = toU16(o.value(QStringLiteral("effectiveText")).toString());
    }
    it.cameraDevice = toU16(o.value(QStringLiteral("cameraDevice")).toString());
    const QJsonArray cp = o.value(QStringLiteral("cameraParams")).toArray();
    it.cameraParams.colorFormat = at(cp, 0);
    it.cameraParams.width = at(cp, 1);
    it.cameraParams.height = at(cp, 2);
    it.cameraParams.fps = at(cp, 3);
    const QJsonArray args = o.value(QStringLiteral("openArgs")).toArray();
    for (int i = 0; i < 4; ++i)
        it.openArgs[size_t(i)] = at(args, i);
    it.display = o.value(QStringLiteral("display")).toInt(-1);
    it.plugin = toU16(o.value(QStringLiteral("plugin")).toString());
    return it;
}

} // namespace castcore

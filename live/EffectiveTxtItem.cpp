#include "EffectiveTxtItem.h"

#include "SceneRegistry.h"

#include <cstdio>
#include <cstdlib>

namespace {

constexpr uint32_t kScrollFields = TextNewline | TextAlign; // 0x280000

// "x,y,w,h" as the text item keeps its area; false unless all four parts are there.
bool parseArea(const std::string &text, QRect *area)
{
    size_t cut[3];
    size_t from = 0;
    for (size_t &c : cut) {
        c = text.find(',', from);
        if (c == std::string::npos)
            return false;
        from = c + 1;
    }
    const int x = std::atoi(text.substr(0, cut[0]).c_str());
    const int y = std::atoi(text.substr(cut[0] + 1, cut[1] - cut[0] - 1).c_str());
    const int w = std::atoi(text.substr(cut[1] + 1, cut[2] - cut[1] - 1).c_str());
    const int h = std::atoi(text.substr(cut[2] + 1).c_str());
    *area = QRect(x, y, w, h);
    return true;
}

} // namespace

EffectiveTxtItem::EffectiveTxtItem(TextPairOwner *owner)
    : m_owner(owner)
{
}

int EffectiveTxtItem::create(const std::string &picturePath, const QRect &area, TextInfo *text)
{
    if (!text)
        return -1;
    m_pictureId = m_owner->createItem(picturePath, false, 255);
    m_textId = m_owner->createTextItem(text);
    if (m_pictureId <= 0 || m_textId <= 0) {
        dropHalves();
        return -1;
    }
    const std::string pictureName = m_owner->makeItemName("effectivetxt", m_pictureId);
    const std::string textName = m_owner->makeItemName(pictureName, m_textId);
    m_owner->registerItem(m_pictureId, pictureName);
    m_owner->registerItem(m_textId, textName);
    m_owner->autoSetItemZorder(m_pictureId, scenereg::LayerActive);
    m_owner->autoSetItemZorder(m_textId, scenereg::LayerActive);

    int tx = 0, ty = 0, tw = 0, th = 0;
    m_owner->getItemSourceRect(m_textId, &tx, &ty, &tw, &th);
    m_textArea = area;
    text->extend = 1;
    text->extendWidth = area.width();
    text->extendHeight = th;
    m_owner->setTextSettings(m_textId, *text);
    adjustScroll(text);

    char geometry[64];
    std::snprintf(geometry, sizeof(geometry), "%d,%d,%d,%d", area.x(), area.y(), area.width(), area.height());
    m_owner->setEffectiveText(m_textId, geometry);

    int px = 0, py = 0, pw = 0, ph = 0;
    m_owner->getItemSourceRect(m_pictureId, &px, &py, &pw, &ph);
    m_pictureRect = QRect(px, py, pw, ph);
    placeText(px, py);
    return m_pictureId;
}

int EffectiveTxtItem::restore(int pictureId, int textId)
{
    m_pictureId = pictureId;
    m_textId = textId;
    if (m_pictureId <= 0 || m_textId <= 0) {
        dropHalves();
        return -1;
    }
    std::string geometry;
    if (m_owner->getEffectiveText(m_textId, &geometry))
        parseArea(geometry, &m_textArea);
    int px = 0, py = 0, pw = 0, ph = 0;
    m_owner->getItemSourceRect(m_pictureId, &px, &py, &pw, &ph);
    m_pictureRect = QRect(px, py, pw, ph);
    return m_pictureId;
}

void EffectiveTxtItem::dropHalves()
{
    for (int id : {m_pictureId, m_textId}) {
        if (id <= 0)
            continue;
        // The store removes items by name only: an unnamed half gets one first.
        bool named = false;
        m_owner->storedNameOf(id, &named);
        if (!named)
            m_owner->registerItem(id, m_owner->makeItemName("effectivetxt", id));
        m_owner->removeItem(id);
    }
    m_pictureId = -1;
    m_textId = -1;
}

void EffectiveTxtItem::setPictureProperty(const std::string &path, const QRect &)
{
    if (m_pictureId > 0)
        m_owner->setItemSource(m_pictureId, path);
}

void EffectiveTxtItem::updateText(TextInfo *text)
{
    if (m_textId <= 0 || !text)
        return;
    m_owner->setTextSettings(m_textId, *text);
    adjustScroll(text);
    if (m_pictureId <= 0)
        return;
    int x = 0, y = 0, w = 0, h = 0;
    m_owner->getItemRect(m_pictureId, &x, &y, &w, &h);
    placeText(x, y);
}

void EffectiveTxtItem::getPictureSource(std::string *path)
{
    if (m_pictureId > 0)
        m_owner->getItemSource(m_pictureId, path);
}

void EffectiveTxtItem::getTextSettings(TextInfo *text)
{
    if (m_textId > 0)
        m_owner->getTextSettings(m_textId, text);
}

int EffectiveTxtItem::pictureZ()
{
    return m_pictureId > 0 ? m_owner->getItemZorder(m_pictureId) : -1;
}

int EffectiveTxtItem::textZ()
{
    return m_textId > 0 ? m_owner->getItemZorder(m_textId) : -1;
}

void EffectiveTxtItem::setZ(int z)
{
    if (m_pictureId > 0)
        m_owner->setItemZorder(m_pictureId, z);
    if (m_textId > 0)
        m_owner->setItemZorder(m_textId, z + 1);
}

void EffectiveTxtItem::setZBelow(int z)
{
    if (m_pictureId > 0)
        m_owner->setItemZorder(m_pictureId, z - 1);
    if (m_textId > 0)
        m_owner->setItemZorder(m_textId, z);
}

void EffectiveTxtItem::remove()
{
    if (m_pictureId > 0)
        m_owner->removeItemFromScene(m_pictureId);
    if (m_textId > 0)
        m_owner->removeItemFromScene(m_textId);
    m_pictureId = -1;
    m_textId = -1;
}

void EffectiveTxtItem::move(int x, int y)
{
    if (m_pictureId <= 0)
        return;
    int px = 0, py = 0, w = 0, h = 0;
    m_owner->getItemRect(m_pictureId, &px, &py, &w, &h);
    m_owner->setItemGeometry(m_pictureId, x, y, w, h);
    placeText(x, y);
}

void EffectiveTxtItem::relayout(const QRect &)
{
    // The pair keeps its layout; its text area follows the picture only.
}

void EffectiveTxtItem::adjustScroll(TextInfo *text)
{
    if (m_textId <= 0 || !text)
        return;
    int x = 0, y = 0, tw = 0, th = 0;
    m_owner->getItemSourceRect(m_textId, &x, &y, &tw, &th);
    const bool fits = text->rollSpeed == 0 && tw <= m_textArea.width();
    text->newline = fits ? 1 : 0;
    text->align = fits ? 1 : 0;
    text->mask |= kScrollFields;
    m_owner->setTextSettings(m_textId, *text);
}

void EffectiveTxtItem::placeText(int px, int py)
{
    if (m_textId <= 0)
        return;
    int x = 0, y = 0, tw = 0, th = 0;
    m_owner->getItemSourceRect(m_textId, &x, &y, &tw, &th);
    m_owner->setItemGeometry(m_textId, px + m_textArea.x(), py + m_textArea.y() + (m_textArea.height() - th) / 2, tw,
                             th);
}

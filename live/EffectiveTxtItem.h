#pragma once

// A picture with a text item laid into a rectangle of it, which the user
// sees as one scene item. The facade keeps one per pair, lists the picture
// id only and keeps both halves together when the item moves, restacks or
// goes away. Every operation does nothing while the id it needs is not
// above 0.

#include "LiveEngine.h"
#include "TextPairOwner.h"

#include <QRect>

#include <string>

class EffectiveTxtItem
{
public:
    explicit EffectiveTxtItem(TextPairOwner *owner);

    // Creates both halves; the picture id, or -1 when either half failed
    // (then nothing of the pair stays in the scene).
    int create(const std::string &picturePath, const QRect &area, TextInfo *text);
    // Pairs up two restored halves; reads the text area kept with the text.
    int restore(int pictureId, int textId);

    int pictureId() const { return m_pictureId; }
    int textId() const { return m_textId; }
    QRect textArea() const { return m_textArea; }
    QRect pictureRect() const { return m_pictureRect; }

    void setPictureProperty(const std::string &path, const QRect &area);
    void updateText(TextInfo *text);
    void getPictureSource(std::string *path);
    void getTextSettings(TextInfo *text);
    int pictureZ();
    int textZ();
    void setZ(int z);      // picture z, text z + 1
    void setZBelow(int z); // picture z - 1, text z
    void remove();
    void move(int x, int y);
    int sourceCount() const { return m_pictureId > 0 ? 2 : 0; }
    void relayout(const QRect &rect);
    void adjustScroll(TextInfo *text);

private:
    // Places the text in its area of a picture standing at (px, py).
    void placeText(int px, int py);
    // A half-made pair: names the surviving half so the scene store can
    // remove it, removes it and forgets both ids.
    void dropHalves();

    TextPairOwner *m_owner;
    QRect m_textArea;
    QRect m_pictureRect;
    int m_pictureId = -1;
    int m_textId = -1;
};

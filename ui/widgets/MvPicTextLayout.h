#pragma once

#include <QString>

class QColor;
class QPainter;
class QPixmap;
class QSize;

// How the picture-and-text buttons lay out their face: the picture at
// `pictureOffset` from the left, centred vertically, and the text after it,
// `textSpacing` further on, left-aligned and centred vertically.
struct MvPicTextLayout
{
    MvPicTextLayout(int offset, int spacing)
        : pictureOffset(offset)
        , textSpacing(spacing)
    {
    }

    void setFont(const QString &family, int pixelSize, bool isBold);
    void paint(QPainter &painter, const QSize &size, const QPixmap &picture, const QColor &textColor,
               const QString &text) const;

    QString fontFamily = QStringLiteral("微软雅黑");
    int fontPixelSize = 12;
    bool bold = false;
    int pictureOffset;
    int textSpacing;
};

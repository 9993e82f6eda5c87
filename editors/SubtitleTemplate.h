#pragma once

#include <QColor>
#include <QString>

// A background picture for the subtitle text, its small thumbnail and the
// colour of the text laid over it.
struct SubtitleTemplate
{
    QString thumbnailPath;
    QString picturePath;
    QColor textColor;
};

#pragma once

#include <QString>

// One held picture or chosen effect: the scene item that shows it and the
// file it was made from.
struct PictureItem
{
    int id = -1;
    QString path;
};

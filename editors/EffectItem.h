#pragma once

#include <QString>

// One filter effect of the picker; its id is also the colour effect the
// camera page hands to the scene.
struct EffectItem
{
    int id = 0;
    QString image; // ":/image/skin/effect/0<id>.png"
    QString title; // left empty
};

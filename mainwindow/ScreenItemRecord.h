#pragma once

#include <QByteArray>

// One entry of the scene item list: the picture shown in the cell, its
// caption and the scene item it stands for. Fixed-width fields; a text that
// does not fit is cut on a whole UTF-8 character, so a cell never shows half
// a character and nothing is written past a field.
struct ScreenItemRecord
{
    static constexpr int kPathSize = 1024;
    static constexpr int kDescSize = 256;

    char picturePath[kPathSize] = {};
    char description[kDescSize] = {};
    int itemId = 0;

    void setPicturePath(const char *utf8) { copyField(picturePath, kPathSize, utf8); }
    void setDescription(const char *utf8) { copyField(description, kDescSize, utf8); }
    void setDescription(const QByteArray &utf8) { setDescription(utf8.constData()); }

    // Clears the field, then copies at most size - 1 bytes, ending on a whole
    // UTF-8 character. A null text leaves the field empty.
    static void copyField(char *field, int size, const char *utf8);
};

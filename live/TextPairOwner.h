#pragma once

// What an effective-text pair asks of the facade that owns it. The names are
// the facade's own operations, so the facade can implement this directly.

#include "LiveEngine.h"

#include <string>

class TextPairOwner
{
public:
    virtual int createItem(const std::string &path, bool flag, int alpha) = 0;
    virtual int createTextItem(TextInfo *info) = 0;
    virtual std::string makeItemName(const std::string &word, int start) = 0;
    virtual bool registerItem(int id, const std::string &name) = 0;
    virtual std::string storedNameOf(int id, bool *ok) = 0;
    virtual int autoSetItemZorder(int id, int layer) = 0;
    virtual int getItemZorder(int id) = 0;
    virtual void setItemZorder(int id, int z) = 0;
    virtual void removeItem(int id) = 0;
    virtual bool removeItemFromScene(int id) = 0;
    virtual void getItemRect(int id, int *x, int *y, int *w, int *h) = 0;
    virtual void getItemSourceRect(int id, int *x, int *y, int *w, int *h) = 0;
    virtual void setItemGeometry(int id, int x, int y, int w, int h) = 0;
    virtual bool setItemSource(int id, const std::string &path) = 0;
    virtual void getItemSource(int id, std::string *path) = 0;
    virtual void setTextSettings(int id, TextInfo info) = 0;
    virtual void getTextSettings(int id, TextInfo *info) = 0;
    // The per-item string (the text item keeps its area there).
    virtual bool setEffectiveText(int id, const char *text) = 0;
    virtual bool getEffectiveText(int id, std::string *text) = 0;

protected:
    ~TextPairOwner() = default;
};

#include "TextHelpers.h"

#include <QApplication>
#include <QColorDialog>
#include <QDebug>
#include <QDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <cstdint>

std::u16string utf8ToWstring(const std::string &utf8)
{
    const QString s = QString::fromUtf8(utf8.data(), static_cast<int>(utf8.size()));
    return s.toStdU16String();
}

std::string wstringToUtf8(const std::u16string &wide)
{
    return QString::fromStdU16String(wide).toUtf8().toStdString();
}

// The ANSI and local 8-bit code pages are UTF-8 here, whatever locale the
// environment sets, so texts round-trip the same on every machine.
std::string wstringToAnsi(const std::u16string &wide)
{
    return wstringToUtf8(wide);
}

std::u16string ansiToWstring(const std::string &ansi)
{
    return utf8ToWstring(ansi);
}

std::string local8BitToUtf8(const std::string &local)
{
    return QString::fromUtf8(local.data(), static_cast<int>(local.size())).toUtf8().toStdString();
}

namespace {

// ratioW * height == ratioH * width, in 64 bits so that no size overflows.
bool hasAspect(int width, int height, int64_t ratioW, int64_t ratioH)
{
    if (width <= 0 || height <= 0)
        return false;
    return ratioH * width == ratioW * height;
}

// The platform's standard dialog boxes; the program's own dialogs and windows
// (the room tool among them) are not ours to close.
bool isStandardDialog(const QDialog *dialog)
{
    return qobject_cast<const QFileDialog *>(dialog) || qobject_cast<const QColorDialog *>(dialog)
        || qobject_cast<const QFontDialog *>(dialog);
}

} // namespace

bool isAspect4x3(int width, int height)
{
    return hasAspect(width, height, 4, 3);
}

bool isAspect16x9(int width, int height)
{
    return hasAspect(width, height, 16, 9);
}

void closeOwnedDialogs(QWidget *window)
{
    if (!window)
        return;
    QWidget *const owner = window->window();
    QList<QPointer<QDialog>> owned;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        auto *dialog = qobject_cast<QDialog *>(w);
        if (!dialog || !isStandardDialog(dialog) || !dialog->isWindow() || !dialog->isVisible())
            continue;
        QWidget *parent = dialog->parentWidget();
        if (parent && parent->window() == owner)
            owned.append(dialog);
    }
    for (const QPointer<QDialog> &dialog : owned) {
        if (!dialog || !dialog->isVisible())
            continue;
        closeOwnedDialogs(dialog);
        if (!dialog)
            continue;
        const QString title = dialog->windowTitle();
        const void *handle = dialog.data();
        dialog->close();
        const void *parentAfter = dialog ? static_cast<void *>(dialog->parentWidget()) : nullptr;
        qDebug().nospace().noquote() << handle << " : " << title << " --- parent:" << parentAfter;
    }
}

int utf8CompletePrefixLength(const char *text, int length)
{
    if (!text || length <= 0)
        return 0;
    const auto *s = reinterpret_cast<const unsigned char *>(text);
    int lead = length - 1;
    while (lead >= 0 && lead > length - 4 && (s[lead] & 0xC0) == 0x80)
        --lead;
    if (lead < 0 || (s[lead] & 0xC0) == 0x80)
        return length; // no lead byte in reach: malformed, leave as it is
    int need = 1;
    if ((s[lead] & 0xE0) == 0xC0)
        need = 2;
    else if ((s[lead] & 0xF0) == 0xE0)
        need = 3;
    else if ((s[lead] & 0xF8) == 0xF0)
        need = 4;
    return lead + need > length ? lead : length;
}

bool isValidUtf8(const char *text, size_t length)
{
    const auto *s = reinterpret_cast<const unsigned char *>(text);
    size_t i = 0;
    while (i < length) {
        const unsigned char c = s[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        size_t need;
        uint32_t cp;
        uint32_t min;
        if ((c & 0xE0) == 0xC0) {
            need = 1; cp = c & 0x1Fu; min = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            need = 2; cp = c & 0x0Fu; min = 0x800;
        } else if ((c & 0xF8) == 0xF0) {
            need = 3; cp = c & 0x07u; min = 0x10000;
        } else {
            return false;
        }
        if (length - i <= need)
            return false;
        for (size_t k = 1; k <= need; ++k) {
            if ((s[i + k] & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (s[i + k] & 0x3Fu);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += need + 1;
    }
    return true;
}

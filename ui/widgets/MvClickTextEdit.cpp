#include "MvClickTextEdit.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QDebug>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPointer>
#include <QTextCursor>

MvClickTextEdit::MvClickTextEdit(QWidget *parent)
    : QTextEdit(parent)
{
}

MvClickTextEdit::~MvClickTextEdit() = default;

QString MvClickTextEdit::FirstLine(const QString &text)
{
    // Cutting at "\n" alone would leave the '\r' of a Windows line end (or a
    // whole old-Mac text) in the field.
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QChar::LineSeparator
            || c == QChar::ParagraphSeparator)
            return text.left(i);
    }
    return text;
}

QString MvClickTextEdit::MenuText(const QString &standardText)
{
    // Matched on the label alone: the shortcut after the tab is the
    // platform's (Redo is Ctrl+Y on Windows, Ctrl+Shift+Z on X11) and stays.
    static const struct
    {
        const char *standard;
        const char16_t *shown;
    } kLabels[] = {
        {"&Undo", u"&撤销"},
        {"&Redo", u"&重做"},
        {"Cu&t", u"&剪切"},
        {"&Copy", u"&复制"},
        {"&Paste", u"&粘贴"},
        {"Delete", u"删除"},
        {"Select All", u"全选"},
    };
    const int tab = standardText.indexOf(QLatin1Char('\t'));
    const QString label = tab < 0 ? standardText : standardText.left(tab);
    for (const auto &entry : kLabels) {
        if (label == QLatin1String(entry.standard))
            return QString::fromUtf16(entry.shown) + (tab < 0 ? QString() : standardText.mid(tab));
    }
    return standardText;
}

void MvClickTextEdit::LocalizeMenu(QMenu *menu)
{
    menu->setStyleSheet(QStringLiteral("QMenu::item:selected:enabled {color: #654321;}"));
    const QList<QAction *> actions = menu->actions();
    for (QAction *action : actions) {
        qDebug() << action->text();
        action->setText(MenuText(action->text()));
    }
}

void MvClickTextEdit::mouseReleaseEvent(QMouseEvent *event)
{
    emit sig_clickedit();
    QTextEdit::mouseReleaseEvent(event);
}

void MvClickTextEdit::keyPressEvent(QKeyEvent *event)
{
    // Return and keypad Enter never reach the field: no line break from the
    // keyboard.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        emit sig_keyEnter();
        return;
    }
    QTextEdit::keyPressEvent(event);
}

void MvClickTextEdit::contextMenuEvent(QContextMenuEvent *event)
{
    // The menu is our child: guard it in case the field goes away while it runs.
    QPointer<QMenu> menu = createStandardContextMenu(event->pos());
    LocalizeMenu(menu);
    menu->exec(event->globalPos());
    delete menu.data();
}

void MvClickTextEdit::insertFromMimeData(const QMimeData *source)
{
    if (!source || !source->hasText())
        return;
    textCursor().insertText(FirstLine(source->text()));
}

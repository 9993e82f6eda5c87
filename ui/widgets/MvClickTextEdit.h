#pragma once

#include <QString>
#include <QTextEdit>

class QMenu;

// Text field that reports clicks and Enter as signals, shows its edit menu in
// Chinese and takes only the first line of pasted or dropped text.
class MvClickTextEdit : public QTextEdit
{
    Q_OBJECT
public:
    explicit MvClickTextEdit(QWidget *parent = nullptr);
    ~MvClickTextEdit() override;

    // The text up to the first line end, whichever form it takes (\n, \r\n,
    // \r, or a Unicode line or paragraph separator).
    static QString FirstLine(const QString &text);
    // The Chinese text of a standard edit-menu entry, its shortcut text kept;
    // other texts unchanged.
    static QString MenuText(const QString &standardText);
    // Gives a standard edit menu its style and Chinese texts.
    static void LocalizeMenu(QMenu *menu);

signals:
    void sig_clickedit();
    void sig_keyEnter();

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void insertFromMimeData(const QMimeData *source) override;
};

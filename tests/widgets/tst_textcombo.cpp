// Text field (first-line paste, Enter, Chinese menu) and the combo classes.

#include "MvClickTextEdit.h"
#include "MvComboBoxItemDelegate.h"
#include "MvComboBoxStyle.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QImage>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QProxyStyle>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QStyleOptionViewItem>
#include <QTimer>
#include <QtTest>

namespace {

class PasteEdit : public MvClickTextEdit
{
public:
    using MvClickTextEdit::insertFromMimeData;
};

// Records the state flags an item view entry is drawn with.
class RecordingStyle : public QProxyStyle
{
public:
    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget) const override
    {
        if (element == CE_ItemViewItem)
            drawnStates.append(option->state);
        QProxyStyle::drawControl(element, option, painter, widget);
    }
    mutable QList<QStyle::State> drawnStates;
};

} // namespace

class TestTextCombo : public QObject
{
    Q_OBJECT

private slots:
    void firstLine_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("line");
        QTest::newRow("one line") << "abc" << "abc";
        QTest::newRow("unix") << "one\ntwo" << "one";
        QTest::newRow("windows") << "one\r\ntwo\r\n" << "one";
        QTest::newRow("old mac") << "one\rtwo" << "one";
        QTest::newRow("leading break") << "\ntwo" << "";
        QTest::newRow("trailing break") << "one\r\n" << "one";
        QTest::newRow("paragraph separator") << QStringLiteral("一\u2029二") << QStringLiteral("一");
        QTest::newRow("line separator") << QStringLiteral("a\u2028b") << "a";
        QTest::newRow("empty") << "" << "";
        QTest::newRow("keeps blanks and tabs") << " a\tb \nc" << " a\tb ";
    }
    void firstLine()
    {
        QFETCH(QString, text);
        QFETCH(QString, line);
        QCOMPARE(MvClickTextEdit::FirstLine(text), line);
    }

    void pasteKeepsFirstLine_data()
    {
        QTest::addColumn<QString>("pasted");
        QTest::newRow("\\n") << "字幕\nsecond";
        QTest::newRow("\\r\\n") << "字幕\r\nsecond\r\nthird";
        QTest::newRow("\\r") << "字幕\rsecond";
    }
    void pasteKeepsFirstLine()
    {
        QFETCH(QString, pasted);
        PasteEdit edit;
        edit.setPlainText(QStringLiteral("ab"));
        edit.moveCursor(QTextCursor::End);

        QMimeData data;
        data.setText(pasted);
        data.setHtml(QStringLiteral("<b>bold</b><img src='x.png'>"));
        edit.insertFromMimeData(&data);
        QCOMPARE(edit.toPlainText(), QStringLiteral("ab字幕"));
        QCOMPARE(edit.document()->blockCount(), 1);
        QVERIFY(!edit.toHtml().contains(QStringLiteral("<b>")));
    }

    void pasteThroughClipboard()
    {
        QClipboard *clipboard = QGuiApplication::clipboard();
        clipboard->setText(QStringLiteral("first\r\nsecond"));
        if (clipboard->text() != QStringLiteral("first\r\nsecond"))
            QSKIP("no clipboard on this platform");
        MvClickTextEdit edit;
        edit.paste();
        QCOMPARE(edit.toPlainText(), QStringLiteral("first"));
    }

    void pasteWithoutTextInsertsNothing()
    {
        PasteEdit edit;
        edit.setPlainText(QStringLiteral("keep"));
        QMimeData picture;
        QImage image(4, 4, QImage::Format_ARGB32);
        image.fill(Qt::red);
        picture.setImageData(image);
        edit.insertFromMimeData(&picture);
        QMimeData html;
        html.setHtml(QStringLiteral("<p>x</p>"));
        edit.insertFromMimeData(&html);
        edit.insertFromMimeData(nullptr);
        QCOMPARE(edit.toPlainText(), QStringLiteral("keep"));
    }

    void enterKeysAreSwallowed_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::newRow("Return") << int(Qt::Key_Return) << int(Qt::NoModifier);
        QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << int(Qt::KeypadModifier);
        QTest::newRow("Shift+Return") << int(Qt::Key_Return) << int(Qt::ShiftModifier);
        QTest::newRow("Ctrl+Return") << int(Qt::Key_Return) << int(Qt::ControlModifier);
    }
    void enterKeysAreSwallowed()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        MvClickTextEdit edit;
        edit.setPlainText(QStringLiteral("line"));
        edit.moveCursor(QTextCursor::End);
        QSignalSpy spy(&edit, &MvClickTextEdit::sig_keyEnter);
        QTest::keyClick(&edit, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(spy.count(), 1);
        QCOMPARE(edit.toPlainText(), QStringLiteral("line"));
    }

    void otherKeysReachTheField()
    {
        MvClickTextEdit edit;
        QSignalSpy spy(&edit, &MvClickTextEdit::sig_keyEnter);
        QTest::keyClicks(&edit, QStringLiteral("ab"));
        QTest::keyClick(&edit, Qt::Key_Backspace);
        QCOMPARE(edit.toPlainText(), QStringLiteral("a"));
        QCOMPARE(spy.count(), 0);
    }

    void releaseSignalsClick()
    {
        MvClickTextEdit edit;
        edit.resize(200, 60);
        QSignalSpy spy(&edit, &MvClickTextEdit::sig_clickedit);
        QTest::mouseClick(edit.viewport(), Qt::LeftButton, {}, QPoint(10, 10));
        QCOMPARE(spy.count(), 1);
        QTest::mouseClick(edit.viewport(), Qt::RightButton, {}, QPoint(10, 10));
        QCOMPARE(spy.count(), 2);
    }

    void menuTexts_data()
    {
        QTest::addColumn<QString>("standard");
        QTest::addColumn<QString>("shown");
        QTest::newRow("undo") << "&Undo\tCtrl+Z" << QStringLiteral("&撤销\tCtrl+Z");
        QTest::newRow("redo") << "&Redo\tCtrl+Y" << QStringLiteral("&重做\tCtrl+Y");
        QTest::newRow("redo, X11 shortcut") << "&Redo\tCtrl+Shift+Z" << QStringLiteral("&重做\tCtrl+Shift+Z");
        QTest::newRow("cut") << "Cu&t\tCtrl+X" << QStringLiteral("&剪切\tCtrl+X");
        QTest::newRow("cut, old shortcut") << "Cu&t\tShift+Del" << QStringLiteral("&剪切\tShift+Del");
        QTest::newRow("copy") << "&Copy\tCtrl+C" << QStringLiteral("&复制\tCtrl+C");
        QTest::newRow("paste") << "&Paste\tCtrl+V" << QStringLiteral("&粘贴\tCtrl+V");
        QTest::newRow("delete") << "Delete" << QStringLiteral("删除");
        QTest::newRow("select all") << "Select All\tCtrl+A" << QStringLiteral("全选\tCtrl+A");
        QTest::newRow("no shortcut") << "&Undo" << QStringLiteral("&撤销");
        QTest::newRow("link location") << "Copy &Link Location" << "Copy &Link Location";
        QTest::newRow("case differs") << "&undo\tCtrl+Z" << "&undo\tCtrl+Z";
        QTest::newRow("label is a prefix") << "&Undo all\tCtrl+Z" << "&Undo all\tCtrl+Z";
        QTest::newRow("empty") << "" << "";
    }
    void menuTexts()
    {
        QFETCH(QString, standard);
        QFETCH(QString, shown);
        QCOMPARE(MvClickTextEdit::MenuText(standard), shown);
    }

    // The menu the field really opens, read while it runs. Also run under an
    // X server, whose shortcut texts differ from the offscreen platform's.
    void contextMenuIsChinese()
    {
        MvClickTextEdit edit;
        edit.setPlainText(QStringLiteral("text"));
        edit.selectAll();
        edit.resize(200, 60);
        edit.show();
        QVERIFY(QTest::qWaitForWindowExposed(&edit));

        QString styleSheet;
        QStringList texts;
        QTimer reader;
        connect(&reader, &QTimer::timeout, &edit, [&] {
            auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            if (!menu)
                return;
            styleSheet = menu->styleSheet();
            for (QAction *action : menu->actions())
                if (!action->isSeparator())
                    texts << action->text();
            menu->close();
        });
        reader.start(10);
        const QPoint at(5, 5);
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, edit.viewport()->mapToGlobal(at));
        QApplication::sendEvent(edit.viewport(), &event);
        reader.stop();

        QCOMPARE(styleSheet, QStringLiteral("QMenu::item:selected:enabled {color: #654321;}"));
        // The platform's own shortcut texts follow the Chinese labels.
        const auto withKey = [](const QString &label, QKeySequence::StandardKey key) {
            return label + QLatin1Char('\t') + QKeySequence(key).toString(QKeySequence::NativeText);
        };
        const QStringList expected{
            withKey(QStringLiteral("&撤销"), QKeySequence::Undo),
            withKey(QStringLiteral("&重做"), QKeySequence::Redo),
            withKey(QStringLiteral("&剪切"), QKeySequence::Cut),
            withKey(QStringLiteral("&复制"), QKeySequence::Copy),
            withKey(QStringLiteral("&粘贴"), QKeySequence::Paste),
            QStringLiteral("删除"),
            withKey(QStringLiteral("全选"), QKeySequence::SelectAll),
        };
        QCOMPARE(texts, expected);
    }

    void popupOpensAtFirstEntry()
    {
        QWidget host;
        host.resize(300, 200);
        auto *combo = new MvComboBoxStyle(&host);
        combo->setGeometry(10, 10, 200, 32);
        for (int i = 0; i < 40; ++i)
            combo->addItem(QStringLiteral("显示器%1").arg(i + 1));
        QCOMPARE(combo->count(), 40);
        QCOMPARE(combo->PopupList()->count(), 40);
        QCOMPARE(combo->view(), combo->PopupList());
        host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&host));

        combo->setCurrentIndex(39);
        combo->showPopup();
        QCOMPARE(combo->PopupList()->verticalScrollBar()->value(), 0);
        combo->PopupList()->scrollToBottom();
        QVERIFY(combo->PopupList()->verticalScrollBar()->value() > 0);
        combo->hidePopup();
        QCOMPARE(combo->PopupList()->verticalScrollBar()->value(), 0);

        combo->PopupList()->scrollToBottom();
        combo->showPopup();
        QCOMPARE(combo->PopupList()->verticalScrollBar()->value(), 0);
        combo->hidePopup();
    }

    void comboLook()
    {
        QWidget host;
        auto *combo = new MvComboBoxStyle(&host);
        QVERIFY(combo->PopupList()->font().bold());
        QCOMPARE(combo->PopupList()->font().pixelSize(), 12);
        combo->ApplyComboLook();
        auto *delegate = qobject_cast<MvComboBoxItemDelegate *>(combo->itemDelegate());
        QVERIFY(delegate);
        QCOMPARE(delegate->parent(), &host);
        QVERIFY(combo->styleSheet().contains(QStringLiteral(":/image/skin/comboarrow.png")));
        QVERIFY(combo->styleSheet().contains(QStringLiteral("#ebecf0")));

        MvComboBoxStyle orphan;
        orphan.ApplyComboLook();
        QCOMPARE(orphan.itemDelegate()->parent(), &orphan);
    }

    void delegateReportsPresses()
    {
        QStandardItemModel model(3, 1);
        MvComboBoxItemDelegate delegate;
        QSignalSpy spy(&delegate, &MvComboBoxItemDelegate::signal_clicked);
        QStyleOptionViewItem option;
        const QModelIndex index = model.index(1, 0);

        QMouseEvent press(QEvent::MouseButtonPress, QPointF(2, 2), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QAbstractItemDelegate &base = delegate;
        base.editorEvent(&press, &model, option, index);
        QMouseEvent release(QEvent::MouseButtonRelease, QPointF(2, 2), Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        base.editorEvent(&release, &model, option, index);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).value<QModelIndex>(), index);
    }

    void delegatePaintsWithoutFocusFrame()
    {
        QStandardItemModel model(1, 1);
        model.setData(model.index(0, 0), QStringLiteral("显示器1"));
        auto *style = new RecordingStyle;
        QWidget canvas;
        canvas.setStyle(style);
        MvComboBoxItemDelegate delegate;

        QStyleOptionViewItem option;
        option.rect = QRect(0, 0, 100, 32);
        option.state = QStyle::State_Enabled | QStyle::State_HasFocus | QStyle::State_Selected;
        option.widget = &canvas;
        QImage image(100, 32, QImage::Format_ARGB32);
        QPainter painter(&image);
        delegate.paint(&painter, option, model.index(0, 0));
        painter.end();

        QCOMPARE(style->drawnStates.size(), 1);
        QVERIFY(!(style->drawnStates.at(0) & QStyle::State_HasFocus));
        QVERIFY(style->drawnStates.at(0) & QStyle::State_Selected);
        canvas.setStyle(nullptr);
        delete style;
    }
};

QTEST_MAIN(TestTextCombo)
#include "tst_textcombo.moc"

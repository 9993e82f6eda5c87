#include "CurrentDialog.h"
#include "FacadeFixture.h"
#include "FormCheck.h"
#include "ModalDriver.h"
#include "ModalWatchdog.h"
#include "TextOverlayInfo.h"
#include "UiAddText.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTextEdit>

using testsupport::FacadeFixture;
using testsupport::ModalDriver;

namespace {

template <class T>
T *part(QWidget *dialog, const char *name)
{
    return testsupport::formPart<T>(dialog, name);
}

// A record with every field away from the editor's defaults.
TextOverlayInfo unusualRecord()
{
    TextOverlayInfo r;
    r.text = QStringLiteral("直播 text");
    r.font = QStringLiteral("宋体");
    r.color = QColor(0x12, 0x34, 0x56);
    r.size = 33;
    r.opacity = 44;
    r.rollSpeed = 5;
    r.backgroundColor = QColor(0x65, 0x43, 0x21);
    r.backgroundOpacity = 66;
    r.outline = true;
    r.outlineColor = QColor(0xAB, 0xCD, 0xEF);
    r.outlineOpacity = 77;
    r.outlineSize = 9;
    r.bold = true;
    r.italic = false;
    r.underline = true;
    r.vertical = true;
    r.extend = true;
    r.extendWidth = 640;
    r.extendHeight = 360;
    r.extendScroll = true;
    r.extendNewline = false;
    r.extendAlign = 2;
    return r;
}

QString bufferText(const char16_t *buffer, int units)
{
    int n = 0;
    while (n < units && buffer[n])
        ++n;
    return QString::fromUtf16(buffer, n);
}

// A text item on a started scene, with the engine's call log cleared.
struct TextItemFixture
{
    TextItemFixture()
    {
        QVERIFY(f.init() == 0);
        testsupport::TextRecord record(u"你好", 40);
        id = f.proxy->addText(&record.info, 3);
        QVERIFY(id > 0);
        f.calls().clear();
    }

    TextOverlayInfo look() const
    {
        EngineTextBuffers engine;
        f.proxy->getTextSettings(id, &engine.info);
        TextOverlayInfo r;
        fromEngineText(engine.info, &r);
        return r;
    }
    QRect placement() const
    {
        int x = 0, y = 0, w = 0, h = 0;
        f.proxy->getItemRect(id, &x, &y, &w, &h);
        return QRect(x, y, w, h);
    }
    QSize sourceSize() const
    {
        int x = 0, y = 0, w = 0, h = 0;
        f.proxy->getItemSourceRect(id, &x, &y, &w, &h);
        return QSize(w, h);
    }
    int previews() const { return int(f.calls().count("SetTextProperties")); }
    // The record as the preview hands it to the editor.
    TextOverlayInfo editorRecord() const
    {
        TextOverlayInfo r = look();
        r.itemId = id;
        return r;
    }

    testsupport::ModalWatchdog watchdog{8000};
    FacadeFixture f;
    int id = 0;
};

void compareLooks(const TextOverlayInfo &a, const TextOverlayInfo &b)
{
    QCOMPARE(a.text, b.text);
    QCOMPARE(a.font, b.font);
    QCOMPARE(a.color, b.color);
    QCOMPARE(a.size, b.size);
    QCOMPARE(a.opacity, b.opacity);
    QCOMPARE(a.rollSpeed, b.rollSpeed);
    QCOMPARE(a.backgroundColor, b.backgroundColor);
    QCOMPARE(a.backgroundOpacity, b.backgroundOpacity);
    QCOMPARE(a.outline, b.outline);
    QCOMPARE(a.outlineColor, b.outlineColor);
    QCOMPARE(a.outlineOpacity, b.outlineOpacity);
    QCOMPARE(a.outlineSize, b.outlineSize);
    QCOMPARE(a.bold, b.bold);
    QCOMPARE(a.italic, b.italic);
    QCOMPARE(a.underline, b.underline);
    QCOMPARE(a.vertical, b.vertical);
    QCOMPARE(a.extend, b.extend);
    QCOMPARE(a.extendWidth, b.extendWidth);
    QCOMPARE(a.extendHeight, b.extendHeight);
    QCOMPARE(a.extendScroll, b.extendScroll);
    QCOMPARE(a.extendNewline, b.extendNewline);
    QCOMPARE(a.extendAlign, b.extendAlign);
}

} // namespace

class TestTextEditor : public QObject
{
    Q_OBJECT

private slots:
    // ---- the record and its mapping to the engine's text record

    void newRecordHasEveryFieldSet()
    {
        const TextOverlayInfo r;
        QVERIFY(r.text.isEmpty());
        QVERIFY(r.font.isEmpty());
        QVERIFY(!r.color.isValid());
        QVERIFY(!r.backgroundColor.isValid());
        QVERIFY(!r.outlineColor.isValid());
        QCOMPARE(r.size, 0);
        QCOMPARE(r.opacity, 0);
        QCOMPARE(r.outlineSize, 0);
        QCOMPARE(r.extendAlign, 0);
        QCOMPARE(r.itemId, -1);
        QCOMPARE(r.accepted, false);
        QCOMPARE(r.extend, false);
    }

    void alignmentNames()
    {
        QCOMPARE(AlignmentNames(), (QStringList{QStringLiteral("居左"), QStringLiteral("居中"), QStringLiteral("居右")}));
    }

    void freshEditorRecordMapsToTheEngine()
    {
        UiAddText editor(nullptr);
        TextOverlayInfo r;
        editor.GetTextInfo(r);
        EngineTextBuffers engine;
        engine.info.mask = 0;
        UiAddText::ToEngineText(r, &engine.info);
        const TextInfo &t = engine.info;
        QCOMPARE(t.mask, 0u); // the sender's to set
        QCOMPARE(bufferText(t.fontName, kTextFontNameUnits), QStringLiteral("微软雅黑"));
        QCOMPARE(bufferText(t.text, kTextTextUnits), QString());
        QCOMPARE(t.size, 60);
        QCOMPARE(t.color, 0xFF000000u);
        QCOMPARE(t.opacity, 100);
        QCOMPARE(t.rollSpeed, 0);
        QCOMPARE(int(t.bold) + t.italic + t.underline + t.vertical, 0);
        QCOMPARE(t.backgroundOpacity, 0);
        QCOMPARE(t.backgroundColor, 0xFFFFFFFFu);
        QCOMPARE(t.outline, 0);
        QCOMPARE(t.outlineSize, 0.0f);
        QCOMPARE(t.outlineColor, 0xFF000000u);
        QCOMPARE(t.outlineOpacity, 100);
        QCOMPARE(int(t.extend), 0);
        QCOMPARE(t.extendWidth, 0);
        QCOMPARE(t.extendHeight, 0);
        QCOMPARE(int(t.newline), 0);
        QCOMPARE(int(t.scroll), 0);
        QCOMPARE(t.align, 0);
        QCOMPARE(r.itemId, -1);
        QCOMPARE(r.accepted, false);
    }

    void everyFieldTravelsBothWays()
    {
        TextOverlayInfo r = unusualRecord();
        r.itemId = 42;
        r.accepted = true;
        EngineTextBuffers engine;
        toEngineText(r, &engine.info);
        const TextInfo &t = engine.info;
        QCOMPARE(bufferText(t.fontName, kTextFontNameUnits), QStringLiteral("宋体"));
        QCOMPARE(bufferText(t.text, kTextTextUnits), QStringLiteral("直播 text"));
        QCOMPARE(t.size, 33);
        QCOMPARE(t.color, 0xFF123456u);
        QCOMPARE(t.opacity, 44);
        QCOMPARE(t.rollSpeed, 5);
        QCOMPARE(int(t.bold), 1);
        QCOMPARE(int(t.italic), 0);
        QCOMPARE(int(t.underline), 1);
        QCOMPARE(int(t.vertical), 1);
        QCOMPARE(t.backgroundOpacity, 66);
        QCOMPARE(t.backgroundColor, 0xFF654321u);
        QCOMPARE(t.outline, 1);
        QCOMPARE(t.outlineSize, 9.0f);
        QCOMPARE(t.outlineColor, 0xFFABCDEFu);
        QCOMPARE(t.outlineOpacity, 77);
        QCOMPARE(int(t.extend), 1);
        QCOMPARE(t.extendWidth, 640);
        QCOMPARE(t.extendHeight, 360);
        QCOMPARE(int(t.newline), 0);
        QCOMPARE(int(t.scroll), 1);
        QCOMPARE(t.align, 2);

        TextOverlayInfo back;
        back.itemId = 7;
        back.accepted = false;
        fromEngineText(t, &back);
        compareLooks(back, unusualRecord());
        QCOMPARE(back.itemId, 7);
        QCOMPARE(back.accepted, false);
    }

    void mappingTable_data()
    {
        QTest::addColumn<bool>("scroll");
        QTest::addColumn<bool>("newline");
        QTest::addColumn<QColor>("color");
        QTest::addColumn<int>("outlineSize");
        QTest::addColumn<int>("align");
        // what the engine record holds
        QTest::addColumn<int>("byte68");
        QTest::addColumn<int>("byte69");
        QTest::addColumn<uint>("word");
        QTest::addColumn<float>("width");
        QTest::addColumn<int>("engineAlign");

        QTest::newRow("scroll, no wrap") << true << false << QColor(1, 2, 3) << 0 << 0 << 0 << 1 << 0xFF010203u
                                         << 0.0f << 0;
        QTest::newRow("wrap, no scroll") << false << true << QColor(1, 2, 3) << 0 << 1 << 1 << 0 << 0xFF010203u
                                         << 0.0f << 1;
        QTest::newRow("half transparent colour") << false << false << QColor(0x80, 0x40, 0x20, 128) << 7 << 2 << 0
                                                 << 0 << 0xFF804020u << 7.0f << 2;
        QTest::newRow("alignment out of range is copied") << true << true << QColor(255, 255, 255, 0) << 60 << 3
                                                          << 1 << 1 << 0xFFFFFFFFu << 60.0f << 3;
    }

    void mappingTable()
    {
        QFETCH(bool, scroll);
        QFETCH(bool, newline);
        QFETCH(QColor, color);
        QFETCH(int, outlineSize);
        QFETCH(int, align);
        QFETCH(int, byte68);
        QFETCH(int, byte69);
        QFETCH(uint, word);
        QFETCH(float, width);
        QFETCH(int, engineAlign);

        TextOverlayInfo r = unusualRecord();
        r.extendScroll = scroll;
        r.extendNewline = newline;
        r.color = color;
        r.outlineSize = outlineSize;
        r.extendAlign = align;
        EngineTextBuffers engine;
        toEngineText(r, &engine.info);
        QCOMPARE(int(engine.info.newline), byte68);
        QCOMPARE(int(engine.info.scroll), byte69);
        QCOMPARE(engine.info.color, word);
        QCOMPARE(engine.info.outlineSize, width);
        QCOMPARE(engine.info.align, engineAlign);

        TextOverlayInfo back;
        fromEngineText(engine.info, &back);
        QCOMPARE(back.extendScroll, scroll);
        QCOMPARE(back.extendNewline, newline);
        QCOMPARE(back.color, QColor(color.red(), color.green(), color.blue(), 255));
        QCOMPARE(back.outlineSize, outlineSize);
        QCOMPARE(back.extendAlign, align);
    }

    void engineWidthsTruncateTowardZero_data()
    {
        QTest::addColumn<float>("width");
        QTest::addColumn<int>("expected");
        QTest::newRow("7.9") << 7.9f << 7;
        QTest::newRow("7.0") << 7.0f << 7;
        QTest::newRow("-2.7") << -2.7f << -2;
        QTest::newRow("huge") << 1e20f << std::numeric_limits<int>::max();
        QTest::newRow("not a number") << std::numeric_limits<float>::quiet_NaN() << 0;
    }

    void engineWidthsTruncateTowardZero()
    {
        QFETCH(float, width);
        QFETCH(int, expected);
        EngineTextBuffers engine;
        engine.info.outlineSize = width;
        TextOverlayInfo back;
        fromEngineText(engine.info, &back);
        QCOMPARE(back.outlineSize, expected);
    }

    void stringsAreCutToTheBuffers_data()
    {
        QTest::addColumn<QString>("font");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("engineFont");
        QTest::addColumn<QString>("engineText");
        const QString a255(255, QLatin1Char('a'));
        const QString face = QString::fromUtf8("\xF0\x9F\x98\x80"); // two units
        QTest::newRow("255 units fit with the terminator") << QStringLiteral("宋体") << a255 << QStringLiteral("宋体")
                                                            << a255;
        QTest::newRow("text of 300 keeps 255") << QStringLiteral("宋体") << QString(300, QLatin1Char('b'))
                                               << QStringLiteral("宋体") << QString(255, QLatin1Char('b'));
        QTest::newRow("font of 250 keeps 199") << QString(250, QLatin1Char('f')) << QStringLiteral("x")
                                               << QString(199, QLatin1Char('f')) << QStringLiteral("x");
        QTest::newRow("a pair across the cut goes whole") << QStringLiteral("宋体") << QString(254, QLatin1Char('a')) + face
                                                          << QStringLiteral("宋体") << QString(254, QLatin1Char('a'));
        QTest::newRow("a pair before the cut stays") << QStringLiteral("宋体") << QString(253, QLatin1Char('a')) + face + QStringLiteral("z")
                                                     << QStringLiteral("宋体") << QString(253, QLatin1Char('a')) + face;
    }

    void stringsAreCutToTheBuffers()
    {
        QFETCH(QString, font);
        QFETCH(QString, text);
        QFETCH(QString, engineFont);
        QFETCH(QString, engineText);
        TextOverlayInfo r;
        r.font = font;
        r.text = text;
        // Marks behind the buffers' ends would show a write past them.
        struct Guarded
        {
            char16_t font[kTextFontNameUnits + 4];
            char16_t text[kTextTextUnits + 4];
        } buffers;
        std::fill(std::begin(buffers.font), std::end(buffers.font), u'#');
        std::fill(std::begin(buffers.text), std::end(buffers.text), u'#');
        TextInfo info;
        info.fontName = buffers.font;
        info.text = buffers.text;
        toEngineText(r, &info);
        QCOMPARE(bufferText(buffers.font, kTextFontNameUnits), engineFont);
        QCOMPARE(bufferText(buffers.text, kTextTextUnits), engineText);
        QCOMPARE(buffers.font[kTextFontNameUnits], u'#');
        QCOMPARE(buffers.text[kTextTextUnits], u'#');

        // Read back, the reader stays within the buffers even without a
        // terminator.
        std::fill(std::begin(buffers.text), std::end(buffers.text), u'q');
        TextOverlayInfo back;
        fromEngineText(info, &back);
        QCOMPARE(back.text, QString(kTextTextUnits, QLatin1Char('q')));
    }

    // ---- the editor's form

    void buildsTheForm()
    {
        UiAddText editor(nullptr);
        QCOMPARE(editor.size(), QSize(552, 540));
        QCOMPARE(editor.windowTitle(), QStringLiteral("Dialog"));
        QCOMPARE(editor.windowFlags() & Qt::WindowType_Mask, Qt::SplashScreen);

        const QVector<testsupport::FormPart> parts = {
            {"widget", QRect(1, 1, 550, 36), QString()},
            {"label", QRect(40, 10, 81, 20), QStringLiteral("添加文字")},
            {"label_2", QRect(10, 12, 24, 16), QString()},
            {"pushButton_close", QRect(526, 2, 24, 24), QString()},
            {"widget_2", QRect(1, 489, 550, 50), QString()},
            {"pushButton_ok", QRect(378, 13, 64, 24), QStringLiteral("确定")},
            {"pushButton_cancel", QRect(452, 13, 64, 24), QStringLiteral("取消")},
            {"label_font", QRect(40, 50, 75, 20), QStringLiteral("字体")},
            {"comboBox_font", QRect(130, 50, 88, 24), QString()},
            {"label_font_size", QRect(250, 50, 75, 20), QStringLiteral("字号大小")},
            {"spinBox_font_size", QRect(340, 50, 66, 24), QString()},
            {"label_color", QRect(40, 85, 75, 20), QStringLiteral("颜色")},
            {"pushButton_color", QRect(130, 85, 66, 20), QString()},
            {"label_transparent", QRect(40, 115, 75, 20), QStringLiteral("不透明度")},
            {"spinBox_transparent", QRect(130, 115, 66, 24), QString()},
            {"label_roll", QRect(40, 145, 75, 20), QStringLiteral("滚动速度")},
            {"spinBox_roll", QRect(130, 145, 66, 24), QString()},
            {"label_background", QRect(40, 178, 75, 20), QStringLiteral("背景颜色")},
            {"pushButton_background", QRect(130, 175, 66, 20), QString()},
            {"label_b_transparent", QRect(40, 205, 75, 20), QStringLiteral("背景不透明")},
            {"spinBox_b_transparent", QRect(130, 205, 66, 24), QString()},
            {"checkBox_bold", QRect(320, 95, 50, 14), QStringLiteral("粗体")},
            {"checkBox_italic", QRect(320, 125, 50, 14), QStringLiteral("斜体")},
            {"checkBox_underline", QRect(320, 155, 65, 14), QStringLiteral("下划线")},
            {"checkBox_vertical", QRect(320, 185, 72, 14), QStringLiteral("垂直显示")},
            {"checkBox_outline", QRect(40, 250, 75, 14), QStringLiteral("添加描边")},
            {"label_outline_color", QRect(40, 280, 75, 20), QStringLiteral("颜色")},
            {"pushButton_outline_color", QRect(130, 280, 66, 20), QString()},
            {"label_outline_transparent", QRect(40, 310, 75, 20), QStringLiteral("不透明度")},
            {"spinBox_outline_transparent", QRect(130, 310, 66, 24), QString()},
            {"label_outline_size", QRect(40, 340, 75, 20), QStringLiteral("大小")},
            {"spinBox_outline_size", QRect(130, 340, 66, 24), QString()},
            {"checkBox_extend", QRect(250, 250, 85, 14), QStringLiteral("文本延展区")},
            {"label_extend_size", QRect(250, 280, 75, 20), QStringLiteral("大小")},
            {"spinBox_extend_size1", QRect(340, 280, 66, 24), QString()},
            {"spinBox_extend_size2", QRect(410, 280, 66, 24), QString()},
            {"checkBox_extend_scroll", QRect(310, 310, 75, 14), QStringLiteral("卷动模式")},
            {"checkBox_extend_newline", QRect(400, 310, 75, 14), QStringLiteral("自动换行")},
            {"label_extend_align", QRect(250, 340, 75, 20), QStringLiteral("对齐方式")},
            {"comboBox_extend_align", QRect(340, 340, 88, 24), QString()},
            {"textEdit", QRect(40, 380, 482, 96), QString()},
        };
        const QString mismatch = testsupport::formMismatch(&editor, parts);
        QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
        // the twelve labels beside the controls
        for (const testsupport::FormPart &p : parts)
            if (QByteArray(p.name).startsWith("label_") && QByteArray(p.name) != "label_2")
                QCOMPARE(part<QLabel>(&editor, p.name)->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);

        auto itemsOf = [](QComboBox *box) {
            QStringList items;
            for (int i = 0; i < box->count(); ++i)
                items << box->itemText(i);
            return items;
        };
        QCOMPARE(itemsOf(part<QComboBox>(&editor, "comboBox_font")),
                 (QStringList{QStringLiteral("微软雅黑"), QStringLiteral("宋体")}));
        QCOMPARE(itemsOf(part<QComboBox>(&editor, "comboBox_extend_align")),
                 (QStringList{QStringLiteral("居左"), QStringLiteral("居中"), QStringLiteral("居右")}));
        QVERIFY(qobject_cast<QListView *>(part<QComboBox>(&editor, "comboBox_font")->view()));
        QVERIFY(qobject_cast<QListView *>(part<QComboBox>(&editor, "comboBox_extend_align")->view()));

        auto *ok = part<QPushButton>(&editor, "pushButton_ok");
        QVERIFY(ok->isDefault());
        QCOMPARE(ok->shortcut(), QKeySequence(Qt::Key_Return));
        QCOMPARE(part<QPushButton>(&editor, "pushButton_color")->styleSheet(),
                 QStringLiteral("background-color: rgb(0,0,0); border: none;"));
        QCOMPARE(part<QPushButton>(&editor, "pushButton_background")->styleSheet(),
                 QStringLiteral("background-color: rgb(255,255,255); border: none;"));

        const QStringList tabOrder{
            "comboBox_font", "pushButton_color", "spinBox_transparent", "spinBox_roll", "pushButton_background",
            "spinBox_b_transparent", "checkBox_outline", "pushButton_outline_color", "spinBox_outline_transparent",
            "spinBox_outline_size", "spinBox_font_size", "checkBox_bold", "checkBox_italic", "checkBox_underline",
            "checkBox_vertical", "checkBox_extend", "spinBox_extend_size1", "spinBox_extend_size2",
            "checkBox_extend_scroll", "checkBox_extend_newline", "comboBox_extend_align", "textEdit",
            "pushButton_ok", "pushButton_cancel", "pushButton_close"};
        QCOMPARE(testsupport::tabChain(part<QWidget>(&editor, "comboBox_font"), tabOrder), tabOrder);
    }

    void spinBoxesClampToTheirRanges_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("maximum");
        QTest::newRow("font size") << "spinBox_font_size" << 100;
        QTest::newRow("opacity") << "spinBox_transparent" << 100;
        QTest::newRow("roll speed") << "spinBox_roll" << 30;
        QTest::newRow("background opacity") << "spinBox_b_transparent" << 100;
        QTest::newRow("outline opacity") << "spinBox_outline_transparent" << 100;
        QTest::newRow("outline width") << "spinBox_outline_size" << 60;
        QTest::newRow("extension width") << "spinBox_extend_size1" << 1920;
        QTest::newRow("extension height") << "spinBox_extend_size2" << 1080;
    }

    void spinBoxesClampToTheirRanges()
    {
        QFETCH(QString, name);
        QFETCH(int, maximum);
        UiAddText editor(nullptr);
        auto *spin = editor.findChild<QSpinBox *>(name);
        QVERIFY(spin);
        spin->setValue(100000);
        QCOMPARE(spin->value(), maximum);
        spin->setValue(-5);
        QCOMPARE(spin->value(), 0);
    }

    // ---- live preview

    void fillingSendsNothing()
    {
        TextItemFixture t;
        UiAddText editor(t.f.proxy.get());
        editor.SetTextInfo(unusualRecord()); // no item: nothing may go out either way
        TextOverlayInfo withItem = unusualRecord();
        withItem.itemId = t.id;
        editor.SetTextInfo(withItem);
        QCOMPARE(t.previews(), 0);
        TextOverlayInfo out;
        editor.GetTextInfo(out);
        QCOMPARE(out.itemId, t.id);
        QCOMPARE(out.accepted, false);
    }

    void noItemOrNoFacadeSendsNothing()
    {
        TextItemFixture t;
        UiAddText withoutItem(t.f.proxy.get());
        part<QSpinBox>(&withoutItem, "spinBox_font_size")->setValue(20);
        UiAddText withoutFacade(nullptr);
        TextOverlayInfo r = t.editorRecord();
        withoutFacade.SetTextInfo(r);
        part<QSpinBox>(&withoutFacade, "spinBox_font_size")->setValue(20);
        QCOMPARE(t.previews(), 0);
    }

    void eachChangePreviewsOnce_data()
    {
        QTest::addColumn<QString>("control");
        QTest::newRow("font") << "comboBox_font";
        QTest::newRow("size") << "spinBox_font_size";
        QTest::newRow("opacity") << "spinBox_transparent";
        QTest::newRow("roll") << "spinBox_roll";
        QTest::newRow("background opacity") << "spinBox_b_transparent";
        QTest::newRow("outline opacity") << "spinBox_outline_transparent";
        QTest::newRow("outline width") << "spinBox_outline_size";
        QTest::newRow("extension width") << "spinBox_extend_size1";
        QTest::newRow("extension height") << "spinBox_extend_size2";
        QTest::newRow("alignment") << "comboBox_extend_align";
        QTest::newRow("bold") << "checkBox_bold";
        QTest::newRow("italic") << "checkBox_italic";
        QTest::newRow("underline") << "checkBox_underline";
        QTest::newRow("vertical") << "checkBox_vertical";
        QTest::newRow("outline") << "checkBox_outline";
        QTest::newRow("scroll") << "checkBox_extend_scroll";
        QTest::newRow("wrap") << "checkBox_extend_newline";
        QTest::newRow("text") << "textEdit";
    }

    void eachChangePreviewsOnce()
    {
        QFETCH(QString, control);
        TextItemFixture t;
        UiAddText editor(t.f.proxy.get());
        TextOverlayInfo r = t.editorRecord();
        r.extend = true; // the extension controls take input
        editor.SetTextInfo(r);
        editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));

        TextOverlayInfo expected = r;
        QWidget *w = editor.findChild<QWidget *>(control);
        QVERIFY(w);
        if (auto *spin = qobject_cast<QSpinBox *>(w)) {
            spin->setValue(spin->value() < spin->maximum() ? spin->value() + 3 : spin->value() - 3);
        } else if (auto *box = qobject_cast<QComboBox *>(w)) {
            box->setCurrentIndex(1 - (box->currentIndex() > 0 ? 1 : 0));
        } else if (auto *check = qobject_cast<QCheckBox *>(w)) {
            QTest::mouseClick(check, Qt::LeftButton, Qt::NoModifier, QPoint(5, check->height() / 2));
        } else if (auto *edit = qobject_cast<QTextEdit *>(w)) {
            edit->moveCursor(QTextCursor::End);
            QTest::keyClicks(edit, QStringLiteral("!"));
        }
        QCOMPARE(t.previews(), 1);
        // Every field goes out, and the engine now holds the controls.
        const std::vector<mvplatform::CallRecord> calls = t.f.calls().of("SetTextProperties");
        QCOMPARE(calls.front().args.at(0), std::to_string(t.id));
        QCOMPARE(calls.front().args.at(1), std::string("4294967295"));
        editor.UpdateFromControls();
        editor.GetTextInfo(expected);
        compareLooks(t.look(), expected);
    }

    void placementKeepsItsScale()
    {
        TextItemFixture t;
        const QSize before = t.sourceSize();
        t.f.proxy->setItemRect(t.id, 100, 50, before.width() * 2, before.height() * 2);
        UiAddText editor(t.f.proxy.get());
        editor.SetTextInfo(t.editorRecord());
        part<QSpinBox>(&editor, "spinBox_font_size")->setValue(80);
        const QSize after = t.sourceSize();
        QVERIFY(after.width() > before.width());
        QCOMPARE(t.placement(), QRect(100, 50, after.width() * 2, after.height() * 2));
    }

    void checkBoxesPreviewOnClickOnly()
    {
        TextItemFixture t;
        UiAddText editor(t.f.proxy.get());
        editor.SetTextInfo(t.editorRecord());
        editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        auto *bold = part<QCheckBox>(&editor, "checkBox_bold");
        bold->setChecked(true);
        QCOMPARE(t.previews(), 0);
        bold->click();
        QCOMPARE(t.previews(), 1);
        QCOMPARE(t.look().bold, false);
    }

    void longInputIsCutAtTheCursor_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<int>("cursor");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("after");
        QTest::addColumn<int>("cursorAfter");
        QTest::addColumn<int>("previews");
        const QString x300(300, QLatin1Char('x'));
        const QString face = QString::fromUtf8("\xF0\x9F\x98\x80");
        QTest::newRow("300 pasted into an empty box") << QString() << 0 << x300 << QString(255, QLatin1Char('x'))
                                                      << 255 << 2;
        QTest::newRow("pasted in the middle") << QStringLiteral("abc") << 1 << x300
                                              << QStringLiteral("a") + QString(252, QLatin1Char('x')) + QStringLiteral("bc")
                                              << 253 << 2;
        QTest::newRow("one character fits") << QString(254, QLatin1Char('a')) << 254 << QStringLiteral("b")
                                            << QString(254, QLatin1Char('a')) + QStringLiteral("b") << 255 << 1;
        QTest::newRow("a pair that does not fit goes whole") << QString(254, QLatin1Char('a')) << 254 << face
                                                             << QString(254, QLatin1Char('a')) << 254 << 2;
    }

    void longInputIsCutAtTheCursor()
    {
        QFETCH(QString, before);
        QFETCH(int, cursor);
        QFETCH(QString, typed);
        QFETCH(QString, after);
        QFETCH(int, cursorAfter);
        QFETCH(int, previews);
        TextItemFixture t;
        UiAddText editor(t.f.proxy.get());
        TextOverlayInfo r = t.editorRecord();
        r.text = before;
        editor.SetTextInfo(r);
        auto *edit = part<QTextEdit>(&editor, "textEdit");
        QTextCursor c = edit->textCursor();
        c.setPosition(cursor);
        edit->setTextCursor(c);
        edit->textCursor().insertText(typed);
        QCOMPARE(edit->toPlainText(), after);
        QCOMPARE(edit->textCursor().position(), cursorAfter);
        QCOMPARE(t.previews(), previews);
        QCOMPARE(t.look().text, after);
    }

    void blankTextIsRefused_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("spaces only") << QStringLiteral("   ") << false;
        QTest::newRow("empty") << QString() << false;
        QTest::newRow("blank, letter, blank") << QStringLiteral(" a ") << true;
    }

    void blankTextIsRefused()
    {
        QFETCH(QString, text);
        QFETCH(bool, accepted);
        testsupport::ModalWatchdog watchdog(8000);
        UiAddText editor(nullptr);
        TextOverlayInfo r;
        editor.GetTextInfo(r);
        r.text = text;
        editor.SetTextInfo(r);
        editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        ModalDriver driver(accepted ? 300 : 5000);
        if (!accepted)
            driver.pressNext(QStringLiteral("OK"));
        part<QPushButton>(&editor, "pushButton_ok")->click();
        TextOverlayInfo out;
        editor.GetTextInfo(out);
        QCOMPARE(out.accepted, accepted);
        QCOMPARE(editor.isVisible(), !accepted);
        if (accepted) {
            QVERIFY(driver.seen().isEmpty());
            QCOMPARE(out.text, text);
        } else {
            QVERIFY(driver.waitDone());
            QCOMPARE(driver.last().className, QStringLiteral("QMessageBox"));
            QCOMPARE(driver.last().windowTitle, QStringLiteral("提示"));
            QVERIFY(driver.last().labels.contains(QStringLiteral("请输入文字!")));
        }
    }

    void notAcceptedPutsTheItemBack_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("cancel") << "pushButton_cancel";
        QTest::newRow("close button") << "pushButton_close";
        QTest::newRow("escape") << "escape";
    }

    void notAcceptedPutsTheItemBack()
    {
        QFETCH(QString, how);
        TextItemFixture t;
        // A placement whose rescale would round.
        t.f.proxy->setItemRect(t.id, 13, 17, 333, 77);
        const TextOverlayInfo lookBefore = t.look();
        const QRect placementBefore = t.placement();

        ModalDriver driver;
        driver.onNext([&](QWidget *w) {
            part<QSpinBox>(w, "spinBox_font_size")->setValue(91);
            part<QSpinBox>(w, "spinBox_roll")->setValue(7);
            part<QTextEdit>(w, "textEdit")->setPlainText(QStringLiteral("很长很长的一段文字"));
            QVERIFY(t.placement() != placementBefore);
            if (how == QLatin1String("escape"))
                QTest::keyClick(w, Qt::Key_Escape);
            else
                QVERIFY(ModalDriver::press(w, how));
        });
        QCOMPARE(UiAddText::EditItem(t.f.proxy.get(), t.id), false);
        QVERIFY(driver.waitDone());
        QVERIFY(driver.errors().isEmpty());
        compareLooks(t.look(), lookBefore);
        QCOMPARE(t.placement(), placementBefore);
    }

    void okKeepsTheEdit()
    {
        TextItemFixture t;
        ModalDriver driver;
        bool registered = false;
        driver.onNext([&](QWidget *w) {
            registered = currentDialog.data() == w;
            QCOMPARE(part<QTextEdit>(w, "textEdit")->toPlainText(), QStringLiteral("你好"));
            part<QSpinBox>(w, "spinBox_font_size")->setValue(91);
            QVERIFY(ModalDriver::press(w, QStringLiteral("pushButton_ok")));
        });
        QCOMPARE(UiAddText::EditItem(t.f.proxy.get(), t.id), true);
        QVERIFY(driver.waitDone());
        QVERIFY(registered);
        QVERIFY(currentDialog.isNull());
        QCOMPARE(t.look().size, 91);
        QCOMPARE(t.previews(), 1);
    }

    void editingNoItemOpensNothing()
    {
        TextItemFixture t;
        ModalDriver driver(300);
        QCOMPARE(UiAddText::EditItem(t.f.proxy.get(), 0), false);
        QCOMPARE(UiAddText::EditItem(t.f.proxy.get(), -3), false);
        QVERIFY(driver.seen().isEmpty());
        QVERIFY(t.f.calls().ops().empty());
    }

    void colourPickerStartsOnTheSlotsColour_data()
    {
        QTest::addColumn<QString>("swatch");
        QTest::addColumn<bool>("choose");
        QTest::newRow("text colour chosen") << "pushButton_color" << true;
        QTest::newRow("background cancelled") << "pushButton_background" << false;
        QTest::newRow("background chosen") << "pushButton_background" << true;
        QTest::newRow("outline cancelled") << "pushButton_outline_color" << false;
    }

    void colourPickerStartsOnTheSlotsColour()
    {
        QFETCH(QString, swatch);
        QFETCH(bool, choose);
        TextItemFixture t;
        UiAddText editor(t.f.proxy.get());
        TextOverlayInfo r = t.editorRecord();
        r.color = QColor(10, 20, 30);
        r.backgroundColor = QColor(40, 50, 60);
        r.outlineColor = QColor(70, 80, 90);
        editor.SetTextInfo(r);
        const QColor start = swatch == QLatin1String("pushButton_color")        ? r.color
                             : swatch == QLatin1String("pushButton_background") ? r.backgroundColor
                                                                                : r.outlineColor;
        const QColor picked(200, 100, 50);
        QColor shownFirst;
        QColor custom;
        ModalDriver driver;
        driver.onNext([&](QWidget *w) {
            auto *dialog = qobject_cast<QColorDialog *>(w);
            QVERIFY(dialog);
            shownFirst = dialog->currentColor();
            custom = QColorDialog::customColor(0);
            if (choose) {
                dialog->setCurrentColor(picked);
                dialog->accept();
            } else {
                dialog->reject();
            }
        });
        part<QPushButton>(&editor, swatch.toLatin1().constData())->click();
        QVERIFY(driver.waitDone());
        QCOMPARE(shownFirst, start);
        QCOMPARE(custom, QColor(0, 0, 255));
        QCOMPARE(t.previews(), 1);
        const QColor now = choose ? picked : start;
        QCOMPARE(part<QPushButton>(&editor, swatch.toLatin1().constData())->styleSheet(),
                 QStringLiteral("background-color: rgb(%1,%2,%3); border: none;")
                     .arg(now.red())
                     .arg(now.green())
                     .arg(now.blue()));
        const TextOverlayInfo look = t.look();
        const QColor inEngine = swatch == QLatin1String("pushButton_color")        ? look.color
                                : swatch == QLatin1String("pushButton_background") ? look.backgroundColor
                                                                                   : look.outlineColor;
        QCOMPARE(inEngine, now);
    }

    void extensionControlsFollowTheirBox()
    {
        TextItemFixture t;
        UiAddText editor(t.f.proxy.get());
        TextOverlayInfo r = t.editorRecord();
        r.extend = true;
        r.extendWidth = 300;
        r.extendHeight = 200;
        r.extendNewline = true;
        editor.SetTextInfo(r);
        editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        const char *controls[] = {"spinBox_extend_size1", "spinBox_extend_size2", "checkBox_extend_scroll",
                                  "checkBox_extend_newline", "comboBox_extend_align"};
        for (const char *name : controls)
            QVERIFY2(part<QWidget>(&editor, name)->isEnabled(), name);

        part<QCheckBox>(&editor, "checkBox_extend")->click();
        for (const char *name : controls)
            QVERIFY2(!part<QWidget>(&editor, name)->isEnabled(), name);
        QCOMPARE(t.previews(), 1);
        const TextOverlayInfo look = t.look();
        QCOMPARE(look.extend, false);
        QCOMPARE(look.extendWidth, 300);
        QCOMPARE(look.extendHeight, 200);
        QCOMPARE(look.extendNewline, true);

        part<QCheckBox>(&editor, "checkBox_extend")->click();
        for (const char *name : controls)
            QVERIFY2(part<QWidget>(&editor, name)->isEnabled(), name);
        QCOMPARE(t.look().extend, true);
    }

    void alignmentOutOfRangeOpensLeft()
    {
        UiAddText editor(nullptr);
        TextOverlayInfo r;
        editor.GetTextInfo(r);
        r.extendAlign = 5;
        editor.SetTextInfo(r);
        QCOMPARE(part<QComboBox>(&editor, "comboBox_extend_align")->currentText(), QStringLiteral("居左"));
        TextOverlayInfo out;
        editor.GetTextInfo(out);
        QCOMPARE(out.extendAlign, 0);
    }

    void itemFontOutsideTheListIsKept()
    {
        TextItemFixture t;
        UiAddText editor(t.f.proxy.get());
        TextOverlayInfo r = t.editorRecord();
        r.font = QStringLiteral("楷体");
        editor.SetTextInfo(r);
        QCOMPARE(part<QComboBox>(&editor, "comboBox_font")->currentText(), QStringLiteral("楷体"));
        part<QSpinBox>(&editor, "spinBox_roll")->setValue(3);
        part<QSpinBox>(&editor, "spinBox_roll")->setValue(4);
        QCOMPARE(t.look().font, QStringLiteral("楷体"));
    }
};

QTEST_MAIN(TestTextEditor)
#include "tst_texteditor.moc"

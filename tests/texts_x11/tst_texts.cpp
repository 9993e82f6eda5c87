// Texts as a Chinese user sees them on a real X server, with Qt's Chinese
// catalogue loaded by the program's own start step and the fonts the program
// ships: Qt's file dialog that the picture page opens, the room tool's
// message box and keyword hint, the live clock and the settings dialog's
// version. Each text must be the Chinese one and fit its widget whole, by the
// widget's own font against its geometry; the window's grab from the screen
// must show ink where the text is. With MORVASHOW_GRABS naming a folder, the
// grabs are saved there as <name>.png to be looked at.

#include "LiveClock.h"
#include "ModalDriver.h"
#include "MvDraggedButton.h"
#include "ProgramStart.h"
#include "RoomManageTool.h"
#include "TempEnvironment.h"
#include "UiInsertPicWidget.h"
#include "UiSetLiving.h"
#include "UiSetPicture.h"
#include "UiSysSetting.h"
#include "UiTitleBar.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFontInfo>
#include <QFontMetrics>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QWindow>

using testsupport::ModalDriver;
using testsupport::TempEnvironment;

namespace {

// The text a label or button shows: a mnemonic '&' goes, "&&" shows as one.
QString shownText(const QString &text)
{
    QString out;
    for (int i = 0; i < text.size(); ++i) {
        if (text.at(i) != QLatin1Char('&')) {
            out += text.at(i);
        } else if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('&')) {
            out += QLatin1Char('&');
            ++i;
        }
    }
    return out;
}

bool hasChinese(const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF)
            return true;
    }
    return false;
}

// Empty when the label's or button's text shows whole on one line in the
// widget's own font; otherwise what it needs against what it has.
QString clipOf(QWidget *w)
{
    w->ensurePolished();
    const QFontMetrics metrics(w->font());
    QString text;
    int need = 0;
    int room = 0;
    if (auto *label = qobject_cast<QLabel *>(w)) {
        text = shownText(label->text());
        need = metrics.horizontalAdvance(text);
        room = label->contentsRect().width() - 2 * label->margin();
    } else if (auto *button = qobject_cast<QAbstractButton *>(w)) {
        text = shownText(button->text());
        // The style's hint is the text's advance with the button's margins.
        need = qMax(metrics.horizontalAdvance(text), button->sizeHint().width());
        room = button->contentsRect().width();
    } else {
        return QStringLiteral("%1 is neither label nor button").arg(w->objectName());
    }
    if (need <= room)
        return QString();
    return QStringLiteral("\"%1\" needs %2 px in %3 px (font %4, matched by %5)")
        .arg(text)
        .arg(need)
        .arg(room)
        .arg(w->font().toString(), QFontInfo(w->font()).family());
}

// The picture's most common colour: the ground that things are drawn on.
QRgb groundOf(const QImage &rgb)
{
    QHash<QRgb, int> counts;
    for (int y = 0; y < rgb.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x)
            ++counts[line[x]];
    }
    QRgb ground = 0;
    int most = 0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        if (it.value() > most) {
            most = it.value();
            ground = it.key();
        }
    }
    return ground;
}

// Pixels of the picture's columns [from, to) that differ from its ground.
int inkOf(const QImage &picture, int from = 0, int to = -1)
{
    if (picture.isNull())
        return 0;
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
    const QRgb ground = groundOf(rgb);
    if (to < 0)
        to = rgb.width();
    int ink = 0;
    for (int y = 0; y < rgb.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(rgb.constScanLine(y));
        for (int x = qMax(from, 0); x < qMin(to, rgb.width()); ++x)
            ink += line[x] != ground ? 1 : 0;
    }
    return ink;
}

// The window as the X server shows it, read back from the screen once the
// window has been exposed and has painted there: null when it was never
// exposed, blank when it never painted.
QImage screenPicture(QWidget *window)
{
    if (!QTest::qWaitForWindowExposed(window))
        return QImage();
    QScreen *screen = window->windowHandle()->screen();
    // Only what the screen holds: a panel taller than the screen ends there.
    const QRect shown = window->geometry().intersected(screen->geometry());
    const QPoint from = shown.topLeft() - window->geometry().topLeft();
    QImage shot;
    const bool painted = QTest::qWaitFor(
        [&] {
            // Paints and flushes now, ahead of the grab on the same connection.
            window->repaint();
            shot = screen->grabWindow(window->winId(), from.x(), from.y(), shown.width(), shown.height()).toImage();
            return inkOf(shot) > 0;
        },
        5000);
    if (!painted)
        qWarning("%s shows nothing on the screen", window->metaObject()->className());
    return shot;
}

// The part of a window's grab that one of its widgets covers.
QImage partOf(const QImage &windowShot, QWidget *part)
{
    const QRect where(part->mapTo(part->window(), part->contentsRect().topLeft()), part->contentsRect().size());
    return windowShot.copy(where);
}

// What a window showed: texts by name, the texts that do not fit, and its grab.
struct Shown
{
    QString className;
    QMap<QString, QString> texts;
    QStringList clips;
    QImage shot;
    QMap<QString, int> ink; // name -> ink pixels in the grab where the widget is

    // Names whose text has no Chinese character, with what they show.
    QStringList notChinese() const
    {
        QStringList out;
        for (auto it = texts.cbegin(); it != texts.cend(); ++it) {
            if (!hasChinese(it.value()))
                out << QStringLiteral("%1 shows \"%2\"").arg(it.key(), it.value());
        }
        return out;
    }

    void look(const QString &name, QWidget *w)
    {
        if (!w) {
            clips << name + QStringLiteral(": missing");
            return;
        }
        if (auto *label = qobject_cast<QLabel *>(w))
            texts.insert(name, label->text());
        else if (auto *button = qobject_cast<QAbstractButton *>(w))
            texts.insert(name, button->text());
        const QString clip = clipOf(w);
        if (!clip.isEmpty())
            clips << name + QStringLiteral(": ") + clip;
        if (shot.isNull())
            return;
        const QImage part = partOf(shot, w);
        ink.insert(name, inkOf(part));
        // A label's text cut at its edge leaves ink in the last column.
        if (qobject_cast<QLabel *>(w) && inkOf(part, part.width() - 1) > 0)
            clips << name + QStringLiteral(": its grab has ink in the label's last column");
    }
};

// Each expected text as the window showed it, and nothing else; every
// difference is named at once.
void compareTexts(const QMap<QString, QString> &shown, const QMap<QString, QString> &expected)
{
    QStringList wrong;
    for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
        if (!shown.contains(it.key()))
            wrong << QStringLiteral("%1 is missing").arg(it.key());
        else if (shown.value(it.key()) != it.value())
            wrong << QStringLiteral("%1 shows \"%2\", not \"%3\"").arg(it.key(), shown.value(it.key()), it.value());
    }
    for (auto it = shown.cbegin(); it != shown.cend(); ++it) {
        if (!expected.contains(it.key()))
            wrong << QStringLiteral("%1 (\"%2\") is not expected").arg(it.key(), it.value());
    }
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(QLatin1Char('\n'))));
}

} // namespace

class TextsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void fileDialogOfThePicturePage();
    void roomToolMessageBox();
    void liveClock();
    void settingsVersion();
    void roomToolHint();

private:
    // Saves the grab as <name>.png in the grabs folder, when one is named.
    void keep(const QImage &shot, const QString &name);

    QString m_grabs;
};

void TextsTest::initTestCase()
{
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
    const QString folder = qEnvironmentVariable("MORVASHOW_GRABS");
    if (!folder.isEmpty()) {
        // Taken before any test moves the working directory.
        m_grabs = QDir(folder).absolutePath();
        QVERIFY(QDir().mkpath(m_grabs));
    }
    QVERIFY2(ProgramStart::loadQtTranslations(), "Qt's Chinese catalogue did not load");
}

void TextsTest::keep(const QImage &shot, const QString &name)
{
    if (m_grabs.isEmpty())
        return;
    const QString path = m_grabs + QLatin1Char('/') + name + QStringLiteral(".png");
    QVERIFY2(shot.save(path), qPrintable(path));
}

// Qt's own dialog, as the picture page's add button opens it, in Chinese.
void TextsTest::fileDialogOfThePicturePage()
{
    TempEnvironment env;
    UiSetPicture page;
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));

    Shown shown;
    ModalDriver driver(10000);
    driver.onNext([&](QWidget *w) {
        shown.className = QString::fromLatin1(w->metaObject()->className());
        shown.shot = screenPicture(w);
        shown.look(QStringLiteral("lookIn"), w->findChild<QLabel *>(QStringLiteral("lookInLabel")));
        shown.look(QStringLiteral("fileName"), w->findChild<QLabel *>(QStringLiteral("fileNameLabel")));
        shown.look(QStringLiteral("fileType"), w->findChild<QLabel *>(QStringLiteral("fileTypeLabel")));
        if (auto *box = w->findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"))) {
            shown.look(QStringLiteral("open"), box->button(QDialogButtonBox::Open));
            shown.look(QStringLiteral("cancel"), box->button(QDialogButtonBox::Cancel));
        }
        static_cast<QDialog *>(w)->reject();
    });
    auto *add = page.getInsertPicWidget()->findChild<MvDraggedButton *>(QStringLiteral("pushButton_adddragpic"));
    QVERIFY(add);
    QTest::mouseClick(add, Qt::LeftButton);
    QVERIFY(driver.waitDone(15000));
    QVERIFY2(driver.errors().isEmpty(), qPrintable(driver.errors().join(QLatin1Char('\n'))));
    keep(shown.shot, QStringLiteral("filedialog"));

    // Qt's widget dialog, not a desktop's own one that Qt would only drive.
    QCOMPARE(shown.className, QStringLiteral("QFileDialog"));
    const QMap<QString, QString> expected{
        {QStringLiteral("lookIn"), QStringLiteral("查找范围：")},
        {QStringLiteral("fileName"), QStringLiteral("文件名称(&N)：")},
        {QStringLiteral("fileType"), QStringLiteral("文件类型：")},
        {QStringLiteral("open"), QStringLiteral("打开(&O)")},
        {QStringLiteral("cancel"), QStringLiteral("取消")},
    };
    QVERIFY2(shown.notChinese().isEmpty(), qPrintable(shown.notChinese().join(QLatin1Char('\n'))));
    compareTexts(shown.texts, expected);
    if (QTest::currentTestFailed())
        return;
    QVERIFY2(shown.clips.isEmpty(), qPrintable(shown.clips.join(QLatin1Char('\n'))));
    QVERIFY(!shown.shot.isNull());
    for (auto it = shown.ink.cbegin(); it != shown.ink.cend(); ++it)
        QVERIFY2(it.value() > 20, qPrintable(it.key()));
}

// The room tool's own box after its keywords are confirmed: Qt's OK button
// in Chinese.
void TextsTest::roomToolMessageBox()
{
    TempEnvironment env;
    RoomManageTool tool;
    tool.ShowTool();
    QVERIFY(QTest::qWaitForWindowExposed(&tool));

    Shown shown;
    int buttonCount = 0;
    ModalDriver driver(10000);
    driver.onNext([&](QWidget *w) {
        shown.className = QString::fromLatin1(w->metaObject()->className());
        shown.shot = screenPicture(w);
        shown.look(QStringLiteral("text"), w->findChild<QLabel *>(QStringLiteral("qt_msgbox_label")));
        auto *box = qobject_cast<QMessageBox *>(w);
        const QList<QAbstractButton *> buttons = box ? box->buttons() : QList<QAbstractButton *>();
        buttonCount = buttons.size();
        if (QAbstractButton *ok = box ? box->button(QMessageBox::Ok) : nullptr) {
            shown.look(QStringLiteral("ok"), ok);
            ok->click();
        } else {
            static_cast<QDialog *>(w)->reject();
        }
    });
    auto *confirm = tool.findChild<QPushButton *>(QStringLiteral("button_confirm_1"));
    QVERIFY(confirm);
    QTest::mouseClick(confirm, Qt::LeftButton);
    QVERIFY(driver.waitDone(15000));
    QVERIFY2(driver.errors().isEmpty(), qPrintable(driver.errors().join(QLatin1Char('\n'))));
    keep(shown.shot, QStringLiteral("roomtool-messagebox"));

    QCOMPARE(shown.className, QStringLiteral("QMessageBox"));
    QCOMPARE(buttonCount, 1);
    const QMap<QString, QString> expected{
        {QStringLiteral("text"), QStringLiteral("禁言设置成功！")},
        {QStringLiteral("ok"), QStringLiteral("确定")},
    };
    QVERIFY2(shown.notChinese().isEmpty(), qPrintable(shown.notChinese().join(QLatin1Char('\n'))));
    compareTexts(shown.texts, expected);
    if (QTest::currentTestFailed())
        return;
    QVERIFY2(shown.clips.isEmpty(), qPrintable(shown.clips.join(QLatin1Char('\n'))));
    QVERIFY(shown.ink.value(QStringLiteral("ok")) > 20);
}

// Five seconds into a broadcast, in the clock's own format.
void TextsTest::liveClock()
{
    TempEnvironment env;
    UiSetLiving panel;
    auto *clock = panel.findChild<QLabel *>(QStringLiteral("recordtimelabel"));
    QVERIFY(clock);
    clock->setText(LiveClock::format(5000));
    QCOMPARE(clock->text(), QStringLiteral("00:00:05"));
    panel.show();

    Shown shown;
    shown.shot = screenPicture(&panel);
    QVERIFY(!shown.shot.isNull());
    shown.look(QStringLiteral("clock"), clock);
    keep(shown.shot, QStringLiteral("liveclock"));
    QVERIFY2(shown.clips.isEmpty(), qPrintable(shown.clips.join(QLatin1Char('\n'))));
    QVERIFY(shown.ink.value(QStringLiteral("clock")) > 20);
}

// The settings dialog as the title bar's button opens it: the version to its
// closing bracket.
void TextsTest::settingsVersion()
{
    TempEnvironment env;
    UiTitleBar bar;
    bar.show();
    QVERIFY(QTest::qWaitForWindowExposed(&bar));

    Shown shown;
    ModalDriver driver(10000);
    driver.onNext([&](QWidget *w) {
        shown.className = QString::fromLatin1(w->metaObject()->className());
        shown.shot = screenPicture(w);
        shown.look(QStringLiteral("version"), w->findChild<QLabel *>(QStringLiteral("label_version")));
        static_cast<QDialog *>(w)->reject();
    });
    auto *settings = bar.findChild<QPushButton *>(QStringLiteral("SettingButton"));
    QVERIFY(settings);
    QTest::mouseClick(settings, Qt::LeftButton);
    QVERIFY(driver.waitDone(15000));
    QVERIFY2(driver.errors().isEmpty(), qPrintable(driver.errors().join(QLatin1Char('\n'))));
    keep(shown.shot, QStringLiteral("settings"));

    QCOMPARE(shown.className, QStringLiteral("UiSysSetting"));
    QVERIFY2(shown.notChinese().isEmpty(), qPrintable(shown.notChinese().join(QLatin1Char('\n'))));
    QCOMPARE(shown.texts.value(QStringLiteral("version")), QStringLiteral("（版本号V2.3.0.0）"));
    QVERIFY2(shown.clips.isEmpty(), qPrintable(shown.clips.join(QLatin1Char('\n'))));
    QVERIFY(shown.ink.value(QStringLiteral("version")) > 20);
}

// The keyword page's hint, to its last character.
void TextsTest::roomToolHint()
{
    TempEnvironment env;
    RoomManageTool tool;
    tool.ShowTool();

    Shown shown;
    shown.shot = screenPicture(&tool);
    QVERIFY(!shown.shot.isNull());
    shown.look(QStringLiteral("hint"), tool.findChild<QLabel *>(QStringLiteral("label_2")));
    keep(shown.shot, QStringLiteral("roomtool-hint"));
    QVERIFY2(shown.notChinese().isEmpty(), qPrintable(shown.notChinese().join(QLatin1Char('\n'))));
    QCOMPARE(shown.texts.value(QStringLiteral("hint")),
             QStringLiteral("多个关键字用空格分隔，最多支持3个关键字，输入完成后点击确定按钮开始生效"));
    QVERIFY2(shown.clips.isEmpty(), qPrintable(shown.clips.join(QLatin1Char('\n'))));
    QVERIFY(shown.ink.value(QStringLiteral("hint")) > 20);
}

QTEST_MAIN(TextsTest)

#include "tst_texts.moc"

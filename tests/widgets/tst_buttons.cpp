// Owner-drawn buttons: signals, states and what they paint.

#include "MvCheckableBtn.h"
#include "MvClickChoosenButton.h"
#include "MvDraggedButton.h"
#include "MvEnterBorderButton.h"
#include "MvEnterBorderCancelButton.h"
#include "MvEnterButton.h"
#include "MvPicTextBtn.h"
#include "MvSideButton.h"

#include "TempEnvironment.h"
#include "WidgetPictures.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QImage>
#include <QMimeData>
#include <QPixmap>
#include <QSignalSpy>
#include <QUrl>
#include <QtTest>

#include <memory>

using testsupport::renderOf;

namespace {

bool isBlank(const QImage &image)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) != 0)
                return false;
    return true;
}

// Drag handlers called directly, past the platform drag manager.
class ProbeDropButton : public MvDraggedButton
{
public:
    using MvDraggedButton::dragEnterEvent;
    using MvDraggedButton::dropEvent;
};

bool near(QRgb pixel, const QColor &expected, int tolerance = 8)
{
    return qAbs(qRed(pixel) - expected.red()) <= tolerance
        && qAbs(qGreen(pixel) - expected.green()) <= tolerance
        && qAbs(qBlue(pixel) - expected.blue()) <= tolerance && qAlpha(pixel) > 240;
}

void sendEnter(QWidget &widget)
{
    QEvent enter(QEvent::Enter);
    QCoreApplication::sendEvent(&widget, &enter);
}

void sendLeave(QWidget &widget)
{
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&widget, &leave);
}

} // namespace

class TestButtons : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<testsupport::TempEnvironment> m_env;

    QString solidPicture(const QString &name, const QSize &size, const QColor &color)
    {
        return testsupport::writeSolidPicture(m_env->root() + QLatin1Char('/') + name, size, color);
    }

private slots:
    void init() { m_env = std::make_unique<testsupport::TempEnvironment>(); }
    void cleanup() { m_env.reset(); }

    void skinPicturesAreServed_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QSize>("size");
        QTest::newRow("choose") << "choose.png" << QSize(16, 16);
        QTest::newRow("addelement") << "addelement.png" << QSize(24, 24);
        QTest::newRow("upclose") << "upclose.png" << QSize(16, 16);
        QTest::newRow("upclose_b") << "upclose_b.png" << QSize(16, 16);
        QTest::newRow("picloadback") << "picloadback.png" << QSize(104, 60);
        QTest::newRow("triangle") << "triangle.png" << QSize(6, 12);
        QTest::newRow("comboarrow") << "comboarrow.png" << QSize(10, 6);
    }
    void skinPicturesAreServed()
    {
        QFETCH(QString, name);
        QFETCH(QSize, size);
        const QPixmap picture(QStringLiteral(":/image/skin/") + name);
        QVERIFY2(!picture.isNull(), qPrintable(name));
        QCOMPARE(picture.size(), size);
    }

    // Without a (normal) picture these buttons draw nothing, not even text.
    void emptyPicturePaintsNothing_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("MvCheckableBtn") << 0;
        QTest::newRow("MvEnterButton") << 1;
        QTest::newRow("MvPicTextBtn") << 2;
        QTest::newRow("MvSideButton") << 3;
    }
    void emptyPicturePaintsNothing()
    {
        QFETCH(int, kind);
        std::unique_ptr<QPushButton> button;
        switch (kind) {
        case 0: {
            auto *b = new MvCheckableBtn;
            b->SetTextColor(Qt::black);
            b->SetCheckedLook(true);
            button.reset(b);
            break;
        }
        case 1: {
            auto *b = new MvEnterButton(QString(), 60, 40);
            b->SetHighlighted(true);
            button.reset(b);
            break;
        }
        case 2: {
            auto *b = new MvPicTextBtn;
            b->SetPictures(QString(), solidPicture(QStringLiteral("a.png"), QSize(8, 8), Qt::red));
            b->SetBackgroundColors(Qt::red, Qt::red, Qt::red, Qt::black);
            b->SetTextColors(Qt::black, Qt::black, Qt::black);
            button.reset(b);
            break;
        }
        default: {
            auto *b = new MvSideButton;
            b->SetPictures(QString(), solidPicture(QStringLiteral("a.png"), QSize(8, 8), Qt::red));
            b->SetCheckedLook(true);
            button.reset(b);
            break;
        }
        }
        button->setText(QStringLiteral("文字 text"));
        button->resize(60, 40);
        QVERIFY(isBlank(renderOf(*button)));
    }

    void checkableBtnPaintsPictureOfLook()
    {
        MvCheckableBtn button;
        button.resize(60, 20);
        button.SetPictures(solidPicture(QStringLiteral("n.png"), QSize(10, 10), Qt::blue),
                           solidPicture(QStringLiteral("c.png"), QSize(10, 10), Qt::green));
        button.SetPictureOffset(3);
        // Picture at x = offset, vertically centred: rows 5..14.
        QImage image = renderOf(button);
        QVERIFY(near(image.pixel(3, 5), Qt::blue));
        QVERIFY(near(image.pixel(12, 14), Qt::blue));
        QCOMPARE(qAlpha(image.pixel(2, 10)), 0);

        button.SetCheckedLook(true);
        QVERIFY(button.CheckedLook());
        image = renderOf(button);
        QVERIFY(near(image.pixel(3, 5), Qt::green));
    }

    void checkableBtnHoverCursor()
    {
        MvCheckableBtn button;
        sendEnter(button);
        QCOMPARE(button.cursor().shape(), Qt::PointingHandCursor);
        sendLeave(button);
        QCOMPARE(button.cursor().shape(), Qt::ArrowCursor);
    }

    void clickChoosenTogglesAndSignals()
    {
        MvClickChoosenButton button(nullptr, QString(), 40, 30);
        button.resize(40, 30);
        button.SetCell(2, 5);
        QSignalSpy spy(&button, &MvClickChoosenButton::cellclick);

        QTest::mouseClick(&button, Qt::LeftButton);
        QTest::mouseClick(&button, Qt::LeftButton);
        QCOMPARE(spy.count(), 2);
        QCOMPARE(spy.at(0), (QList<QVariant>{2, 5, true}));
        QCOMPARE(spy.at(1), (QList<QVariant>{2, 5, false}));
        QVERIFY(!button.IsChoosen());

        button.SetChoosen(true);
        QVERIFY(button.IsChoosen());
        QCOMPARE(spy.count(), 2);

        sendEnter(button);
        QVERIFY(button.IsHover());
        sendLeave(button);
        QVERIFY(!button.IsHover());
    }

    void clickChoosenDrawsMarkWhenChosen()
    {
        MvClickChoosenButton button(
            nullptr, solidPicture(QStringLiteral("cell.png"), QSize(20, 20), Qt::blue), 48, 40);
        button.resize(48, 40);
        QImage image = renderOf(button);
        QVERIFY(near(image.pixel(47 - 8, 3), Qt::blue)); // picture scaled over the whole cell

        button.SetChoosen(true);
        image = renderOf(button);
        QVERIFY(near(image.pixel(48 - 8, 3), QColor(0xff, 0x55, 0x00)));
        QVERIFY(near(image.pixel(10, 30), Qt::blue));
    }

    void enterBorderCaption_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("caption");
        QTest::newRow("dash") << "star-01.png" << "star";
        QTest::newRow("folder") << "/pendant/moon.png" << "moon";
        QTest::newRow("two suffixes") << "/p/cloud.big.png" << "cloud";
        QTest::newRow("two dashes") << "a-b-c.png" << "a";
        QTest::newRow("leading dash") << "-x.png" << "";
        QTest::newRow("chinese") << QStringLiteral("/p/猫耳-2.png") << QStringLiteral("猫耳");
    }
    void enterBorderCaption()
    {
        QFETCH(QString, path);
        QFETCH(QString, caption);
        MvEnterBorderButton button(nullptr, path, 80, 80);
        QCOMPARE(button.Caption(), caption);
    }

    void enterBorderClicksCarryCheckedState()
    {
        MvEnterBorderButton button(nullptr, QString(), 80, 80);
        button.resize(80, 80);
        QVERIFY(button.isCheckable());
        button.SetCell(1, 3);
        QSignalSpy spy(&button, &MvEnterBorderButton::cellclick);
        QTest::mouseClick(&button, Qt::LeftButton);
        QTest::mouseClick(&button, Qt::LeftButton);
        QCOMPARE(spy.count(), 2);
        QCOMPARE(spy.at(0), (QList<QVariant>{true, 1, 3}));
        QCOMPARE(spy.at(1), (QList<QVariant>{false, 1, 3}));
    }

    void enterBorderPaintsChosenMarkWhenChecked()
    {
        MvEnterBorderButton button(
            nullptr, solidPicture(QStringLiteral("pic.png"), QSize(200, 200), Qt::blue), 80, 80);
        button.resize(80, 80);
        QImage image = renderOf(button);
        // Large picture: fitted into the 80 x 60 area less 2, centred, white around.
        QVERIFY(near(image.pixel(40, 30), Qt::blue));
        QVERIFY(near(image.pixel(5, 30), Qt::white));
        QVERIFY(near(image.pixel(72, 3), Qt::white));
        button.setChecked(true);
        image = renderOf(button);
        QVERIFY(near(image.pixel(72, 3), QColor(0xff, 0x55, 0x00)));
    }

    void cancelButtonEmptySlotOnlyAdds()
    {
        MvEnterBorderCancelButton slot;
        slot.resize(76, 76);
        slot.SetCell(0, 2);
        QSignalSpy add(&slot, &MvEnterBorderCancelButton::addelementclick);
        QSignalSpy cell(&slot, &MvEnterBorderCancelButton::cellclick);

        sendEnter(slot);
        QVERIFY(slot.CancelButton()->isHidden());
        slot.ShowCancel();
        QVERIFY(slot.CancelButton()->isHidden());

        QTest::mouseClick(&slot, Qt::LeftButton, {}, QPoint(20, 40));
        QCOMPARE(add.count(), 1);
        QCOMPARE(cell.count(), 0);
    }

    void cancelButtonWithPicture()
    {
        MvEnterBorderCancelButton slot;
        slot.resize(76, 76);
        slot.SetCell(1, 2);
        slot.SetPicture(QStringLiteral("x.png"), true);
        QCOMPARE(slot.CancelButton()->geometry(), QRect(60, 0, 16, 16));
        QSignalSpy add(&slot, &MvEnterBorderCancelButton::addelementclick);
        QSignalSpy cell(&slot, &MvEnterBorderCancelButton::cellclick);
        QSignalSpy cancel(&slot, &MvEnterBorderCancelButton::cancelbtnclick);

        sendEnter(slot);
        QVERIFY(slot.IsHover());
        QVERIFY(!slot.CancelButton()->isHidden());
        sendLeave(slot);
        QVERIFY(!slot.IsHover());
        QVERIFY(slot.CancelButton()->isHidden());

        QTest::mouseClick(&slot, Qt::LeftButton, {}, QPoint(20, 40));
        QCOMPARE(cell.count(), 1);
        QCOMPARE(cell.at(0), (QList<QVariant>{1, 2}));

        slot.ShowCancel();
        QVERIFY(!slot.CancelButton()->isHidden());
        QTest::mouseClick(slot.CancelButton(), Qt::LeftButton);
        QCOMPARE(cancel.count(), 1);
        QCOMPARE(cancel.at(0), (QList<QVariant>{1, 2}));
        QCOMPARE(cell.count(), 1);
        QCOMPARE(add.count(), 0);

        slot.SetPicture(QString(), false);
        QVERIFY(slot.CancelButton()->isHidden());
        QTest::mouseClick(&slot, Qt::LeftButton, {}, QPoint(20, 40));
        QCOMPARE(add.count(), 1);
    }

    void cancelButtonPaintsSlot()
    {
        MvEnterBorderCancelButton slot;
        slot.resize(76, 76);
        // Add look: the grey plus of addelement.png, centred in (0, 2, 74, 74).
        QImage image = renderOf(slot);
        QVERIFY(near(image.pixel(37, 39), QColor(0x7f, 0x8b, 0x99)));
        // A small picture sits centred on the slot background.
        slot.SetPicture(solidPicture(QStringLiteral("p.png"), QSize(20, 10), Qt::blue), true);
        image = renderOf(slot);
        QVERIFY(near(image.pixel(37, 39), Qt::blue));
        QVERIFY(near(image.pixel(5, 10), QColor(0xf5, 0xf6, 0xf7)));
    }

    void enterButtonLooks()
    {
        MvEnterButton button(solidPicture(QStringLiteral("e.png"), QSize(10, 10), Qt::blue), 60, 40);
        button.resize(60, 40);
        // Resting: picture in (6, 6, 48, 28) only.
        QImage image = renderOf(button);
        QCOMPARE(qAlpha(image.pixel(5, 20)), 0);
        QVERIFY(near(image.pixel(6, 20), Qt::blue));

        sendEnter(button);
        QVERIFY(button.IsHover());
        image = renderOf(button);
        QVERIFY(near(image.pixel(4, 20), Qt::blue));
        QCOMPARE(qAlpha(image.pixel(1, 20)), 0);

        button.SetHighlighted(true);
        QVERIFY(button.IsHighlighted());
        image = renderOf(button);
        QVERIFY(near(image.pixel(3, 20), QColor(0xff, 0x55, 0x00))); // 4-pixel frame on the inset edge

        sendLeave(button);
        QVERIFY(!button.IsHover());
    }

    void picTextBtnPressAndReleaseInside()
    {
        MvPicTextBtn button;
        button.resize(80, 30);
        QSignalSpy pressed(&button, &MvPicTextBtn::buttonpressed);
        QSignalSpy clicked(&button, &QPushButton::clicked);

        sendEnter(button);
        QCOMPARE(button.CurrentState(), int(MvPicTextBtn::StateHover));
        QCOMPARE(button.cursor().shape(), Qt::PointingHandCursor);
        QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(10, 10));
        QCOMPARE(button.CurrentState(), int(MvPicTextBtn::StatePressed));
        QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(12, 12));
        QCOMPARE(pressed.count(), 1);
        QCOMPARE(button.CurrentState(), int(MvPicTextBtn::StateHover));
        QCOMPARE(clicked.count(), 0);

        // A right press does nothing; its release has no press to end.
        QTest::mouseClick(&button, Qt::RightButton, {}, QPoint(10, 10));
        QCOMPARE(pressed.count(), 1);

        sendLeave(button);
        QCOMPARE(button.CurrentState(), int(MvPicTextBtn::StateNormal));
        QCOMPARE(button.cursor().shape(), Qt::ArrowCursor);
    }

    void picTextBtnReleaseOutside()
    {
        MvPicTextBtn button;
        button.resize(80, 30);
        QSignalSpy pressed(&button, &MvPicTextBtn::buttonpressed);
        sendEnter(button);
        QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(10, 10));
        QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(200, 10));
        QCOMPARE(pressed.count(), 0);
        QCOMPARE(button.CurrentState(), int(MvPicTextBtn::StatePressed));
        QVERIFY(!button.IsPressed());
        sendLeave(button);
        QCOMPARE(button.CurrentState(), int(MvPicTextBtn::StateNormal));

        // The abandoned press must not fire on a later stray release.
        sendEnter(button);
        QTest::mouseClick(&button, Qt::RightButton, {}, QPoint(10, 10));
        QCOMPARE(pressed.count(), 0);
    }

    void picTextBtnPaintsStateColours_data()
    {
        QTest::addColumn<int>("state");
        QTest::addColumn<QColor>("background");
        QTest::addColumn<QColor>("picture");
        QTest::newRow("normal") << 0 << QColor(Qt::white) << QColor(Qt::blue);
        QTest::newRow("hover") << 1 << QColor(Qt::yellow) << QColor(Qt::green);
        QTest::newRow("pressed") << 2 << QColor(Qt::cyan) << QColor(Qt::green);
    }
    void picTextBtnPaintsStateColours()
    {
        QFETCH(int, state);
        QFETCH(QColor, background);
        QFETCH(QColor, picture);
        MvPicTextBtn button;
        button.resize(80, 30);
        button.SetPictures(solidPicture(QStringLiteral("n.png"), QSize(10, 10), Qt::blue),
                           solidPicture(QStringLiteral("a.png"), QSize(10, 10), Qt::green));
        button.SetBackgroundColors(Qt::white, Qt::yellow, Qt::cyan, Qt::black);
        button.SetTextColors(Qt::black, Qt::black, Qt::black);
        if (state >= 1)
            sendEnter(button);
        if (state == 2)
            QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(40, 15));
        QCOMPARE(button.CurrentState(), state);
        const QImage image = renderOf(button);
        QVERIFY(near(image.pixel(75, 15), background));
        QVERIFY(near(image.pixel(3, 15), picture)); // offset 2, centred: rows 10..19
    }

    void sideButtonLooks()
    {
        MvSideButton button;
        button.resize(88, 60);
        button.SetPictures(solidPicture(QStringLiteral("n.png"), QSize(20, 20), Qt::blue),
                           solidPicture(QStringLiteral("a.png"), QSize(20, 20), Qt::green));
        QImage image = renderOf(button);
        QVERIFY(near(image.pixel(44, 10), Qt::blue)); // centred at the top
        QCOMPARE(qAlpha(image.pixel(87, 34)), 0);

        sendEnter(button);
        QVERIFY(button.IsHover());
        image = renderOf(button);
        QVERIFY(near(image.pixel(44, 10), Qt::green));
        QCOMPARE(qAlpha(image.pixel(87, 34)), 0); // hover has no marker
        sendLeave(button);
        QVERIFY(!button.IsHover());

        button.SetCheckedLook(true);
        image = renderOf(button);
        QVERIFY(near(image.pixel(44, 10), Qt::green));
        // Triangle marker at the right edge, centred on y = 20 + 8 + 6.
        QVERIFY(near(image.pixel(87, 34), QColor(0xeb, 0xec, 0xf0), 12));
    }

    // Prompt box: grey outline one pixel in, bold dark line above the middle,
    // grey line below it.
    void draggedButtonPaintsPrompt()
    {
        MvDraggedButton button;
        button.resize(160, 80);
        const QImage image = renderOf(button);
        QCOMPARE(QColor(image.pixel(1, 40)), QColor(0xeb, 0xec, 0xf0));
        // A QRect outline reaches one pixel past its right and bottom.
        QCOMPARE(QColor(image.pixel(80, 79)), QColor(0xeb, 0xec, 0xf0));
        QCOMPARE(QColor(image.pixel(159, 40)), QColor(0xeb, 0xec, 0xf0));
        QCOMPARE(qAlpha(image.pixel(0, 40)), 0);
        QCOMPARE(qAlpha(image.pixel(80, 0)), 0);
        auto holds = [&](int top, int bottom, const QColor &color) {
            for (int y = top; y < bottom; ++y)
                for (int x = 2; x < 158; ++x)
                    if (near(image.pixel(x, y), color, 2))
                        return true;
            return false;
        };
        QVERIFY(holds(2, 40, QColor(0x26, 0x29, 0x38)));
        QVERIFY(!holds(40, 78, QColor(0x26, 0x29, 0x38)));
        QVERIFY(holds(40, 78, QColor(0x7f, 0x8b, 0x99)));
        QVERIFY(!holds(2, 40, QColor(0x7f, 0x8b, 0x99)));
    }

    void draggedButtonDragEnter_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("png") << "a.png" << true;
        QTest::newRow("jpg") << "a.jpg" << true;
        QTest::newRow("bmp") << "a.bmp" << true;
        QTest::newRow("gif") << "a.gif" << true;
        QTest::newRow("capital JPG") << "a.JPG" << false;
        QTest::newRow("jpeg") << "a.jpeg" << false;
        QTest::newRow("text") << "a.txt" << false;
    }
    void draggedButtonDragEnter()
    {
        QFETCH(QString, fileName);
        QFETCH(bool, accepted);
        ProbeDropButton button;
        QVERIFY(button.acceptDrops());
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(m_env->root() + QLatin1Char('/') + fileName)});
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        button.dragEnterEvent(&enter);
        QCOMPARE(enter.isAccepted(), accepted);
    }

    void draggedButtonWithoutUrlTakesNothing()
    {
        ProbeDropButton button;
        QMimeData data;
        data.setText(QStringLiteral("/tmp/a.png"));
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        button.dragEnterEvent(&enter);
        QVERIFY(!enter.isAccepted());
    }

    void draggedButtonDrop()
    {
        ProbeDropButton button;
        QSignalSpy spy(&button, &MvDraggedButton::signal_draggedpicture);

        const QString good = solidPicture(QStringLiteral("good.png"), QSize(4, 4), Qt::red);
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(good)});
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        button.dropEvent(&drop);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toString(), good);

        // A .png that is no picture emits nothing.
        const QString bad = m_env->root() + QStringLiteral("/bad.png");
        QFile file(bad);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("not a picture");
        file.close();
        QMimeData badData;
        badData.setUrls({QUrl::fromLocalFile(bad)});
        QDropEvent badDrop(QPointF(5, 5), Qt::CopyAction, &badData, Qt::LeftButton, Qt::NoModifier);
        button.dropEvent(&badDrop);
        QCOMPARE(spy.count(), 1);
    }
};

QTEST_MAIN(TestButtons)
#include "tst_buttons.moc"

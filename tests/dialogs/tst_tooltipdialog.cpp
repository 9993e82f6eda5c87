#include "DialogTests.h"

#include "CurrentDialog.h"
#include "LayeredShadowWindow.h"
#include "ModalDriver.h"
#include "UiToolTipDialog.h"
#include "WidgetPictures.h"

#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QTest>

using testsupport::ModalDriver;
using testsupport::ModalSnapshot;

namespace {

template <class T>
T *part(QWidget *box, const char *name)
{
    T *w = box->findChild<T *>(QLatin1String(name));
    if (!w)
        qWarning("missing part %s", name);
    return w;
}

bool shownInBox(QWidget *box, const char *name)
{
    QWidget *w = part<QWidget>(box, name);
    return w && w->isVisibleTo(box);
}

} // namespace

class TestToolTipDialog : public QObject
{
    Q_OBJECT

private slots:
    void init() { currentDialog = nullptr; }
    void cleanup() { currentDialog = nullptr; }

    void buildsTheForm()
    {
        UiToolTipDialog box(QStringLiteral("网络连接失败"), nullptr);
        QCOMPARE(box.size(), QSize(302, 226));
        QCOMPARE(box.objectName(), QStringLiteral("UiToolTipDialog"));
        QCOMPARE(box.windowFlags() & Qt::WindowType_Mask, Qt::SplashScreen);
        QVERIFY(!box.isVisible());

        struct Part
        {
            const char *name;
            QRect geometry;
            QString text;
        };
        const Part parts[] = {
            {"tipinfolabel", QRect(10, 50, 282, 101), QStringLiteral("网络连接失败")},
            {"pushButton_ok", QRect(33, 168, 236, 32), QStringLiteral("确定")},
            {"label_2", QRect(10, 11, 31, 12), QStringLiteral("提示")},
            {"label_8", QRect(0, 33, 302, 1), QString()},
            {"pushButton_close", QRect(276, 6, 20, 20), QString()},
            {"pushButton_oksmall", QRect(56, 170, 90, 32), QStringLiteral("确定")},
            {"pushButton_cancelsmall", QRect(156, 170, 90, 32), QStringLiteral("取消")},
        };
        for (const Part &p : parts) {
            QWidget *w = part<QWidget>(&box, p.name);
            QVERIFY2(w, p.name);
            QCOMPARE(w->geometry(), p.geometry);
            const QString text = qobject_cast<QLabel *>(w) ? qobject_cast<QLabel *>(w)->text()
                                                           : qobject_cast<QPushButton *>(w)->text();
            QCOMPARE(text, p.text);
        }
        auto *label = part<QLabel>(&box, "tipinfolabel");
        QVERIFY(label->wordWrap());
        QCOMPARE(label->alignment(), Qt::AlignHCenter | Qt::AlignVCenter);

        // A new box shows the single wide OK.
        QVERIFY(shownInBox(&box, "pushButton_ok"));
        QVERIFY(!shownInBox(&box, "pushButton_oksmall"));
        QVERIFY(!shownInBox(&box, "pushButton_cancelsmall"));
        QVERIFY(shownInBox(&box, "pushButton_close"));
        // The close button's pictures are served from the skin.
        for (const char *img : {":/image/skin/cancelbtn.png", ":/image/skin/cancelbtn_a.png"}) {
            QCOMPARE(QPixmap(QLatin1String(img)).size(), QSize(20, 20));
            QVERIFY(part<QWidget>(&box, "pushButton_close")->styleSheet().contains(QLatin1String(img)));
        }
    }

    // The form's look as painted: white box, divider, the primary button's
    // horizontal gradient and the secondary button's border and fill.
    void paintsTheFormLook()
    {
        UiToolTipDialog box(QString(), nullptr);
        QCOMPARE(box.windowTitle(), QStringLiteral("Dialog"));
        box.setCancelVisible(false);
        QImage image = testsupport::renderOf(box);
        auto at = [&](int x, int y) { return QColor(image.pixel(x, y)); };
        QCOMPARE(at(150, 20), QColor(Qt::white));
        QCOMPARE(at(150, 33), QColor(0xec, 0xec, 0xec));
        QCOMPARE(at(150, 34), QColor(Qt::white));
        // pushButton_ok (33, 168, 236, 32): #ff4646 on the left to #ff5500 on the right.
        const QColor left = at(36, 184);
        const QColor right = at(265, 184);
        QCOMPARE(left.red(), 0xff);
        QVERIFY2(qAbs(left.green() - 0x46) <= 4 && qAbs(left.blue() - 0x46) <= 4, qPrintable(left.name()));
        QCOMPARE(right.red(), 0xff);
        QVERIFY2(qAbs(right.green() - 0x55) <= 4 && right.blue() <= 4, qPrintable(right.name()));

        box.setCancelVisible(true);
        image = testsupport::renderOf(box);
        // pushButton_cancelsmall (156, 170, 90, 32): 1 px #ebecf0 border, #f9f9f9 inside.
        QCOMPARE(at(158, 186), QColor(0xf9, 0xf9, 0xf9));
        QCOMPARE(at(156, 186), QColor(0xeb, 0xec, 0xf0));
        // pushButton_oksmall (56, 170, 90, 32) has the primary look.
        QCOMPARE(at(59, 186).red(), 0xff);
        QVERIFY(at(59, 186).green() < 0x60);
    }

    void attachesOneShadow()
    {
        UiToolTipDialog box(QString(), nullptr);
        const auto shadows = box.findChildren<LayeredShadowWindow *>();
        QCOMPARE(shadows.size(), 1);
        QCOMPARE(LayeredShadowWindow::Attach(box.winId()), shadows.first());
    }

    void cancelVisibleSwitchesLayouts()
    {
        UiToolTipDialog box(QStringLiteral("确认删除?"), nullptr);
        box.setCancelVisible(true);
        QVERIFY(!shownInBox(&box, "pushButton_ok"));
        QVERIFY(shownInBox(&box, "pushButton_oksmall"));
        QVERIFY(shownInBox(&box, "pushButton_cancelsmall"));
        box.setCancelVisible(false);
        QVERIFY(shownInBox(&box, "pushButton_ok"));
        QVERIFY(!shownInBox(&box, "pushButton_oksmall"));
        QVERIFY(!shownInBox(&box, "pushButton_cancelsmall"));
    }

    void setTextReplacesTheMessage()
    {
        UiToolTipDialog box(QStringLiteral("a"), nullptr);
        box.setText(QStringLiteral("b"));
        QCOMPARE(part<QLabel>(&box, "tipinfolabel")->text(), QStringLiteral("b"));
    }

    void longTextWraps()
    {
        const QString text = QStringLiteral("当前网络状况不佳，推流连接已经断开，请检查网络设置后重新开始直播。").repeated(2);
        UiToolTipDialog box(text, nullptr);
        auto *label = part<QLabel>(&box, "tipinfolabel");
        QCOMPARE(label->text(), text);
        const int oneLine = label->fontMetrics().height();
        QVERIFY(label->heightForWidth(282) > oneLine);
        QCOMPARE(label->alignment(), Qt::AlignHCenter | Qt::AlignVCenter);
    }

    void execResults_data()
    {
        QTest::addColumn<bool>("question");
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("result");
        QTest::addColumn<QStringList>("buttons");
        const QStringList single{QStringLiteral("确定")};
        const QStringList pair{QStringLiteral("确定"), QStringLiteral("取消")};
        QTest::newRow("single OK") << false << "pushButton_ok" << 1 << single;
        QTest::newRow("single, close") << false << "pushButton_close" << 0 << single;
        QTest::newRow("question OK") << true << "pushButton_oksmall" << 1 << pair;
        QTest::newRow("question cancel") << true << "pushButton_cancelsmall" << 0 << pair;
        QTest::newRow("question, close") << true << "pushButton_close" << 0 << pair;
        QTest::newRow("question, by text") << true << "取消" << 0 << pair;
    }
    void execResults()
    {
        QFETCH(bool, question);
        QFETCH(QString, button);
        QFETCH(int, result);
        QFETCH(QStringList, buttons);

        ModalDriver driver;
        QDialog *during = nullptr;
        bool wasBox = false;
        bool pressed = false;
        driver.onNext([&](QWidget *dialog) {
            during = currentDialog;
            wasBox = currentDialog == dialog;
            pressed = ModalDriver::press(dialog, button);
            if (!pressed)
                static_cast<QDialog *>(dialog)->reject();
        });
        {
            UiToolTipDialog box(QStringLiteral("需要先登录!"), nullptr);
            box.setCancelVisible(question);
            QCOMPARE(box.exec(), result);
            QVERIFY(pressed);
            QVERIFY(driver.waitDone());
            QVERIFY2(driver.errors().isEmpty(), qPrintable(driver.errors().join('\n')));
            QVERIFY(wasBox);
            QCOMPARE(during, static_cast<QDialog *>(&box));
            // Still the box after exec: it is cleared when the box goes.
            QCOMPARE(currentDialog.data(), static_cast<QDialog *>(&box));
            QVERIFY(!box.isVisible());
        }
        QVERIFY(currentDialog.isNull());

        const ModalSnapshot seen = driver.last();
        QCOMPARE(seen.className, QStringLiteral("UiToolTipDialog"));
        QCOMPARE(seen.text("tipinfolabel"), QStringLiteral("需要先登录!"));
        QCOMPARE(seen.text("label_2"), QStringLiteral("提示"));
        // The close button has no text; the others are the layout's.
        QStringList shownTexts = seen.buttons;
        shownTexts.removeAll(QString());
        QCOMPARE(shownTexts, buttons);
    }

    void emptyTextShowsEmptyLabelAndSingleOk()
    {
        ModalDriver driver;
        driver.pressNext(QStringLiteral("确定"));
        UiToolTipDialog box(QString(), nullptr);
        QCOMPARE(box.exec(), 1);
        QVERIFY(driver.waitDone());
        QVERIFY(driver.errors().isEmpty());
        QCOMPARE(driver.last().text("tipinfolabel"), QString());
        QVERIFY(driver.last().hasButton(QStringLiteral("pushButton_ok")));
        QVERIFY(!driver.last().hasButton(QStringLiteral("pushButton_cancelsmall")));
    }

    void boxNeverRunLeavesCurrentDialog()
    {
        QDialog other;
        currentDialog = &other;
        {
            UiToolTipDialog box(QStringLiteral("x"), nullptr);
        }
        QCOMPARE(currentDialog.data(), &other);
    }

    void boxLeavesAPointerThatMovedOn()
    {
        QDialog other;
        ModalDriver driver;
        driver.pressNext(QStringLiteral("pushButton_ok"));
        {
            UiToolTipDialog box(QStringLiteral("x"), nullptr);
            QCOMPARE(box.exec(), 1);
            QVERIFY(driver.waitDone());
            // Another dialog starts running before the box goes.
            currentDialog = &other;
        }
        QCOMPARE(currentDialog.data(), &other);
    }

    void boxInsideAnotherModalDialog()
    {
        QDialog outer;
        outer.setObjectName(QStringLiteral("outer"));
        int boxResult = -1;
        QDialog *afterBox = &outer;
        bool outerStillRunning = false;
        QWidget *first = nullptr;

        ModalDriver driver;
        driver.onNext([&](QWidget *dialog) {
            first = dialog;
            {
                UiToolTipDialog box(QStringLiteral("确定要退出吗?"), &outer);
                box.setCancelVisible(true);
                boxResult = box.exec();
            }
            afterBox = currentDialog;
            outerStillRunning = outer.isVisible();
            outer.reject();
        });
        driver.pressNext(QStringLiteral("pushButton_cancelsmall"));

        currentDialog = &outer; // as the title bar does around the settings dialog
        QCOMPARE(outer.exec(), int(QDialog::Rejected));
        QVERIFY(driver.waitDone());
        QCOMPARE(first, static_cast<QWidget *>(&outer));
        QVERIFY2(driver.errors().isEmpty(), qPrintable(driver.errors().join('\n')));
        QCOMPARE(boxResult, 0);
        QVERIFY(outerStillRunning);
        // Not a stack: the box's departure leaves null, not the outer dialog.
        QCOMPARE(afterBox, nullptr);
        QCOMPARE(driver.seen().size(), 2);
        QCOMPARE(driver.seen().at(0).objectName, QStringLiteral("outer"));
        QCOMPARE(driver.seen().at(1).className, QStringLiteral("UiToolTipDialog"));
    }
};

QObject *createToolTipDialogTests()
{
    return new TestToolTipDialog;
}

#include "tst_tooltipdialog.moc"

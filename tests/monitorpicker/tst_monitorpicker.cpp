#include "CurrentDialog.h"
#include "LayeredShadowWindow.h"
#include "ModalDriver.h"
#include "MvComboBoxItemDelegate.h"
#include "MvComboBoxStyle.h"
#include "MvMonitorSelectDialog.h"
#include "WidgetPictures.h"

#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QTest>

using testsupport::ModalDriver;

namespace {

template <class T>
T *part(QWidget *dialog, const char *name)
{
    T *w = dialog->findChild<T *>(QLatin1String(name));
    if (!w)
        qWarning("missing part %s", name);
    return w;
}

MvComboBoxStyle *monitorBox(QWidget *dialog)
{
    return part<MvComboBoxStyle>(dialog, "box_monitor");
}

QStringList entriesOf(QWidget *dialog)
{
    QStringList entries;
    MvComboBoxStyle *box = monitorBox(dialog);
    for (int i = 0; box && i < box->count(); ++i)
        entries << box->itemText(i);
    return entries;
}

} // namespace

class TestMonitorPicker : public QObject
{
    Q_OBJECT

private slots:
    void init() { currentDialog = nullptr; }
    void cleanup() { currentDialog = nullptr; }

    void buildsTheForm()
    {
        MvMonitorSelectDialog picker(2, nullptr);
        QCOMPARE(picker.objectName(), QStringLiteral("MvMonitorSelectDialog"));
        QCOMPARE(picker.windowTitle(), QStringLiteral("选择显示器"));
        QCOMPARE(picker.size(), QSize(368, 223));
        QCOMPARE(picker.minimumSize(), QSize(368, 223));
        QCOMPARE(picker.maximumSize(), QSize(368, 223));
        QCOMPARE(picker.windowFlags() & Qt::WindowType_Mask, Qt::SplashScreen);
        QCOMPARE(picker.GetSelectedIndex(), 0);
        QVERIFY(!picker.isVisible());

        struct Part
        {
            const char *name;
            const char *className;
            QRect geometry;
            QString text;
        };
        const Part parts[] = {
            {"button_confirm", "QPushButton", QRect(79, 160, 90, 32), QStringLiteral("添加")},
            {"button_cancel", "QPushButton", QRect(199, 160, 90, 32), QStringLiteral("取消")},
            {"box_monitor", "MvComboBoxStyle", QRect(73, 35, 271, 31), QStringLiteral("显示器1")},
            {"label", "QLabel", QRect(17, 40, 51, 21), QStringLiteral("显示器：")},
            {"label_text", "QLabel", QRect(17, 80, 334, 61),
             QStringLiteral("<html><head/><body><p>提示：在win系统中，除非您有明确需求，不然建议您使用"
                            "录制窗口或者选择游戏，这两项对CPU消耗会低很多！</p></body></html>")},
            {"closebutton", "QPushButton", QRect(342, 6, 20, 20), QString()},
        };
        // The form's children, in the form's order (the shadow comes after).
        QStringList order;
        for (QObject *child : picker.children()) {
            if (child->isWidgetType() && !qobject_cast<LayeredShadowWindow *>(child))
                order << child->objectName();
        }
        QCOMPARE(order, (QStringList{"button_confirm", "button_cancel", "box_monitor", "label",
                                     "label_text", "closebutton"}));
        for (const Part &p : parts) {
            QWidget *w = part<QWidget>(&picker, p.name);
            QVERIFY2(w, p.name);
            QCOMPARE(w->metaObject()->className(), p.className);
            QCOMPARE(w->geometry(), p.geometry);
            QString text;
            if (auto *label = qobject_cast<QLabel *>(w))
                text = label->text();
            else if (auto *button = qobject_cast<QPushButton *>(w))
                text = button->text();
            else
                text = monitorBox(&picker)->currentText();
            QCOMPARE(text, p.text);
            QVERIFY2(w->isVisibleTo(&picker), p.name);
        }
        QVERIFY(part<QLabel>(&picker, "label")->wordWrap());
        QVERIFY(part<QLabel>(&picker, "label_text")->wordWrap());

        // The library's combo look.
        QVERIFY(qobject_cast<MvComboBoxItemDelegate *>(monitorBox(&picker)->itemDelegate()));
        QVERIFY(monitorBox(&picker)->styleSheet().contains(QLatin1String(":/image/skin/comboarrow.png")));
        // The close button's pictures are served from the skin.
        for (const char *img : {":/image/skin/cancelbtn.png", ":/image/skin/cancelbtn_a.png"}) {
            QCOMPARE(QPixmap(QLatin1String(img)).size(), QSize(20, 20));
            QVERIFY(part<QWidget>(&picker, "closebutton")->styleSheet().contains(QLatin1String(img)));
        }

        const auto shadows = picker.findChildren<LayeredShadowWindow *>();
        QCOMPARE(shadows.size(), 1);
        QCOMPARE(LayeredShadowWindow::Attach(picker.winId()), shadows.first());
    }

    // The look as painted: the #fefefe ground, the primary button's
    // horizontal gradient and the secondary button's border and fill.
    void paintsTheFormLook()
    {
        MvMonitorSelectDialog picker(2, nullptr);
        const QImage image = testsupport::renderOf(picker);
        auto at = [&](int x, int y) { return QColor(image.pixel(x, y)); };
        QCOMPARE(at(200, 10), QColor(0xfe, 0xfe, 0xfe));
        QCOMPARE(at(5, 215), QColor(0xfe, 0xfe, 0xfe));
        // button_confirm (79, 160, 90, 32): #ff4646 on the left to #ff5500 on the right.
        const QColor left = at(82, 176);
        const QColor right = at(165, 176);
        QCOMPARE(left.red(), 0xff);
        QVERIFY2(qAbs(left.green() - 0x46) <= 4 && qAbs(left.blue() - 0x46) <= 4, qPrintable(left.name()));
        QCOMPARE(right.red(), 0xff);
        QVERIFY2(qAbs(right.green() - 0x55) <= 4 && right.blue() <= 4, qPrintable(right.name()));
        // button_cancel (199, 160, 90, 32): 1 px #ebecf0 border, #f9f9f9 inside.
        QCOMPARE(at(199, 176), QColor(0xeb, 0xec, 0xf0));
        QCOMPARE(at(202, 176), QColor(0xf9, 0xf9, 0xf9));
    }

    void entries_data()
    {
        QTest::addColumn<int>("screens");
        QTest::addColumn<QStringList>("entries");
        QTest::newRow("none") << 0 << QStringList();
        QTest::newRow("negative") << -3 << QStringList();
        QTest::newRow("one") << 1 << QStringList{"显示器1"};
        QTest::newRow("two") << 2 << QStringList{"显示器1", "显示器2"};
        QTest::newRow("twelve") << 12
                                << QStringList{"显示器1", "显示器2", "显示器3", "显示器4",
                                               "显示器5", "显示器6", "显示器7", "显示器8",
                                               "显示器9", "显示器10", "显示器11", "显示器12"};
    }
    void entries()
    {
        QFETCH(int, screens);
        QFETCH(QStringList, entries);
        MvMonitorSelectDialog picker(screens, nullptr);
        QCOMPARE(entriesOf(&picker), entries);
        QCOMPARE(monitorBox(&picker)->currentIndex(), entries.isEmpty() ? -1 : 0);
    }

    // A modal run: choose an entry, press a button; the result, the index
    // and currentDialog during the run, after it and after the picker goes.
    void modalRun_data()
    {
        QTest::addColumn<int>("screens");
        QTest::addColumn<int>("choose");
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("index");
        QTest::newRow("2, add first") << 2 << 0 << "button_confirm" << 1 << 0;
        QTest::newRow("2, add second") << 2 << 1 << "button_confirm" << 1 << 1;
        QTest::newRow("2, by text") << 2 << 1 << "添加" << 1 << 1;
        QTest::newRow("12, add 10") << 12 << 9 << "button_confirm" << 1 << 9;
        QTest::newRow("12, add 11") << 12 << 10 << "button_confirm" << 1 << 10;
        QTest::newRow("12, add 12") << 12 << 11 << "button_confirm" << 1 << 11;
        QTest::newRow("no display, add") << 0 << -1 << "button_confirm" << 1 << 0;
        QTest::newRow("cancel") << 2 << 1 << "button_cancel" << 0 << 0;
        QTest::newRow("cancel by text") << 12 << 11 << "取消" << 0 << 0;
        QTest::newRow("close") << 2 << 1 << "closebutton" << 0 << 0;
    }
    void modalRun()
    {
        QFETCH(int, screens);
        QFETCH(int, choose);
        QFETCH(QString, button);
        QFETCH(int, result);
        QFETCH(int, index);

        ModalDriver driver;
        QDialog *during = nullptr;
        bool pressed = false;
        driver.onNext([&](QWidget *dialog) {
            during = currentDialog;
            monitorBox(dialog)->setCurrentIndex(choose);
            pressed = ModalDriver::press(dialog, button);
            if (!pressed)
                static_cast<QDialog *>(dialog)->reject();
        });
        {
            MvMonitorSelectDialog picker(screens, nullptr);
            QCOMPARE(picker.exec(), result);
            QVERIFY(driver.waitDone());
            QVERIFY2(driver.errors().isEmpty(), qPrintable(driver.errors().join('\n')));
            QVERIFY(pressed);
            QCOMPARE(during, static_cast<QDialog *>(&picker));
            QCOMPARE(picker.GetSelectedIndex(), index);
            QVERIFY(!picker.isVisible());
            // Still the picker after exec: it is cleared when the picker goes.
            QCOMPARE(currentDialog.data(), static_cast<QDialog *>(&picker));
        }
        QVERIFY(currentDialog.isNull());
        QCOMPARE(driver.last().className, QStringLiteral("MvMonitorSelectDialog"));
        QCOMPARE(driver.last().windowTitle, QStringLiteral("选择显示器"));
    }

    // The index is the number in the chosen entry's text, not its position.
    void indexComesFromTheEntryNumber()
    {
        ModalDriver driver;
        driver.onNext([](QWidget *dialog) {
            monitorBox(dialog)->setItemText(0, QStringLiteral("显示器7"));
            monitorBox(dialog)->setCurrentIndex(0);
            ModalDriver::press(dialog, QStringLiteral("button_confirm"));
        });
        MvMonitorSelectDialog picker(2, nullptr);
        QCOMPARE(picker.exec(), 1);
        QVERIFY(driver.waitDone());
        QCOMPARE(picker.GetSelectedIndex(), 6);
    }

    // Only the picker's own three buttons act on it.
    void otherSendersDoNothing()
    {
        MvMonitorSelectDialog picker(2, nullptr);
        QPushButton stranger;
        connect(&stranger, SIGNAL(clicked()), &picker, SLOT(OnButtonClicked()));
        picker.show();
        monitorBox(&picker)->setCurrentIndex(1);
        stranger.click();
        QVERIFY(QMetaObject::invokeMethod(&picker, "OnButtonClicked"));
        QVERIFY(picker.isVisible());
        QCOMPARE(picker.result(), 0);
        QCOMPARE(picker.GetSelectedIndex(), 0);
        // Not through exec: the pointer is not taken, so it is not cleared.
        part<QPushButton>(&picker, "button_confirm")->click();
        QCOMPARE(picker.result(), 1);
        QCOMPARE(picker.GetSelectedIndex(), 1);
        QVERIFY(currentDialog.isNull());
    }

    void pickerNeverRunLeavesCurrentDialog()
    {
        QDialog other;
        currentDialog = &other;
        {
            MvMonitorSelectDialog picker(3, nullptr);
        }
        QCOMPARE(currentDialog.data(), &other);
    }

    void pickerLeavesAPointerThatMovedOn()
    {
        QDialog other;
        ModalDriver driver;
        driver.pressNext(QStringLiteral("button_cancel"));
        {
            MvMonitorSelectDialog picker(2, nullptr);
            QCOMPARE(picker.exec(), 0);
            QVERIFY(driver.waitDone());
            // Another dialog starts running before the picker goes.
            currentDialog = &other;
        }
        QCOMPARE(currentDialog.data(), &other);
    }
};

QTEST_MAIN(TestMonitorPicker)

#include "tst_monitorpicker.moc"

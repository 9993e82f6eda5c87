#include "CurrentDialog.h"
#include "FacadeFixture.h"
#include "FormCheck.h"
#include "LogCapture.h"
#include "ModalDriver.h"
#include "ModalWatchdog.h"
#include "NamedPipe.h"
#include "PictureFile.h"
#include "UiAddImage.h"
#include "WidgetPictures.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QToolTip>

using testsupport::FacadeFixture;
using testsupport::ModalDriver;

namespace {

template <class T>
T *part(QWidget *dialog, const char *name)
{
    return testsupport::formPart<T>(dialog, name);
}

QSlider *sliderOf(QWidget *dialog)
{
    return part<QSlider>(dialog, "horizontalSlider");
}

// Picks `path` in the next file dialog (or cancels it when empty) and
// records what the dialog showed.
struct FileDialogSeen
{
    QString title;
    QString directory;
    QStringList filters;
    bool modal = false;
    QWidget *parent = nullptr;
};

ModalDriver::Handler pickFile(const QString &path, FileDialogSeen *seen)
{
    return [=](QWidget *w) {
        auto *dialog = qobject_cast<QFileDialog *>(w);
        QVERIFY(dialog);
        seen->title = dialog->windowTitle();
        seen->directory = dialog->directory().absolutePath();
        seen->filters = dialog->nameFilters();
        seen->parent = dialog->parentWidget();
        if (path.isEmpty()) {
            dialog->reject();
        } else {
            // Typed into the name field, as a user would; selectFile waits
            // for the folder model.
            auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
            QVERIFY(name);
            name->setText(path);
            QMetaObject::invokeMethod(dialog, "accept");
        }
    };
}

// A picture item (alpha 128) on a started scene, with the call log cleared.
struct PictureFixture
{
    PictureFixture()
    {
        QVERIFY(f.init() == 0);
        first = f.picture(QStringLiteral("first.png"), 40, 30);
        id = f.proxy->addImage(first, 128, 3);
        QVERIFY(id > 0);
        f.calls().clear();
    }
    std::string source() const
    {
        std::string path;
        f.proxy->getItemSource(id, &path);
        return path;
    }
    int alpha() const
    {
        int a = -1;
        f.proxy->getItemAlpha(id, &a);
        return a;
    }
    QSize sourceSize() const
    {
        int x = 0, y = 0, w = 0, h = 0;
        f.proxy->getItemSourceRect(id, &x, &y, &w, &h);
        return QSize(w, h);
    }
    std::vector<std::string> writes() const { return f.ops({"SetItemSourceFiles", "SetItemAlpha"}); }

    testsupport::ModalWatchdog watchdog{8000};
    FacadeFixture f;
    std::string first;
    int id = 0;
};

} // namespace

class TestImageEditor : public QObject
{
    Q_OBJECT

private slots:
    void buildsTheForm()
    {
        UiAddImage editor;
        QCOMPARE(editor.size(), QSize(452, 226));
        QCOMPARE(editor.windowTitle(), QStringLiteral("Dialog"));
        QCOMPARE(editor.windowFlags() & Qt::WindowType_Mask, Qt::SplashScreen);
        const QVector<testsupport::FormPart> parts = {
            {"widget", QRect(1, 1, 450, 36), QString()},
            {"label", QRect(41, 7, 54, 21), QStringLiteral("添加图片")},
            {"label_2", QRect(7, 11, 24, 16), QString()},
            {"pushButton_close", QRect(425, 2, 24, 24), QString()},
            {"widget_2", QRect(1, 175, 450, 50), QString()},
            {"pushButton_ok", QRect(243, 12, 64, 24), QStringLiteral("确定")},
            {"pushButton_cancel", QRect(343, 12, 64, 24), QStringLiteral("取消")},
            {"label_3", QRect(35, 68, 61, 20), QStringLiteral("选择图片：")},
            {"lineEdit_file", QRect(97, 68, 257, 24), QString()},
            {"pushButton_file", QRect(361, 70, 51, 21), QStringLiteral("打开")},
            {"label_4", QRect(35, 110, 51, 20), QStringLiteral("透明度：")},
            {"horizontalSlider", QRect(97, 110, 314, 18), QString()},
        };
        const QString mismatch = testsupport::formMismatch(&editor, parts);
        QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
        QCOMPARE(part<QWidget>(&editor, "label")->parentWidget()->objectName(), QStringLiteral("widget"));
        QCOMPARE(part<QWidget>(&editor, "pushButton_ok")->parentWidget()->objectName(), QStringLiteral("widget_2"));
        QVERIFY(part<QLineEdit>(&editor, "lineEdit_file")->isReadOnly());
        QSlider *slider = sliderOf(&editor);
        QCOMPARE(slider->orientation(), Qt::Horizontal);
        QCOMPARE(slider->minimum(), 0);
        QCOMPARE(slider->maximum(), 100);
        QVERIFY(slider->hasTracking());
        QCOMPARE(slider->toolTipDuration(), 3000);
        auto *ok = part<QPushButton>(&editor, "pushButton_ok");
        QVERIFY(ok->isDefault());
        QCOMPARE(ok->shortcut(), QKeySequence(Qt::Key_Return));

        const QStringList tabOrder{"lineEdit_file", "pushButton_file", "horizontalSlider",
                                   "pushButton_ok", "pushButton_cancel", "pushButton_close"};
        QCOMPARE(testsupport::tabChain(part<QWidget>(&editor, "lineEdit_file"), tabOrder), tabOrder);

        ImageOverlayInfo fresh;
        editor.GetImageInfo(fresh);
        QCOMPARE(fresh.path, QString());
        QCOMPARE(fresh.alpha, 255);
        QCOMPARE(fresh.accepted, false);
        QCOMPARE(slider->value(), 100);
    }

    void sliderShowsTheAlphaTruncated_data()
    {
        QTest::addColumn<int>("alpha");
        QTest::addColumn<int>("position");
        QTest::newRow("128") << 128 << 50;
        QTest::newRow("255") << 255 << 100;
        QTest::newRow("2") << 2 << 0;
        QTest::newRow("0") << 0 << 0;
    }

    void sliderShowsTheAlphaTruncated()
    {
        QFETCH(int, alpha);
        QFETCH(int, position);
        UiAddImage editor;
        ImageOverlayInfo info;
        info.path = QStringLiteral("/x.png");
        info.alpha = alpha;
        info.accepted = true;
        editor.SetImageInfo(info);
        QCOMPARE(sliderOf(&editor)->value(), position);
        QCOMPARE(part<QLineEdit>(&editor, "lineEdit_file")->text(), QStringLiteral("/x.png"));
        // Shown but untouched, the alpha comes back as handed in.
        editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        ImageOverlayInfo out;
        editor.GetImageInfo(out);
        QCOMPARE(out.alpha, alpha);
        QCOMPARE(out.accepted, false);
    }

    void movedSliderGivesTheAlpha_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("alpha");
        QTest::newRow("50") << 50 << 127;
        QTest::newRow("100") << 100 << 255;
        QTest::newRow("1") << 1 << 2;
        QTest::newRow("0") << 0 << 0;
    }

    void movedSliderGivesTheAlpha()
    {
        QFETCH(int, position);
        QFETCH(int, alpha);
        UiAddImage editor;
        ImageOverlayInfo info;
        info.alpha = 77; // slider 30, away from every row
        editor.SetImageInfo(info);
        editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        QSlider *slider = sliderOf(&editor);
        slider->setValue(position);
        ImageOverlayInfo out;
        editor.GetImageInfo(out);
        QCOMPARE(out.alpha, alpha);
        // The value shows at once as the slider's tool tip, below the handle.
        QCOMPARE(slider->toolTip(), QString::number(position));
        QVERIFY(QToolTip::isVisible());
        QCOMPARE(QToolTip::text(), QString::number(position));
    }

    void tipFollowsTheHandle()
    {
        UiAddImage editor;
        editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        QSlider *slider = sliderOf(&editor);
        auto tipX = [] {
            for (QWidget *w : QApplication::topLevelWidgets())
                if (w->inherits("QTipLabel") && w->isVisible())
                    return w->x();
            return -1;
        };
        slider->setValue(10);
        const int atTen = tipX();
        slider->setValue(90);
        const int atNinety = tipX();
        QVERIFY(atTen >= 0);
        // 80 steps of a 314 px slider over a range of 100.
        QCOMPARE(atNinety - atTen, 314 * 90 / 100 - 314 * 10 / 100);
    }

    void hiddenSliderLeavesTheAlpha()
    {
        UiAddImage editor;
        ImageOverlayInfo info;
        info.alpha = 128;
        editor.SetImageInfo(info);
        sliderOf(&editor)->setValue(10);
        ImageOverlayInfo out;
        editor.GetImageInfo(out);
        QCOMPARE(out.alpha, 128);
    }

    void fileDialogAsksForMediaFiles()
    {
        testsupport::TempEnvironment env;
        QImage(8, 8, QImage::Format_RGB32).save(env.workPath() + QStringLiteral("/pic.png"));
        testsupport::ModalWatchdog watchdog(8000);
        UiAddImage editor;
        editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        FileDialogSeen seen;
        ModalDriver driver;
        driver.onNext(pickFile(env.workPath() + QStringLiteral("/pic.png"), &seen));
        part<QPushButton>(&editor, "pushButton_file")->click();
        QVERIFY(driver.waitDone());
        QCOMPARE(seen.title, QStringLiteral("媒体文件"));
        QCOMPARE(seen.directory, QDir(env.workPath()).absolutePath());
        QCOMPARE(seen.filters, QStringList{QStringLiteral("媒体文件(*.jpg *.png *bmp *gif)")});
        QCOMPARE(seen.parent, &editor);
        QCOMPARE(part<QLineEdit>(&editor, "lineEdit_file")->text(), env.workPath() + QStringLiteral("/pic.png"));

        // A cancelled dialog keeps the path.
        driver.onNext(pickFile(QString(), &seen));
        part<QPushButton>(&editor, "pushButton_file")->click();
        QVERIFY(driver.waitDone());
        ImageOverlayInfo out;
        editor.GetImageInfo(out);
        QCOMPARE(out.path, env.workPath() + QStringLiteral("/pic.png"));
    }

    // Refused with a tip, and logged with the reason and the tip; a FIFO is
    // refused at once, never waited on.
    void hugeOrUnreadablePictureIsRefused_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("tip");
        QTest::addColumn<QString>("reason");
        const QString tooLarge = QStringLiteral("图片尺寸不能超过1920*1080！");
        const QString unreadable = QStringLiteral("图片读取失败!");
        QTest::newRow("header claims 20000 x 20000") << "huge" << tooLarge << "20000x20000";
        QTest::newRow("one pixel too wide") << "wide" << tooLarge << "1921x4";
        QTest::newRow("no picture") << "text" << unreadable << "not a picture";
        QTest::newRow("fifo") << "fifo" << unreadable << "not a regular file";
    }

    void hugeOrUnreadablePictureIsRefused()
    {
        QFETCH(QString, kind);
        QFETCH(QString, tip);
        QFETCH(QString, reason);
        testsupport::TempEnvironment env;
        const QString kept = env.workPath() + QStringLiteral("/kept.png");
        QImage(8, 8, QImage::Format_RGB32).save(kept);
        QString chosen = env.workPath() + QStringLiteral("/chosen.png");
        testsupport::NamedPipe pipe(env.workPath() + QStringLiteral("/pipe.png"));
        QVERIFY2(pipe.isValid(), qPrintable(pipe.errorString()));
        if (kind == "huge") {
            QVERIFY(!testsupport::writeHugeClaimPng(chosen, QSize(20000, 20000)).isEmpty());
        } else if (kind == "wide") {
            testsupport::writeSolidPicture(chosen, QSize(1921, 4), Qt::red);
        } else if (kind == "fifo") {
            chosen = pipe.path();
        } else {
            QFile file(chosen);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("no picture");
        }
        testsupport::ModalWatchdog watchdog(8000);
        UiAddImage editor;
        ImageOverlayInfo info;
        info.path = kept;
        editor.SetImageInfo(info);
        editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        int decodes = 0;
        picturefile::setDecodeObserver([&](const QString &, const QSize &) { ++decodes; });
        FileDialogSeen seen;
        ModalDriver driver;
        driver.onNext([&](QWidget *w) {
            driver.pressNext(QStringLiteral("OK"));
            pickFile(chosen, &seen)(w);
        });
        QVERIFY2(pipe.finishesWithin(10000, [&] { part<QPushButton>(&editor, "pushButton_file")->click(); }),
                 "held up by the chosen file");
        QVERIFY(driver.waitDone());
        picturefile::setDecodeObserver({});
        QVERIFY(driver.errors().isEmpty());
        QCOMPARE(driver.seen().size(), 2);
        QCOMPARE(driver.last().className, QStringLiteral("QMessageBox"));
        QCOMPARE(driver.last().windowTitle, QStringLiteral("提示"));
        QVERIFY(driver.last().labels.contains(tip));
        QCOMPARE(decodes, 0);
        QCOMPARE(testsupport::LogCapture::texts().filter(QStringLiteral("picture refused: ")),
                 QStringList{QStringLiteral("picture refused: %1 (%2: %3)").arg(chosen, reason, tip)});
        // The earlier choice stays.
        QCOMPARE(part<QLineEdit>(&editor, "lineEdit_file")->text(), kept);
        ImageOverlayInfo out;
        editor.GetImageInfo(out);
        QCOMPARE(out.path, kept);
    }

    void emptyPathIsRefused()
    {
        testsupport::ModalWatchdog watchdog(8000);
        UiAddImage editor;
        editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        ModalDriver driver;
        driver.pressNext(QStringLiteral("OK"));
        part<QPushButton>(&editor, "pushButton_ok")->click();
        QVERIFY(driver.waitDone());
        QCOMPARE(driver.last().className, QStringLiteral("QMessageBox"));
        QCOMPARE(driver.last().windowTitle, QStringLiteral("提示"));
        QVERIFY(driver.last().labels.contains(QStringLiteral("请输入图片路径!")));
        QVERIFY(editor.isVisible());
        ImageOverlayInfo out;
        editor.GetImageInfo(out);
        QCOMPARE(out.accepted, false);
    }

    void notAcceptedSendsNothing_data()
    {
        QTest::addColumn<QString>("button");
        QTest::newRow("cancel") << "pushButton_cancel";
        QTest::newRow("close button") << "pushButton_close";
        QTest::newRow("escape") << "escape";
    }

    void notAcceptedSendsNothing()
    {
        QFETCH(QString, button);
        PictureFixture p;
        const std::string other = p.f.picture(QStringLiteral("other.png"), 20, 20);
        FileDialogSeen seen;
        ModalDriver driver;
        driver.onNext([&](QWidget *w) {
            QCOMPARE(part<QLineEdit>(w, "lineEdit_file")->text(), QString::fromStdString(p.first));
            QCOMPARE(sliderOf(w)->value(), 50);
            driver.onNext(pickFile(QString::fromStdString(other), &seen));
            part<QPushButton>(w, "pushButton_file")->click();
            sliderOf(w)->setValue(10);
            if (button == QLatin1String("escape"))
                QTest::keyClick(w, Qt::Key_Escape);
            else
                QVERIFY(ModalDriver::press(w, button));
        });
        QCOMPARE(UiAddImage::EditItem(p.f.proxy.get(), p.id), false);
        QVERIFY(driver.waitDone());
        QVERIFY(driver.errors().isEmpty());
        QVERIFY(p.writes().empty());
        QCOMPARE(p.source(), p.first);
        QCOMPARE(p.alpha(), 128);
    }

    void okWithoutTouchingKeepsTheAlpha()
    {
        PictureFixture p;
        ModalDriver driver;
        bool registered = false;
        driver.onNext([&](QWidget *w) {
            registered = currentDialog.data() == w;
            QVERIFY(ModalDriver::press(w, QStringLiteral("pushButton_ok")));
        });
        QCOMPARE(UiAddImage::EditItem(p.f.proxy.get(), p.id), true);
        QVERIFY(driver.waitDone());
        QVERIFY(registered);
        QVERIFY(currentDialog.isNull());
        QCOMPARE(p.alpha(), 128);
        QCOMPARE(p.source(), p.first);
    }

    void chinesePathReachesTheEngineAsUtf8()
    {
        PictureFixture p;
        const std::string chosen = p.f.picture(QStringLiteral("直播图片.png"), 64, 48);
        FileDialogSeen seen;
        ModalDriver driver;
        driver.onNext([&](QWidget *w) {
            driver.onNext(pickFile(QString::fromUtf8(chosen.c_str()), &seen));
            part<QPushButton>(w, "pushButton_file")->click();
            sliderOf(w)->setValue(60);
            QVERIFY(ModalDriver::press(w, QStringLiteral("pushButton_ok")));
        });
        QCOMPARE(UiAddImage::EditItem(p.f.proxy.get(), p.id), true);
        QVERIFY(driver.waitDone());
        QVERIFY(driver.errors().isEmpty());
        QCOMPARE(p.writes(), (std::vector<std::string>{"SetItemSourceFiles", "SetItemAlpha"}));
        const std::optional<mvplatform::CallRecord> set = p.f.calls().last("SetItemSourceFiles");
        QVERIFY(set);
        QCOMPARE(set->args.back(), chosen);
        QVERIFY(chosen.find("\xE7\x9B\xB4\xE6\x92\xAD") != std::string::npos); // "直播" in UTF-8
        QCOMPARE(p.source(), chosen);
        QCOMPARE(p.sourceSize(), QSize(64, 48));
        QCOMPARE(p.alpha(), 153);

        // And the next edit opens on it.
        QString shown;
        driver.onNext([&](QWidget *w) {
            shown = part<QLineEdit>(w, "lineEdit_file")->text();
            QVERIFY(ModalDriver::press(w, QStringLiteral("pushButton_cancel")));
        });
        UiAddImage::EditItem(p.f.proxy.get(), p.id);
        QVERIFY(driver.waitDone());
        QCOMPARE(shown, QString::fromUtf8(chosen.c_str()));
    }

    void unreadableFileLeavesThePicture()
    {
        PictureFixture p;
        const QString broken = p.f.env.workPath() + QStringLiteral("/broken.png");
        QFile file(broken);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("not a picture");
        file.close();
        FileDialogSeen seen;
        ModalDriver driver;
        driver.onNext([&](QWidget *w) {
            driver.onNext(pickFile(broken, &seen));
            part<QPushButton>(w, "pushButton_file")->click();
            QVERIFY(ModalDriver::press(w, QStringLiteral("pushButton_ok")));
        });
        QCOMPARE(UiAddImage::EditItem(p.f.proxy.get(), p.id), true);
        QVERIFY(driver.waitDone());
        QCOMPARE(p.source(), p.first);
        QCOMPARE(p.sourceSize(), QSize(40, 30));
    }

    void editingNoItemOpensNothing()
    {
        PictureFixture p;
        ModalDriver driver(300);
        QCOMPARE(UiAddImage::EditItem(p.f.proxy.get(), 0), false);
        QCOMPARE(UiAddImage::EditItem(nullptr, p.id), false);
        QVERIFY(driver.seen().isEmpty());
        QVERIFY(p.f.calls().ops().empty());
    }
};

QTEST_MAIN(TestImageEditor)
#include "tst_imageeditor.moc"

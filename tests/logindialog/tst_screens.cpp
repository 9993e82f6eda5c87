// The login dialog's two pages as an X server shows them: screenshots of the
// screen, not of the widgets' own painting.

#include "LoginFixture.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace logintest;

namespace {

QImage screenshot(QWidget *window)
{
    QCoreApplication::processEvents();
    QTest::qWait(100);
    const QRect r = window->frameGeometry();
    return QGuiApplication::primaryScreen()->grabWindow(0, r.x(), r.y(), r.width(), r.height()).toImage();
}

// The widget's part of the window's screenshot.
QImage partOf(const QImage &shot, QWidget *window, QWidget *widget)
{
    const QPoint at = widget->mapTo(window, QPoint(0, 0));
    return shot.copy(QRect(at, widget->size()));
}

// The share of pixels close to the colour.
double share(const QImage &image, const QColor &colour)
{
    int near = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (qAbs(c.red() - colour.red()) < 24 && qAbs(c.green() - colour.green()) < 24
                && qAbs(c.blue() - colour.blue()) < 24)
                ++near;
        }
    return image.isNull() ? 0.0 : double(near) / (image.width() * image.height());
}

} // namespace

class TestLoginScreens : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QCoreApplication::setApplicationName(QStringLiteral("MorvaShow"));
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
    }

    void bothPages()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("zbarimg")).isEmpty())
            QSKIP("zbarimg (zbar-tools) is not installed");
        LoginFixture f;
        authport::control().scriptQrCode(0, "https://127.0.0.1:9/qr?c=", "SCREEN-1", 60);
        login *dialog = f.dialog.get();
        dialog->move(60, 60);
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        dialog->findChild<QPushButton *>(QStringLiteral("button_loginbyQRcode"))->click();
        f.settle();

        // The QR page: the code as the screen shows it reads back.
        const QImage qrPage = screenshot(dialog);
        QCOMPARE(qrPage.size(), QSize(360, 425));
        qrPage.save(QCoreApplication::applicationDirPath() + QStringLiteral("/login_qr_page.png"));
        QTemporaryDir folder;
        const QImage code = partOf(qrPage, dialog, dialog->findChild<QLabel *>(QStringLiteral("label_QR_code")));
        QCOMPARE(decodeQr(code, folder.path()), QStringLiteral("https://127.0.0.1:9/qr?c=SCREEN-1"));
        const QImage corner =
            partOf(qrPage, dialog, dialog->findChild<QWidget *>(QStringLiteral("button_loginbypsw")));
        QVERIFY(share(corner, QColor(0xFF, 0x55, 0x00)) > 0.3);
        QVERIFY(share(qrPage, Qt::white) > 0.5);

        // The password page: the sign-in bar and the three account buttons.
        dialog->findChild<QPushButton *>(QStringLiteral("button_loginbypsw"))->click();
        const QImage passwordPage = screenshot(dialog);
        passwordPage.save(QCoreApplication::applicationDirPath() + QStringLiteral("/login_password_page.png"));
        const QImage bar = partOf(passwordPage, dialog, dialog->findChild<QWidget *>(QStringLiteral("button_login")));
        QVERIFY(share(bar, QColor(0xFF, 0x55, 0x00)) > 0.7);
        const struct
        {
            const char *name;
            QColor colour;
        } accounts[] = {{"button_QQ", QColor(0x12, 0xB7, 0xF5)},
                        {"button_WeChat", QColor(0x2D, 0xC1, 0x00)},
                        {"button_MicroBlog", QColor(0xE6, 0x16, 0x2D)}};
        for (const auto &a : accounts) {
            const QImage button = partOf(passwordPage, dialog, dialog->findChild<QWidget *>(QLatin1String(a.name)));
            QVERIFY2(share(button, a.colour) > 0.3, a.name);
        }
        // The QR page's widgets are gone from the screen.
        QVERIFY(share(partOf(passwordPage, dialog, dialog->findChild<QWidget *>(QStringLiteral("label_QR_code"))),
                      Qt::black) < 0.05);
    }
};

QTEST_MAIN(TestLoginScreens)
#include "tst_screens.moc"

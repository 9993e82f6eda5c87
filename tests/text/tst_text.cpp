#include "Md5.h"
#include "TextHelpers.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QColorDialog>
#include <QDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QPointer>
#include <QRandomGenerator>
#include <QTextCodec>
#include <QTimer>
#include <QWidget>
#include <QtTest>

#include <cstring>
#include <string>

namespace {

QByteArray hexOf(const unsigned char *digest)
{
    return QByteArray(reinterpret_cast<const char *>(digest), 16).toHex();
}

QByteArray qtMd5(const QByteArray &data)
{
    return QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex();
}

QByteArray pseudoRandomBytes(int size, quint32 seed)
{
    QRandomGenerator gen(seed);
    QByteArray out(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        out[i] = static_cast<char>(gen.bounded(256));
    return out;
}

// Feeds `data` in pieces of `chunk` bytes.
QByteArray md5InChunks(const QByteArray &data, int chunk)
{
    Md5 md5;
    for (int pos = 0; pos < data.size(); pos += chunk)
        md5.update(data.constData() + pos, size_t(std::min(chunk, data.size() - pos)));
    return hexOf(md5.finalize());
}

} // namespace

class TestMd5 : public QObject
{
    Q_OBJECT

private slots:
    void rfc1321Suite_data();
    void rfc1321Suite();
    void paddingBoundaries_data();
    void paddingBoundaries();
    void everyLengthUpTo300();
    void embeddedZeroByte();
    void finalizeEndsTheMessage();
    void beyond512MiB();
};

void TestMd5::rfc1321Suite_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("digest");
    QTest::newRow("empty") << QByteArray("") << QByteArray("d41d8cd98f00b204e9800998ecf8427e");
    QTest::newRow("a") << QByteArray("a") << QByteArray("0cc175b9c0f1b6a831c399e269772661");
    QTest::newRow("abc") << QByteArray("abc") << QByteArray("900150983cd24fb0d6963f7d28e17f72");
    QTest::newRow("message digest") << QByteArray("message digest")
                                    << QByteArray("f96b697d7cb7938d525a2f31aaf161d0");
    QTest::newRow("alphabet") << QByteArray("abcdefghijklmnopqrstuvwxyz")
                              << QByteArray("c3fcd3d76192e4007dfb496cca67e13b");
    QTest::newRow("alphanumeric")
        << QByteArray("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789")
        << QByteArray("d174ab98d277d9f5a5611c2c9f419d9f");
    QTest::newRow("digits x8")
        << QByteArray("12345678901234567890123456789012345678901234567890123456789012345678901234567890")
        << QByteArray("57edf4a22be3c955ac49da2e2107b67a");
}

void TestMd5::rfc1321Suite()
{
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, digest);

    Md5 whole;
    whole.update(input.constData(), size_t(input.size()));
    QCOMPARE(hexOf(whole.finalize()), digest);
    QCOMPARE(whole.byteCount(), uint64_t(input.size()));

    Md5 bytewise;
    for (char c : input)
        bytewise.update(&c, 1);
    QCOMPARE(hexOf(bytewise.finalize()), digest);

    std::string byRef;
    md5HexString(input.toStdString(), byRef);
    QCOMPARE(QByteArray::fromStdString(byRef), digest);
    std::string byPtr = "previous";
    md5HexString(input.toStdString(), &byPtr);
    QCOMPARE(QByteArray::fromStdString(byPtr), digest);
    md5HexString(input.toStdString(), nullptr); // ignored

    char buffer[40];
    std::memset(buffer, 'x', sizeof buffer);
    md5HexOfBuffer(input.constData(), size_t(input.size()), buffer);
    QCOMPARE(QByteArray(buffer), digest);
}

void TestMd5::paddingBoundaries_data()
{
    QTest::addColumn<int>("length");
    for (int len : {54, 55, 56, 57, 63, 64, 65, 119, 120, 121, 127, 128, 129, 183, 184, 191, 192, 193})
        QTest::newRow(qPrintable(QString::number(len))) << len;
}

void TestMd5::paddingBoundaries()
{
    QFETCH(int, length);
    const QByteArray data = pseudoRandomBytes(length, quint32(length));
    const QByteArray expected = qtMd5(data);
    for (int chunk : {1, 3, 55, 56, 63, 64, 65, 128, length}) {
        if (chunk <= 0)
            continue;
        QVERIFY2(md5InChunks(data, chunk) == expected, qPrintable(QStringLiteral("chunk %1").arg(chunk)));
    }
    char hex[33];
    md5HexOfBuffer(data.constData(), size_t(data.size()), hex);
    QCOMPARE(QByteArray(hex), expected);
}

void TestMd5::everyLengthUpTo300()
{
    const QByteArray data = pseudoRandomBytes(300, 7);
    for (int len = 0; len <= 300; ++len) {
        const QByteArray part = data.left(len);
        QVERIFY2(md5InChunks(part, 64) == qtMd5(part), qPrintable(QString::number(len)));
        // A split at every position of the same message.
        Md5 split;
        const int at = len / 3;
        split.update(part.constData(), size_t(at));
        split.update(part.constData() + at, size_t(len - at));
        QVERIFY2(hexOf(split.finalize()) == qtMd5(part), qPrintable(QString::number(len)));
    }
}

void TestMd5::embeddedZeroByte()
{
    const std::string withZero("abc\0def", 7);
    std::string out;
    md5HexString(withZero, out);
    QCOMPARE(QByteArray::fromStdString(out), QByteArray("900150983cd24fb0d6963f7d28e17f72")); // md5("abc")

    // The buffer form hashes exactly the given length, zero byte included.
    char hex[33];
    md5HexOfBuffer(withZero.data(), withZero.size(), hex);
    QCOMPARE(QByteArray(hex), qtMd5(QByteArray(withZero.data(), 7)));

    Md5 md5;
    md5.update(withZero.data(), withZero.size());
    QCOMPARE(hexOf(md5.finalize()), qtMd5(QByteArray(withZero.data(), 7)));
}

void TestMd5::finalizeEndsTheMessage()
{
    Md5 md5;
    md5.update("abc", 3);
    const QByteArray first = hexOf(md5.finalize());
    md5.update("more", 4);
    QCOMPARE(hexOf(md5.finalize()), first);
    QCOMPARE(md5.byteCount(), uint64_t(3));
    QCOMPARE(Md5::digestSize(), 16);

    md5.init();
    md5.update("a", 1);
    QCOMPARE(hexOf(md5.finalize()), QByteArray("0cc175b9c0f1b6a831c399e269772661"));
}

void TestMd5::beyond512MiB()
{
    // 2^32 bits is 512 MiB; the length must not wrap there.
    const QByteArray block = pseudoRandomBytes(1 << 20, 99);
    const int blocks = 512;
    const QByteArray tail("tail!");
    Md5 md5;
    QCryptographicHash qt(QCryptographicHash::Md5);
    for (int i = 0; i < blocks; ++i) {
        md5.update(block.constData(), size_t(block.size()));
        qt.addData(block);
    }
    md5.update(tail.constData(), size_t(tail.size()));
    qt.addData(tail);
    QCOMPARE(md5.byteCount(), uint64_t(blocks) * (1u << 20) + 5);
    QCOMPARE(hexOf(md5.finalize()), qt.result().toHex());
}

// ---------------------------------------------------------------------------

// A dialog of the given kind that notes its name when it is closed.
template <class Base>
class Recording : public Base
{
public:
    Recording(const QString &name, QWidget *parent, QStringList *closed)
        : Base(parent)
        , m_closed(closed)
    {
        this->setObjectName(name);
        this->setWindowTitle(name);
    }

protected:
    void closeEvent(QCloseEvent *event) override
    {
        m_closed->append(this->objectName());
        Base::closeEvent(event);
    }

private:
    QStringList *m_closed;
};

class TestTextHelpers : public QObject
{
    Q_OBJECT

private slots:
    void utf8AndWideRoundTrip_data();
    void utf8AndWideRoundTrip();
    void localAndAnsiAreUtf8();
    void aspect4x3_data();
    void aspect4x3();
    void aspect16x9_data();
    void aspect16x9();
    void utf8PrefixNeverEndsInsideCharacter_data();
    void utf8PrefixNeverEndsInsideCharacter();
    void closesOwnedVisibleDialogsChildrenFirst();
    void closesNestedModalDialogs();
};

void TestTextHelpers::utf8AndWideRoundTrip_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << QString();
    QTest::newRow("ascii") << QStringLiteral("hello");
    QTest::newRow("chinese") << QStringLiteral("摩瓦直播 欢迎你");
    QTest::newRow("outside the BMP") << QStringLiteral("礼物 😀🎁");
    QTest::newRow("embedded zero") << QString::fromUtf16(u"a\0b", 3);
}

void TestTextHelpers::utf8AndWideRoundTrip()
{
    QFETCH(QString, text);
    const QByteArray utf8Bytes = text.toUtf8();
    const std::string utf8(utf8Bytes.constData(), size_t(utf8Bytes.size()));
    const std::u16string wide = utf8ToWstring(utf8);
    QCOMPARE(wide, text.toStdU16String());
    QCOMPARE(wstringToUtf8(wide), utf8);
}

void TestTextHelpers::localAndAnsiAreUtf8()
{
    const std::string utf8 = QStringLiteral("摩瓦视频").toUtf8().toStdString();
    QCOMPARE(local8BitToUtf8(utf8), utf8);
    QCOMPARE(ansiToWstring(utf8), std::u16string(u"摩瓦视频"));
    QCOMPARE(wstringToAnsi(u"摩瓦视频"), utf8);
    QVERIFY(ansiToWstring(std::string()).empty());
    QVERIFY(wstringToAnsi(std::u16string()).empty());

    // UTF-8 whatever the environment's locale says: a Latin-1 locale must not
    // turn the Chinese text into question marks or mojibake.
    QTextCodec *const before = QTextCodec::codecForLocale();
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("ISO-8859-1"));
    const std::string local = local8BitToUtf8(utf8);
    const std::u16string wide = ansiToWstring(utf8);
    const std::string ansi = wstringToAnsi(u"摩瓦视频");
    QTextCodec::setCodecForLocale(before);
    QCOMPARE(local, utf8);
    QCOMPARE(wide, std::u16string(u"摩瓦视频"));
    QCOMPARE(ansi, utf8);
}

void TestTextHelpers::aspect4x3_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<bool>("expected");
    QTest::newRow("640x480") << 640 << 480 << true;
    QTest::newRow("1280x960") << 1280 << 960 << true;
    QTest::newRow("4x3") << 4 << 3 << true;
    QTest::newRow("1280x720") << 1280 << 720 << false;
    QTest::newRow("0x480") << 0 << 480 << false;
    QTest::newRow("640x0") << 640 << 0 << false;
    QTest::newRow("641x480") << 641 << 480 << false;
    QTest::newRow("negative height") << 640 << -480 << false;
    QTest::newRow("both negative") << -640 << -480 << false;
    QTest::newRow("large, no overflow") << 2147483644 << 1610612733 << true;
}

void TestTextHelpers::aspect4x3()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(bool, expected);
    QCOMPARE(isAspect4x3(width, height), expected);
}

void TestTextHelpers::aspect16x9_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<bool>("expected");
    QTest::newRow("1280x720") << 1280 << 720 << true;
    QTest::newRow("1920x1080") << 1920 << 1080 << true;
    QTest::newRow("640x360") << 640 << 360 << true;
    QTest::newRow("640x480") << 640 << 480 << false;
    QTest::newRow("854x480") << 854 << 480 << false;
    QTest::newRow("0x720") << 0 << 720 << false;
    QTest::newRow("1280x0") << 1280 << 0 << false;
    QTest::newRow("negative width") << -1280 << 720 << false;
}

void TestTextHelpers::aspect16x9()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(bool, expected);
    QCOMPARE(isAspect16x9(width, height), expected);
}

void TestTextHelpers::utf8PrefixNeverEndsInsideCharacter_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("expected");
    QTest::newRow("ascii") << QByteArray("abcdef") << 4 << 4;
    QTest::newRow("whole 2-byte") << QByteArray("a\xc3\xa9z") << 3 << 3;
    QTest::newRow("half 2-byte") << QByteArray("a\xc3\xa9z") << 2 << 1;
    QTest::newRow("3-byte, 1 of 3") << QByteArray("ab\xe4\xb8\xad") << 3 << 2;
    QTest::newRow("3-byte, 2 of 3") << QByteArray("ab\xe4\xb8\xad") << 4 << 2;
    QTest::newRow("3-byte whole") << QByteArray("ab\xe4\xb8\xad") << 5 << 5;
    QTest::newRow("4-byte, 3 of 4") << QByteArray("\xf0\x9f\x98\x80") << 3 << 0;
    QTest::newRow("stray continuation") << QByteArray("\x80\x80\x80\x80\x80") << 5 << 5;
}

void TestTextHelpers::utf8PrefixNeverEndsInsideCharacter()
{
    QFETCH(QByteArray, text);
    QFETCH(int, length);
    QFETCH(int, expected);
    QCOMPARE(utf8CompletePrefixLength(text.constData(), length), expected);
}

void TestTextHelpers::closesOwnedVisibleDialogsChildrenFirst()
{
    QStringList closed;
    QWidget main;
    main.setObjectName(QStringLiteral("main"));
    auto *inner = new QWidget(&main);
    main.show();
    QWidget other;
    other.show();

    auto *owned = new Recording<QFileDialog>(QStringLiteral("owned"), &main, &closed);
    auto *ownedByOwned = new Recording<QColorDialog>(QStringLiteral("ownedByOwned"), owned, &closed);
    auto *viaChild = new Recording<QFontDialog>(QStringLiteral("viaChild"), inner, &closed);
    auto *hidden = new Recording<QFileDialog>(QStringLiteral("hidden"), &main, &closed);
    auto *foreign = new Recording<QFileDialog>(QStringLiteral("foreign"), &other, &closed);
    Recording<QColorDialog> parentless(QStringLiteral("parentless"), nullptr, &closed);
    // The program's own dialog (the room tool is one) stays, and so does a
    // standard dialog that it owns.
    auto *ownDialog = new Recording<QDialog>(QStringLiteral("ownDialog"), &main, &closed);
    auto *viaOwnDialog = new Recording<QFileDialog>(QStringLiteral("viaOwnDialog"), ownDialog, &closed);
    auto *plainWindow = new QWidget(&main, Qt::Window);
    for (QWidget *w : std::initializer_list<QWidget *>{owned, ownedByOwned, viaChild, foreign, &parentless,
                                                       ownDialog, viaOwnDialog, plainWindow})
        w->show();

    closeOwnedDialogs(&main);

    QVERIFY(closed.contains(QStringLiteral("owned")));
    QVERIFY(closed.contains(QStringLiteral("viaChild")));
    QVERIFY(closed.indexOf(QStringLiteral("ownedByOwned")) >= 0);
    QVERIFY(closed.indexOf(QStringLiteral("ownedByOwned")) < closed.indexOf(QStringLiteral("owned")));
    QCOMPARE(closed.size(), 3);
    QVERIFY(!owned->isVisible());
    QVERIFY(!ownedByOwned->isVisible());
    QVERIFY(!viaChild->isVisible());
    QVERIFY(!hidden->isVisible());
    QVERIFY(foreign->isVisible());
    QVERIFY(parentless.isVisible());
    QVERIFY(ownDialog->isVisible());
    QVERIFY(viaOwnDialog->isVisible());
    QVERIFY(plainWindow->isVisible());
    QVERIFY(main.isVisible());

    closeOwnedDialogs(nullptr); // ignored
}

void TestTextHelpers::closesNestedModalDialogs()
{
    QStringList closed;
    QWidget main;
    main.show();
    Recording<QFileDialog> outer(QStringLiteral("outer"), &main, &closed);
    Recording<QColorDialog> inner(QStringLiteral("inner"), &outer, &closed);
    int innerResult = -1;

    // Outer runs modally; inside it, inner runs modally; inside that, the
    // owner's dialogs are closed. Both loops must end.
    QTimer::singleShot(0, &outer, [&] {
        QTimer::singleShot(0, &inner, [&] { closeOwnedDialogs(&main); });
        innerResult = inner.exec();
    });
    // Safety net so that a fault fails the test instead of hanging it.
    QTimer::singleShot(5000, &outer, [&] { inner.reject(); outer.reject(); closed << QStringLiteral("timeout"); });
    const int outerResult = outer.exec();

    QCOMPARE(closed, (QStringList{QStringLiteral("inner"), QStringLiteral("outer")}));
    QCOMPARE(innerResult, int(QDialog::Rejected));
    QCOMPARE(outerResult, int(QDialog::Rejected));
}

int main(int argc, char **argv)
{
    // The widget-drawn standard dialogs, whatever the platform offers.
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    QApplication app(argc, argv);
    int status = 0;
    {
        TestMd5 t;
        status |= QTest::qExec(&t, argc, argv);
    }
    {
        TestTextHelpers t;
        status |= QTest::qExec(&t, argc, argv);
    }
    return status;
}

#include "tst_text.moc"

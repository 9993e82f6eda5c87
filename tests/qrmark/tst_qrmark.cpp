#include "QrMark.h"
#include "TempEnvironment.h"

#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

#include <memory>
#include <thread>

namespace {

struct MatrixFree
{
    void operator()(QrCodeMatrix *m) const { freeQrMatrix(m); }
};
using MatrixPtr = std::unique_ptr<QrCodeMatrix, MatrixFree>;

// The dialog's call: smallest version, level L, 8-bit, case-sensitive.
MatrixPtr encodeLikeTheDialog(const QByteArray &text)
{
    return MatrixPtr(encodeQrText(text.constData(), 1, 0, 2, 1));
}

// One module per `scale` pixels, with the four-module quiet zone a reader needs.
QImage render(const QrCodeMatrix &m, int scale = 4)
{
    const int quiet = 4;
    const int side = (m.width + 2 * quiet) * scale;
    QImage img(side, side, QImage::Format_Grayscale8);
    img.fill(255);
    for (int y = 0; y < m.width; ++y)
        for (int x = 0; x < m.width; ++x)
            if (m.data[y * m.width + x] & 1)
                for (int dy = 0; dy < scale; ++dy) {
                    uchar *line = img.scanLine((y + quiet) * scale + dy);
                    memset(line + (x + quiet) * scale, 0, size_t(scale));
                }
    return img;
}

} // namespace

class TestQrMark : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void matrixDecodesToItsText_data();
    void matrixDecodesToItsText();
    void onlyBitZeroMeansDark();
    void levelSetsTheCapacity_data();
    void levelSetsTheCapacity();
    void refusesWhatItCannotEncode_data();
    void refusesWhatItCannotEncode();
    void forcedFailureAndResult();
    void freeAcceptsNullAndIgnoresStrangers();
    void gatesHoldEncodeAndFree();

private:
    std::unique_ptr<testsupport::TempEnvironment> m_env;
};

void TestQrMark::init()
{
    m_env = std::make_unique<testsupport::TempEnvironment>();
    qrmark::reset();
}

void TestQrMark::cleanup()
{
    QCOMPARE(qrmark::liveMatrices(), 0);
    m_env.reset();
}

void TestQrMark::matrixDecodesToItsText_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("url and code") << QByteArray("https://passport.morva.example/qr?c=ab12CD34ef56");
    QTest::newRow("digits") << QByteArray("0123456789012345678901234567890123456789");
    QTest::newRow("mixed case kept") << QByteArray("AbCdEfGhIjKlMnOpQrStUvWxYz");
    QTest::newRow("utf-8 text") << QStringLiteral("摩瓦直播 https://m.example/扫码").toUtf8();
    QTest::newRow("long text grows the version")
        << QByteArray("https://passport.morva.example/login/qrcode?token=").append(QByteArray(300, 'x'));
}

void TestQrMark::matrixDecodesToItsText()
{
    QFETCH(QByteArray, text);
    const QString zbarimg = QStandardPaths::findExecutable(QStringLiteral("zbarimg"));
    if (zbarimg.isEmpty())
        QSKIP("zbarimg (zbar-tools) is not installed");

    MatrixPtr m = encodeLikeTheDialog(text);
    QVERIFY(m);
    QVERIFY(m->version >= 1);
    QCOMPARE(m->width, 17 + 4 * m->version);
    QVERIFY(m->data);
    if (text.size() > 200)
        QVERIFY(m->version > 1);

    const QString png = m_env->root() + QStringLiteral("/code.png");
    QVERIFY(render(*m).save(png));

    QProcess zbar;
    zbar.start(zbarimg, {QStringLiteral("--quiet"), QStringLiteral("--raw"), png});
    QVERIFY(zbar.waitForFinished(30000));
    QCOMPARE(zbar.exitCode(), 0);
    QCOMPARE(zbar.readAllStandardOutput().trimmed(), text);
}

void TestQrMark::onlyBitZeroMeansDark()
{
    MatrixPtr m = encodeLikeTheDialog("bit test");
    QVERIFY(m);
    // The finder pattern's corner is dark, the separator beside it light.
    QCOMPARE(m->data[0] & 1, 1);
    QCOMPARE(m->data[7] & 1, 0);
    QCOMPARE(m->data[m->width * 7] & 1, 0);
}

void TestQrMark::levelSetsTheCapacity_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<int>("bytes");
    QTest::addColumn<int>("version");
    // Byte-mode capacity of version 1: 17 at L, 14 at M.
    QTest::newRow("L, 17 bytes") << 0 << 17 << 1;
    QTest::newRow("L, 18 bytes") << 0 << 18 << 2;
    QTest::newRow("M, 17 bytes") << 1 << 17 << 2;
    QTest::newRow("H, 17 bytes") << 3 << 17 << 3;
}

void TestQrMark::levelSetsTheCapacity()
{
    QFETCH(int, level);
    QFETCH(int, bytes);
    QFETCH(int, version);
    // Lower case is outside the alphanumeric set, so every byte is 8-bit data.
    MatrixPtr m(encodeQrText(QByteArray(bytes, 'q').constData(), 1, level, 2, 1));
    QVERIFY(m);
    QCOMPARE(m->version, version);
    QCOMPARE(m->width, 17 + 4 * version);
}

void TestQrMark::refusesWhatItCannotEncode_data()
{
    QTest::addColumn<bool>("nullText");
    QTest::addColumn<int>("version");
    QTest::addColumn<int>("level");
    QTest::addColumn<int>("mode");
    QTest::newRow("null text") << true << 1 << 0 << 2;
    QTest::newRow("numeric hint") << false << 1 << 0 << 0;
    QTest::newRow("level beyond H") << false << 1 << 4 << 2;
    QTest::newRow("negative level") << false << 1 << -1 << 2;
    QTest::newRow("version beyond 40") << false << 41 << 0 << 2;
    QTest::newRow("negative version") << false << -1 << 0 << 2;
}

void TestQrMark::refusesWhatItCannotEncode()
{
    QFETCH(bool, nullText);
    QFETCH(int, version);
    QFETCH(int, level);
    QFETCH(int, mode);
    QVERIFY(!encodeQrText(nullText ? nullptr : "text", version, level, mode, 1));
    QCOMPARE(qrmark::encodeCount(), 1);
    QCOMPARE(qrmark::liveMatrices(), 0);
}

void TestQrMark::forcedFailureAndResult()
{
    qrmark::forceNextFailure();
    qrmark::forceNextResult(1, 2, {1, 2, 3});
    qrmark::forceNextResult(0, 0, {});

    QVERIFY(!encodeLikeTheDialog("any"));

    MatrixPtr forced = encodeLikeTheDialog("any");
    QVERIFY(forced);
    QCOMPARE(forced->version, 1);
    QCOMPARE(forced->width, 2);
    const QByteArray modules(reinterpret_cast<const char *>(forced->data), 4);
    QCOMPARE(modules, QByteArray("\x01\x02\x03\x00", 4)); // short data padded light

    MatrixPtr empty = encodeLikeTheDialog("any");
    QVERIFY(empty);
    QCOMPARE(empty->width, 0);
    // A reader that guards width 0 as one module still reads a light byte.
    QVERIFY(empty->data);
    QCOMPARE(empty->data[0] & 1, 0);

    // Forcing is one call each; then encoding resumes.
    MatrixPtr real = encodeLikeTheDialog("any");
    QVERIFY(real);
    QCOMPARE(real->width, 21);

    QCOMPARE(qrmark::encodeCount(), 4);
    QCOMPARE(qrmark::liveMatrices(), 3);
    const auto calls = qrmark::callLog().of("encodeQrText");
    QCOMPARE(int(calls.size()), 4);
    QCOMPARE(calls[0].args, (std::vector<std::string>{"any", "1", "0", "2", "1"}));
}

void TestQrMark::freeAcceptsNullAndIgnoresStrangers()
{
    freeQrMatrix(nullptr);
    QrCodeMatrix stranger{1, 21, nullptr};
    freeQrMatrix(&stranger);
    QCOMPARE(qrmark::freeCount(), 0);

    QrCodeMatrix *m = encodeQrText("once", 1, 0, 2, 1);
    QVERIFY(m);
    freeQrMatrix(m);
    freeQrMatrix(m); // a second free of the same result changes nothing
    QCOMPARE(qrmark::freeCount(), 1);
    QCOMPARE(qrmark::liveMatrices(), 0);
    const auto frees = qrmark::callLog().of("freeQrMatrix");
    QCOMPARE(int(frees.size()), 4);
    QCOMPARE(frees[0].args.front(), std::string("ignored"));
    QCOMPARE(frees[2].args.front(), std::string("freed"));
    QCOMPARE(frees[3].args.front(), std::string("ignored"));
}

void TestQrMark::gatesHoldEncodeAndFree()
{
    MatrixPtr other = encodeLikeTheDialog("other");
    // A test holds the dialog's encoding where it calls it.
    qrmark::gates().close("encodeQrText");
    MatrixPtr held;
    std::thread worker([&] { held = encodeLikeTheDialog("held"); });
    QVERIFY(qrmark::gates().waitForWaiting("encodeQrText", 1, 5000));
    QVERIFY(!qrmark::waitIdle(0));
    QCOMPARE(qrmark::liveMatrices(), 1);
    qrmark::gates().open("encodeQrText");
    QVERIFY(qrmark::waitIdle(5000));
    worker.join();
    QVERIFY(held);
    QCOMPARE(qrmark::liveMatrices(), 2);

    qrmark::gates().close("freeQrMatrix");
    std::thread freer([&] { held.reset(); });
    QVERIFY(qrmark::gates().waitForWaiting("freeQrMatrix", 1, 5000));
    QVERIFY(!qrmark::waitIdle(0));
    QCOMPARE(qrmark::liveMatrices(), 2);
    qrmark::reset(); // opens every gate
    QVERIFY(qrmark::waitIdle(5000));
    freer.join();
    QCOMPARE(qrmark::liveMatrices(), 1);
}

QTEST_GUILESS_MAIN(TestQrMark)
#include "tst_qrmark.moc"

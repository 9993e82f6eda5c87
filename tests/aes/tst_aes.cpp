#include "SttAES.h"

#include <QtTest>

namespace {

QByteArray run(const SttAES &aes, bool encrypt, const QByteArray &input)
{
    QByteArray out(input.size(), '\0');
    const bool ok = encrypt
        ? aes.Encrypt(out.data(), input.constData(), unsigned(input.size()))
        : aes.Decrypt(out.data(), input.constData(), unsigned(input.size()));
    return ok ? out : QByteArray("failed");
}

const QByteArray kKey128 = QByteArray::fromHex("000102030405060708090a0b0c0d0e0f");
const QByteArray kPlain = QByteArray::fromHex("00112233445566778899aabbccddeeff");
const QByteArray kCipher128 = QByteArray::fromHex("69c4e0d86a7b0430d8cdb78070b4c55a");

} // namespace

class TestAes : public QObject
{
    Q_OBJECT

private slots:
    void fipsVectors_data();
    void fipsVectors();
    void badKeyLengthKeepsPreviousKey_data();
    void badKeyLengthKeepsPreviousKey();
    void partialBlockWritesNothing_data();
    void partialBlockWritesNothing();
    void zeroLengthAndMissingKey();
    void inPlaceMatchesSeparateBuffers();
    void equalBlocksGiveEqualCiphertext();
    void describesItsSizes();
    void frameCipherUsesTheSharedKey();
};

void TestAes::fipsVectors_data()
{
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("plain");
    QTest::addColumn<QByteArray>("cipher");

    QTest::newRow("appendix B, 128")
        << QByteArray::fromHex("2b7e151628aed2a6abf7158809cf4f3c")
        << QByteArray::fromHex("3243f6a8885a308d313198a2e0370734")
        << QByteArray::fromHex("3925841d02dc09fbdc118597196a0b32");
    QTest::newRow("C.1, 128") << kKey128 << kPlain << kCipher128;
    QTest::newRow("C.2, 192")
        << QByteArray::fromHex("000102030405060708090a0b0c0d0e0f1011121314151617") << kPlain
        << QByteArray::fromHex("dda97ca4864cdfe06eaf70a0ec0d7191");
    QTest::newRow("C.3, 256")
        << QByteArray::fromHex("000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f")
        << kPlain << QByteArray::fromHex("8ea2b7ca516745bfeafc49904b496089");
}

void TestAes::fipsVectors()
{
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, plain);
    QFETCH(QByteArray, cipher);

    SttAES aes(key.constData(), key.size());
    QCOMPARE(aes.KeyLength(), key.size());
    QCOMPARE(run(aes, true, plain).toHex(), cipher.toHex());
    QCOMPARE(run(aes, false, cipher).toHex(), plain.toHex());

    // A key set later replaces the schedule of the first.
    SttAES rekeyed(kKey128.constData(), kKey128.size());
    QVERIFY(rekeyed.SetKey(key.constData(), key.size()));
    QCOMPARE(run(rekeyed, true, plain).toHex(), cipher.toHex());
}

void TestAes::badKeyLengthKeepsPreviousKey_data()
{
    QTest::addColumn<int>("length");
    QTest::newRow("0") << 0;
    QTest::newRow("15") << 15;
    QTest::newRow("17") << 17;
    QTest::newRow("20") << 20;
    QTest::newRow("31") << 31;
    QTest::newRow("33") << 33;
    QTest::newRow("negative") << -16;
}

void TestAes::badKeyLengthKeepsPreviousKey()
{
    QFETCH(int, length);
    SttAES aes(kKey128.constData(), kKey128.size());
    const QByteArray other(64, '\x5a');
    QVERIFY(!aes.SetKey(other.constData(), length));
    QCOMPARE(aes.KeyLength(), 16);
    QCOMPARE(run(aes, true, kPlain).toHex(), kCipher128.toHex());

    SttAES unkeyed;
    QVERIFY(!unkeyed.SetKey(other.constData(), length));
    QCOMPARE(unkeyed.KeyLength(), 0);
}

void TestAes::partialBlockWritesNothing_data()
{
    QTest::addColumn<bool>("encrypt");
    QTest::addColumn<int>("length");
    for (int length : {1, 15, 17, 31, 33}) {
        QTest::addRow("encrypt %d", length) << true << length;
        QTest::addRow("decrypt %d", length) << false << length;
    }
}

void TestAes::partialBlockWritesNothing()
{
    QFETCH(bool, encrypt);
    QFETCH(int, length);
    SttAES aes(kKey128.constData(), kKey128.size());
    const QByteArray source(64, '\x11');
    QByteArray destination(64, '\xAA');
    const bool ok = encrypt ? aes.Encrypt(destination.data(), source.constData(), unsigned(length))
                            : aes.Decrypt(destination.data(), source.constData(), unsigned(length));
    QVERIFY(!ok);
    QCOMPARE(destination, QByteArray(64, '\xAA'));
}

void TestAes::zeroLengthAndMissingKey()
{
    SttAES unkeyed;
    QCOMPARE(unkeyed.KeyLength(), 0);
    char block[16] = {};
    QVERIFY(unkeyed.Encrypt(block, block, 0));
    QVERIFY(unkeyed.Decrypt(block, block, 0));
    // Without a key nothing would be enciphered: refused, the buffer untouched.
    QVERIFY(!unkeyed.Encrypt(block, block, 16));
    QCOMPARE(QByteArray(block, 16), QByteArray(16, '\0'));

    SttAES nullKey(nullptr, 32);
    QCOMPARE(nullKey.KeyLength(), 0);

    SttAES keyed(kKey128.constData(), kKey128.size());
    QVERIFY(keyed.Encrypt(nullptr, nullptr, 0));
}

void TestAes::inPlaceMatchesSeparateBuffers()
{
    const QByteArray key = QByteArray::fromHex(
        "603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4");
    SttAES aes(key.constData(), key.size());
    QByteArray plain(16 * 37, '\0');
    for (int i = 0; i < plain.size(); ++i)
        plain[i] = char(i * 7 + 3);

    const QByteArray separate = run(aes, true, plain);
    QByteArray buffer = plain;
    QVERIFY(aes.Encrypt(buffer.data(), buffer.constData(), unsigned(buffer.size())));
    QCOMPARE(buffer, separate);
    QVERIFY(aes.Decrypt(buffer.data(), buffer.constData(), unsigned(buffer.size())));
    QCOMPARE(buffer, plain);

    // NIST SP 800-38A, ECB-AES256, first block.
    QCOMPARE(run(aes, true, QByteArray::fromHex("6bc1bee22e409f96e93d7e117393172a")).toHex(),
             QByteArray("f3eed1bdb5d2a03c064b5a7e3db181f8"));
}

void TestAes::equalBlocksGiveEqualCiphertext()
{
    SttAES aes(kKey128.constData(), kKey128.size());
    const QByteArray twoBlocks = kPlain + kPlain;
    const QByteArray cipher = run(aes, true, twoBlocks);
    QCOMPARE(cipher.left(16).toHex(), kCipher128.toHex());
    QCOMPARE(cipher.mid(16).toHex(), kCipher128.toHex());
}

void TestAes::describesItsSizes()
{
    SttAES aes;
    QCOMPARE(aes.BlockSize(), 16);
    const int *sizes = aes.KeySizes();
    QCOMPARE(sizes[0], 32);
    QCOMPARE(sizes[1], 24);
    QCOMPARE(sizes[2], 16);
    QCOMPARE(sizes[3], 0);
}

void TestAes::frameCipherUsesTheSharedKey()
{
    // Peers carry these bytes: changing them breaks every enciphered frame.
    const QByteArray sharedKey = QByteArray::fromHex(
        "6f7fa9e73d044d34858ef144d9732e3f02ec8f5b5e296cdb41b78a2ad0d8338b");
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(SttFrameKey), 32).toHex(), sharedKey.toHex());
    QCOMPARE(SttGlobalAES().KeyLength(), 32);

    SttAES peer(sharedKey.constData(), sharedKey.size());
    QCOMPARE(run(SttGlobalAES(), true, kPlain).toHex(), run(peer, true, kPlain).toHex());
}

QTEST_GUILESS_MAIN(TestAes)
#include "tst_aes.moc"

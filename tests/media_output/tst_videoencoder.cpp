// The H.264 encoder: the canvas's colours as a viewer decodes them, whatever
// road its conversion takes, and the threads x264 runs on.

#include "MediaInspector.h"
#include "TempEnvironment.h"
#include "ThreadNames.h"
#include "VideoEncoder.h"

#include <QFile>
#include <QPainter>
#include <QtTest>

#include <pthread.h>

#include <string>
#include <thread>

extern "C" {
#include <libavcodec/avcodec.h>
}

using namespace castcore;

namespace {

QImage quarteredCanvas(const QSize &size)
{
    QImage canvas(size, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&canvas);
    const int w = size.width() / 2, h = size.height() / 2;
    p.fillRect(0, 0, w, h, testsupport::kQuarters[0]);
    p.fillRect(w, 0, size.width() - w, h, testsupport::kQuarters[1]);
    p.fillRect(0, h, w, size.height() - h, testsupport::kQuarters[2]);
    p.fillRect(w, h, size.width() - w, size.height() - h, testsupport::kQuarters[3]);
    return canvas;
}

} // namespace

class TestVideoEncoder : public QObject
{
    Q_OBJECT
private slots:
    void canvasColoursSurviveEncoding_data();
    void canvasColoursSurviveEncoding();
    void threadCountByCores_data();
    void threadCountByCores();
    void x264RunsThatManyThreads();
};

void TestVideoEncoder::canvasColoursSurviveEncoding_data()
{
    QTest::addColumn<QSize>("canvas");
    QTest::addColumn<QSize>("encoder");
    QTest::addColumn<QSize>("decoded");
    QTest::newRow("encoder's size") << QSize(320, 240) << QSize(320, 240) << QSize(320, 240);
    QTest::newRow("odd size, last column and row left out") << QSize(321, 241) << QSize(321, 241) << QSize(320, 240);
    QTest::newRow("canvas of another size, scaled") << QSize(640, 480) << QSize(320, 240) << QSize(320, 240);
}

void TestVideoEncoder::canvasColoursSurviveEncoding()
{
    QFETCH(QSize, canvas);
    QFETCH(QSize, encoder);
    QFETCH(QSize, decoded);
    testsupport::TempEnvironment env;
    const QString path = env.root() + QStringLiteral("/video.h264");
    VideoEncoder video;
    std::string error;
    QVERIFY2(video.open(encoder.width(), encoder.height(), 25, 2000000, &error), error.c_str());

    // The stream as a raw H.264 file: the parameter sets, then the pictures.
    AVCodecParameters *params = avcodec_parameters_alloc();
    QVERIFY(video.parameters(params));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(reinterpret_cast<const char *>(params->extradata), params->extradata_size);
    avcodec_parameters_free(&params);
    const auto write = [&](AVPacket *packet) { file.write(reinterpret_cast<const char *>(packet->data), packet->size); };
    const QImage picture = quarteredCanvas(canvas);
    for (int i = 0; i < 5; ++i)
        QVERIFY(video.encode(picture, i, i == 0, write));
    video.flush(write);
    file.close();

    const testsupport::MediaSummary media = testsupport::inspectMedia(path, 4);
    QVERIFY(media.opened);
    QCOMPARE(media.videoFrames, 5);
    QCOMPARE(media.picture.size(), decoded);
    // Inside each quarter, clear of the edges that 4:2:0 and the scaler blur.
    const int w = decoded.width() / 2, h = decoded.height() / 2;
    const QRect areas[4] = {QRect(8, 8, w - 16, h - 16), QRect(w + 8, 8, w - 16, h - 16),
                            QRect(8, h + 8, w - 16, h - 16), QRect(w + 8, h + 8, w - 16, h - 16)};
    for (int i = 0; i < 4; ++i) {
        QString why;
        QVERIFY2(testsupport::areaHasColour(media.picture, areas[i], testsupport::kQuarters[i], 6, &why), qPrintable(why));
    }
}

void TestVideoEncoder::threadCountByCores_data()
{
    QTest::addColumn<unsigned>("cores");
    QTest::addColumn<int>("threads");
    QTest::newRow("unknown") << 0u << 1;
    QTest::newRow("1") << 1u << 1;
    QTest::newRow("2") << 2u << 1;
    QTest::newRow("3") << 3u << 1;
    QTest::newRow("4") << 4u << 2;
    QTest::newRow("6") << 6u << 3;
    QTest::newRow("8") << 8u << 4;
    QTest::newRow("16") << 16u << 4;
    QTest::newRow("64") << 64u << 4;
}

void TestVideoEncoder::threadCountByCores()
{
    QFETCH(unsigned, cores);
    QFETCH(int, threads);
    QCOMPARE(VideoEncoder::threadCount(cores), threads);
}

// x264's threads carry its name, whichever thread opens the encoder; the
// opener keeps its own.
void TestVideoEncoder::x264RunsThatManyThreads()
{
    const QString name = QStringLiteral("encoder-probe");
    int x264Threads = -1;
    int openers = -1;
    std::string error;
    std::thread worker([&] {
        pthread_setname_np(pthread_self(), name.toUtf8().constData());
        VideoEncoder video;
        if (!video.open(1280, 720, 25, 2500000, &error))
            return;
        const QImage canvas = quarteredCanvas(QSize(1280, 720));
        for (int i = 0; i < 3; ++i)
            video.encode(canvas, i, i == 0, [](AVPacket *) {});
        const QStringList names = testsupport::threadNames();
        x264Threads = names.count(QStringLiteral("x264"));
        openers = names.count(name);
    });
    worker.join();
    QVERIFY2(error.empty(), error.c_str());
    QCOMPARE(openers, 1);
    // One thread encodes on the caller's thread and starts none.
    const int slices = VideoEncoder::threadCount(std::thread::hardware_concurrency());
    QCOMPARE(x264Threads, slices > 1 ? slices : 0);
}

std::unique_ptr<QObject> makeVideoEncoderTest()
{
    return std::make_unique<TestVideoEncoder>();
}

#include "tst_videoencoder.moc"

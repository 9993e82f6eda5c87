// The preview overlay's published state: the selected item's frame in
// preview pixels, its handles, and the figures line, each as the painter
// gets it, without a scene or a window.

#include "PreviewOverlayState.h"

#include <QtTest>

#include <optional>

Q_DECLARE_METATYPE(std::optional<QRect>)

class PreviewOverlayTest : public QObject
{
    Q_OBJECT

private slots:
    void frameInPreviewPixels_data();
    void frameInPreviewPixels();
    void figuresLine_data();
    void figuresLine();
    void figuresFollowEachReport();
    void publishedStateNeverChanges();
};

void PreviewOverlayTest::frameInPreviewPixels_data()
{
    QTest::addColumn<QSize>("preview");
    QTest::addColumn<QSize>("canvas");
    QTest::addColumn<std::optional<QRect>>("placed"); // on the canvas
    QTest::addColumn<bool>("resizable");
    QTest::addColumn<std::optional<QRect>>("frame"); // on the preview
    QTest::addColumn<bool>("handles");

    const QSize preview(800, 450);
    const QSize canvas(1280, 720);
    QTest::newRow("5/8 of the canvas") << preview << canvas << std::optional<QRect>(QRect(320, 176, 640, 352)) << true
                                       << std::optional<QRect>(QRect(200, 110, 400, 220)) << true;
    QTest::newRow("locked against resizing")
        << preview << canvas << std::optional<QRect>(QRect(320, 176, 640, 352)) << false
        << std::optional<QRect>(QRect(200, 110, 400, 220)) << false;
    QTest::newRow("fractions drop") << preview << canvas << std::optional<QRect>(QRect(321, 179, 333, 101)) << true
                                    << std::optional<QRect>(QRect(200, 111, 208, 63)) << true;
    QTest::newRow("left of and above the canvas, toward zero")
        << preview << canvas << std::optional<QRect>(QRect(-161, -91, 320, 180)) << true
        << std::optional<QRect>(QRect(-100, -56, 200, 112)) << true;
    // The origin scales as the widths do, not by the fitted, centred
    // mapping: the frame has always been drawn so.
    QTest::newRow("wider preview") << QSize(1000, 450) << canvas << std::optional<QRect>(QRect(320, 180, 640, 360))
                                   << true << std::optional<QRect>(QRect(250, 112, 500, 225)) << true;
    QTest::newRow("4:3 canvas") << preview << QSize(960, 720) << std::optional<QRect>(QRect(480, 360, 480, 360))
                                << true << std::optional<QRect>(QRect(400, 225, 400, 225)) << true;
    QTest::newRow("no scene yet: every length 0")
        << QSize(0, 0) << QSize(0, 0) << std::optional<QRect>(QRect(320, 176, 640, 352)) << true
        << std::optional<QRect>(QRect(0, 0, 0, 0)) << true;
    QTest::newRow("nothing selected") << preview << canvas << std::optional<QRect>() << true << std::optional<QRect>()
                                      << false;
}

void PreviewOverlayTest::frameInPreviewPixels()
{
    QFETCH(QSize, preview);
    QFETCH(QSize, canvas);
    QFETCH(std::optional<QRect>, placed);
    QFETCH(bool, resizable);
    QFETCH(std::optional<QRect>, frame);
    QFETCH(bool, handles);
    PreviewOverlayState state;
    state.setSelection(PreviewMapping(preview.width(), preview.height(), canvas.width(), canvas.height()), placed,
                       resizable);
    const std::shared_ptr<const PreviewOverlay> overlay = state.current();
    QVERIFY(overlay);
    QCOMPARE(overlay->frame, frame);
    QCOMPARE(overlay->resizable, handles);
}

void PreviewOverlayTest::figuresLine_data()
{
    QTest::addColumn<int>("quality");
    QTest::addColumn<QString>("text");
    QTest::newRow("0") << 0 << QStringLiteral("CPU：12%    内存：34%    FPS：25    普清");
    QTest::newRow("1") << 1 << QStringLiteral("CPU：12%    内存：34%    FPS：25    高清");
    QTest::newRow("2") << 2 << QStringLiteral("CPU：12%    内存：34%    FPS：25    超清");
    QTest::newRow("3") << 3 << QStringLiteral("CPU：12%    内存：34%    FPS：25");
    QTest::newRow("-1") << -1 << QStringLiteral("CPU：12%    内存：34%    FPS：25");
}

void PreviewOverlayTest::figuresLine()
{
    QFETCH(int, quality);
    QFETCH(QString, text);
    QCOMPARE(PreviewOverlayState::figuresLine(12, 34, 25, quality), text);
}

void PreviewOverlayTest::figuresFollowEachReport()
{
    PreviewOverlayState state;
    QCOMPARE(state.current()->figures, QStringLiteral("CPU：0%    内存：0%    FPS：0    普清"));
    QCOMPARE(state.current()->figuresPicture.size(), QSize(260, 22));
    state.setQuality(1);
    QCOMPARE(state.current()->figures, QStringLiteral("CPU：0%    内存：0%    FPS：0    高清"));
    state.setPerformance(87, 65);
    QCOMPARE(state.current()->figures, QStringLiteral("CPU：87%    内存：65%    FPS：0    高清"));
    state.setFps(30);
    QCOMPARE(state.current()->figures, QStringLiteral("CPU：87%    内存：65%    FPS：30    高清"));
    // A selection leaves the figures and their picture as they were.
    const qint64 picture = state.current()->figuresPicture.cacheKey();
    state.setSelection(PreviewMapping(800, 450, 1280, 720), QRect(0, 0, 160, 90), true);
    QCOMPARE(state.current()->figures, QStringLiteral("CPU：87%    内存：65%    FPS：30    高清"));
    QCOMPARE(state.current()->figuresPicture.cacheKey(), picture);
}

// The painter may still hold a state while the next one is published.
void PreviewOverlayTest::publishedStateNeverChanges()
{
    PreviewOverlayState state;
    const PreviewMapping mapping(800, 450, 1280, 720);
    state.setSelection(mapping, QRect(320, 176, 640, 352), true);
    const std::shared_ptr<const PreviewOverlay> held = state.current();
    state.setSelection(mapping, QRect(480, 240, 640, 352), false);
    state.setPerformance(50, 50);
    QCOMPARE(held->frame, std::optional<QRect>(QRect(200, 110, 400, 220)));
    QVERIFY(held->resizable);
    QCOMPARE(held->figures, QStringLiteral("CPU：0%    内存：0%    FPS：0    普清"));
    QCOMPARE(state.current()->frame, std::optional<QRect>(QRect(300, 150, 400, 220)));
    // The same inputs again publish nothing new.
    const std::shared_ptr<const PreviewOverlay> now = state.current();
    state.setSelection(mapping, QRect(480, 240, 640, 352), false);
    state.setPerformance(50, 50);
    QCOMPARE(state.current(), now);
}

QTEST_MAIN(PreviewOverlayTest)
#include "tst_previewoverlay.moc"

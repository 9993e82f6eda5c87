// Mouse editing on the preview without a window: coordinate conversions,
// the item picked under the pointer, frame handles and cursors, moving and
// resizing with their clamps, and the press-drag-release sequence.

#include "PreviewEditor.h"
#include "PreviewMapping.h"

#include <QtTest>

#include <vector>

Q_DECLARE_METATYPE(Qt::CursorShape)

namespace {

// Preview 1000 x 500 over a 1216 x 684 canvas: shown 888 wide from x 55.
PreviewMapping mappingOf(const QString &name)
{
    if (name == QLatin1String("fitted"))
        return PreviewMapping(1000, 500, 1216, 684, true);
    if (name == QLatin1String("stretched"))
        return PreviewMapping(1000, 500, 1216, 684, false);
    if (name == QLatin1String("wide canvas"))
        return PreviewMapping(640, 480, 1920, 1080, true);
    if (name == QLatin1String("no canvas"))
        return PreviewMapping(1000, 500, 0, 0, true);
    return PreviewMapping();
}

// Preview and canvas of one size: preview pixels are canvas pixels, m = 16.
const PreviewMapping kSame(1216, 684, 1216, 684);

PreviewItem item(int id, QRect rect, int z, bool selectable = true, bool movable = true, bool resizable = true,
                 bool pendant = false)
{
    PreviewItem it;
    it.id = id;
    it.rect = rect;
    it.z = z;
    it.selectable = selectable;
    it.movable = movable;
    it.resizable = resizable;
    it.pendant = pendant;
    return it;
}

// A picture, a pendant, a locked picture and the camera under them all.
std::vector<PreviewItem> scene()
{
    return {item(3, QRect(0, 0, 1216, 684), 50, false, false, false),
            item(7, QRect(200, 100, 300, 200), 1000000),
            item(8, QRect(600, 300, 100, 100), 1000001, true, true, true, true),
            item(9, QRect(800, 100, 100, 100), 1000002, true, false, false)};
}

} // namespace

class TestPreviewEditing : public QObject
{
    Q_OBJECT
private slots:
    void conversions_data();
    void conversions();
    void frameOfItem();
    void hitTest_data();
    void hitTest();
    void handles_data();
    void handles();
    void cursors_data();
    void cursors();
    void moveClamps_data();
    void moveClamps();
    void resizeClamps_data();
    void resizeClamps();

    void leftPressOnCornerResizesRightPressMoves();
    void pressOnEmptyCanvasDeselects();
    void hoverCursors();
    void lockedOrVanishedItemStaysPut();
    void dragStopsAtMargins();
    void cancelAndForget();
};

void TestPreviewEditing::conversions_data()
{
    QTest::addColumn<QString>("mapping");
    QTest::addColumn<QString>("op");
    QTest::addColumn<int>("in");
    QTest::addColumn<int>("out");
    const QString fitted = QStringLiteral("fitted");
    QTest::newRow("fitted shown width") << fitted << "shownWidth" << 0 << 888;
    QTest::newRow("fitted offset") << fitted << "offset" << 0 << 55;
    QTest::newRow("fitted p2cx left edge") << fitted << "p2cx" << 55 << 0;
    QTest::newRow("fitted p2cx 100") << fitted << "p2cx" << 100 << 61;
    QTest::newRow("fitted p2cx margin truncates to zero") << fitted << "p2cx" << 0 << -75;
    QTest::newRow("fitted p2cx right edge") << fitted << "p2cx" << 943 << 1216;
    QTest::newRow("fitted p2cx beyond") << fitted << "p2cx" << 1000 << 1294;
    QTest::newRow("fitted p2cy 16") << fitted << "p2cy" << 16 << 21;
    QTest::newRow("fitted p2cy 250") << fitted << "p2cy" << 250 << 342;
    QTest::newRow("fitted p2cy negative") << fitted << "p2cy" << -3 << -4;
    QTest::newRow("fitted c2px 0") << fitted << "c2px" << 0 << 55;
    QTest::newRow("fitted c2px right edge") << fitted << "c2px" << 1216 << 943;
    QTest::newRow("fitted c2px 100") << fitted << "c2px" << 100 << 128;
    QTest::newRow("fitted c2px offset added before truncating") << fitted << "c2px" << -75 << 0;
    QTest::newRow("fitted c2px negative") << fitted << "c2px" << -200 << -91;
    QTest::newRow("fitted c2py 100") << fitted << "c2py" << 100 << 73;
    QTest::newRow("fitted c2py negative") << fitted << "c2py" << -100 << -73;
    QTest::newRow("fitted c2py bottom") << fitted << "c2py" << 684 << 500;
    QTest::newRow("fitted c2pw uses whole preview width") << fitted << "c2pw" << 100 << 82;
    QTest::newRow("fitted c2pw canvas width") << fitted << "c2pw" << 1216 << 1000;
    QTest::newRow("fitted c2ph") << fitted << "c2ph" << 100 << 73;
    QTest::newRow("fitted c2py huge, no overflow") << fitted << "c2py" << 2000000000 << 1461988304;
    QTest::newRow("fitted c2pw huge, no overflow") << fitted << "c2pw" << 2000000000 << 1644736842;
    QTest::newRow("fitted margin") << fitted << "margin" << 0 << 21;
    const QString stretched = QStringLiteral("stretched");
    QTest::newRow("stretched p2cx") << stretched << "p2cx" << 100 << 121;
    QTest::newRow("stretched p2cx negative") << stretched << "p2cx" << -1 << -1;
    QTest::newRow("stretched c2px") << stretched << "c2px" << 100 << 82;
    QTest::newRow("stretched c2px right edge") << stretched << "c2px" << 1216 << 1000;
    QTest::newRow("stretched p2cy") << stretched << "p2cy" << 250 << 342;
    const QString wide = QStringLiteral("wide canvas");
    QTest::newRow("wide shown width") << wide << "shownWidth" << 0 << 853;
    QTest::newRow("wide offset negative") << wide << "offset" << 0 << -106;
    QTest::newRow("wide p2cx 0") << wide << "p2cx" << 0 << 238;
    QTest::newRow("wide p2cx middle") << wide << "p2cx" << 320 << 958;
    QTest::newRow("wide c2px 0") << wide << "c2px" << 0 << -106;
    QTest::newRow("wide c2px right edge") << wide << "c2px" << 1920 << 747;
    QTest::newRow("wide c2px middle") << wide << "c2px" << 960 << 320;
    const QString none = QStringLiteral("no canvas");
    QTest::newRow("no canvas p2cx") << none << "p2cx" << 100 << 0;
    QTest::newRow("no canvas c2px") << none << "c2px" << 100 << 0;
    QTest::newRow("no canvas c2py") << none << "c2py" << 100 << 0;
    QTest::newRow("no canvas c2pw") << none << "c2pw" << 100 << 0;
    QTest::newRow("no canvas margin") << none << "margin" << 0 << 0;
}

void TestPreviewEditing::conversions()
{
    QFETCH(QString, mapping);
    QFETCH(QString, op);
    QFETCH(int, in);
    QFETCH(int, out);
    const PreviewMapping m = mappingOf(mapping);
    int got = INT_MIN;
    if (op == QLatin1String("shownWidth"))
        got = m.shownWidth();
    else if (op == QLatin1String("offset"))
        got = m.horizontalOffset();
    else if (op == QLatin1String("p2cx"))
        got = m.previewToCanvasX(in);
    else if (op == QLatin1String("p2cy"))
        got = m.previewToCanvasY(in);
    else if (op == QLatin1String("c2px"))
        got = m.canvasToPreviewX(in);
    else if (op == QLatin1String("c2py"))
        got = m.canvasToPreviewY(in);
    else if (op == QLatin1String("c2pw"))
        got = m.canvasToPreviewWidth(in);
    else if (op == QLatin1String("c2ph"))
        got = m.canvasToPreviewHeight(in);
    else if (op == QLatin1String("margin"))
        got = m.margin();
    QCOMPARE(got, out);
}

void TestPreviewEditing::frameOfItem()
{
    const PreviewFrame f = mappingOf(QStringLiteral("fitted")).frameOf(QRect(100, 100, 200, 100));
    QCOMPARE(f.left, 128);
    QCOMPARE(f.top, 73);
    QCOMPARE(f.right, 274);
    QCOMPARE(f.bottom, 146);
    QCOMPARE(f.width(), 146);
    QCOMPARE(f.height(), 73);
}

void TestPreviewEditing::hitTest_data()
{
    QTest::addColumn<int>("selected");
    QTest::addColumn<QPoint>("pos");
    QTest::addColumn<int>("picked");
    QTest::newRow("inside one item") << -1 << QPoint(150, 120) << 1;
    QTest::newRow("right edge is inside") << -1 << QPoint(300, 120) << 1;
    QTest::newRow("overlap picks higher z") << -1 << QPoint(280, 170) << 2;
    QTest::newRow("equal z keeps the earlier") << -1 << QPoint(400, 220) << 2;
    QTest::newRow("camera is never picked") << -1 << QPoint(50, 50) << 0;
    QTest::newRow("watermark is never picked") << -1 << QPoint(1050, 620) << 0;
    QTest::newRow("3 px outside, not selected") << -1 << QPoint(597, 350) << 0;
    QTest::newRow("3 px outside, selected") << 6 << QPoint(597, 350) << 6;
    QTest::newRow("5 px outside, selected") << 6 << QPoint(595, 405) << 6;
    QTest::newRow("6 px outside, selected") << 6 << QPoint(594, 350) << 0;
    QTest::newRow("slack only for the selected") << 1 << QPoint(597, 350) << 0;
}

void TestPreviewEditing::hitTest()
{
    QFETCH(int, selected);
    QFETCH(QPoint, pos);
    QFETCH(int, picked);
    const std::vector<PreviewItem> items{
        item(1, QRect(100, 100, 200, 100), 1000000),
        item(2, QRect(250, 150, 200, 100), 1000002),
        item(3, QRect(0, 0, 1216, 684), 50, false),
        item(4, QRect(250, 150, 200, 100), 1000002),
        item(5, QRect(1000, 600, 100, 50), 5000000, false),
        item(0, QRect(0, 0, 1216, 684), 1999999), // a failed id is no item
        item(6, QRect(600, 300, 100, 100), 1000001),
    };
    QCOMPARE(preview::hitTestItem(kSame, items, selected, pos), picked);
}

void TestPreviewEditing::handles_data()
{
    QTest::addColumn<QRect>("frame"); // left, top, right, bottom as x, y, x2, y2
    QTest::addColumn<QPoint>("pos");
    QTest::addColumn<int>("handle");
    const QRect f(QPoint(100, 50), QPoint(300, 150));
    QTest::newRow("top-left") << f << QPoint(100, 50) << 5;
    QTest::newRow("top-left from inside") << f << QPoint(105, 55) << 5;
    QTest::newRow("top-left from outside") << f << QPoint(95, 45) << 5;
    QTest::newRow("6 px is not near") << f << QPoint(106, 50) << 0;
    QTest::newRow("bottom-right") << f << QPoint(300, 150) << 10;
    QTest::newRow("top-right") << f << QPoint(298, 52) << 6;
    QTest::newRow("bottom-left") << f << QPoint(102, 148) << 9;
    QTest::newRow("top middle") << f << QPoint(200, 50) << 4;
    QTest::newRow("top middle 5 off") << f << QPoint(205, 46) << 4;
    QTest::newRow("bottom middle") << f << QPoint(196, 153) << 8;
    QTest::newRow("left middle") << f << QPoint(100, 100) << 1;
    QTest::newRow("right middle") << f << QPoint(303, 97) << 2;
    QTest::newRow("inside") << f << QPoint(200, 100) << 0;
    QTest::newRow("top edge off its middle") << f << QPoint(150, 50) << 0;
    const QRect odd(QPoint(100, 50), QPoint(301, 150)); // width 201, half 100
    QTest::newRow("odd width halves down") << odd << QPoint(205, 50) << 4;
    QTest::newRow("odd width, 6 past the half") << odd << QPoint(206, 50) << 0;
    const QRect tiny(QPoint(100, 50), QPoint(104, 54));
    QTest::newRow("tiny frame: top-left first") << tiny << QPoint(102, 52) << 5;
}

void TestPreviewEditing::handles()
{
    QFETCH(QRect, frame);
    QFETCH(QPoint, pos);
    QFETCH(int, handle);
    PreviewFrame f;
    f.left = frame.left();
    f.top = frame.top();
    f.right = frame.right();
    f.bottom = frame.bottom();
    QCOMPARE(preview::handleAt(f, pos), handle);
}

void TestPreviewEditing::cursors_data()
{
    QTest::addColumn<int>("handle");
    QTest::addColumn<Qt::CursorShape>("cursor");
    QTest::newRow("move") << 0 << Qt::ArrowCursor;
    QTest::newRow("left") << 1 << Qt::SizeHorCursor;
    QTest::newRow("right") << 2 << Qt::SizeHorCursor;
    QTest::newRow("top") << 4 << Qt::SizeVerCursor;
    QTest::newRow("bottom") << 8 << Qt::SizeVerCursor;
    QTest::newRow("top-left") << 5 << Qt::SizeFDiagCursor;
    QTest::newRow("bottom-right") << 10 << Qt::SizeFDiagCursor;
    QTest::newRow("top-right") << 6 << Qt::SizeBDiagCursor;
    QTest::newRow("bottom-left") << 9 << Qt::SizeBDiagCursor;
    QTest::newRow("no such handle") << 3 << Qt::ArrowCursor;
}

void TestPreviewEditing::cursors()
{
    QFETCH(int, handle);
    QFETCH(Qt::CursorShape, cursor);
    QCOMPARE(preview::cursorForHandle(handle), cursor);
}

void TestPreviewEditing::moveClamps_data()
{
    QTest::addColumn<QRect>("current");
    QTest::addColumn<QPoint>("pointer");
    QTest::addColumn<QPoint>("grab");
    QTest::addColumn<QRect>("moved");
    // Canvas 1216 x 684, margin 21.
    const QRect r(100, 100, 200, 100);
    QTest::newRow("follows the pointer") << r << QPoint(500, 300) << QPoint(10, 10) << QRect(490, 290, 200, 100);
    QTest::newRow("far left keeps 21 on canvas") << r << QPoint(-1000, 300) << QPoint(10, 10)
                                                 << QRect(-179, 290, 200, 100);
    QTest::newRow("far right") << r << QPoint(5000, 300) << QPoint(10, 10) << QRect(1195, 290, 200, 100);
    QTest::newRow("far up") << r << QPoint(500, -1000) << QPoint(10, 10) << QRect(490, -79, 200, 100);
    QTest::newRow("far down") << r << QPoint(500, 5000) << QPoint(10, 10) << QRect(490, 663, 200, 100);
    QTest::newRow("wider than the canvas") << QRect(0, 0, 2000, 100) << QPoint(-5000, 50) << QPoint(0, 0)
                                           << QRect(-1979, 50, 2000, 100);
}

void TestPreviewEditing::moveClamps()
{
    QFETCH(QRect, current);
    QFETCH(QPoint, pointer);
    QFETCH(QPoint, grab);
    QFETCH(QRect, moved);
    QCOMPARE(preview::movedRect(mappingOf(QStringLiteral("fitted")), current, pointer, grab), moved);
}

void TestPreviewEditing::resizeClamps_data()
{
    QTest::addColumn<QRect>("current"); // also the size at the press
    QTest::addColumn<int>("handle");
    QTest::addColumn<bool>("pendant");
    QTest::addColumn<QPoint>("press");
    QTest::addColumn<QPoint>("pointer");
    QTest::addColumn<QRect>("resized");
    // Canvas 1216 x 684, margin 21.
    const QRect r(100, 100, 200, 100);
    QTest::newRow("right") << r << 2 << false << QPoint(300, 150) << QPoint(350, 150) << QRect(100, 100, 250, 100);
    QTest::newRow("left") << r << 1 << false << QPoint(100, 150) << QPoint(60, 150) << QRect(60, 100, 240, 100);
    QTest::newRow("top") << r << 4 << false << QPoint(200, 100) << QPoint(200, 80) << QRect(100, 80, 200, 120);
    QTest::newRow("bottom") << r << 8 << false << QPoint(200, 200) << QPoint(200, 260) << QRect(100, 100, 200, 160);
    QTest::newRow("top-left") << r << 5 << false << QPoint(100, 100) << QPoint(90, 95) << QRect(90, 95, 210, 105);
    QTest::newRow("top-right") << r << 6 << false << QPoint(300, 100) << QPoint(320, 90) << QRect(100, 90, 220, 110);
    QTest::newRow("bottom-left") << r << 9 << false << QPoint(100, 200) << QPoint(80, 210)
                                 << QRect(80, 100, 220, 110);
    QTest::newRow("bottom-right") << r << 10 << false << QPoint(300, 200) << QPoint(350, 230)
                                  << QRect(100, 100, 250, 130);
    QTest::newRow("right stops at the canvas") << r << 2 << false << QPoint(300, 150) << QPoint(5000, 150)
                                               << QRect(100, 100, 1116, 100);
    QTest::newRow("right shrunk to the margin") << r << 2 << false << QPoint(300, 150) << QPoint(-500, 150)
                                                << QRect(100, 100, 21, 100);
    QTest::newRow("pendant shrunk to 50") << r << 2 << true << QPoint(300, 150) << QPoint(-500, 150)
                                          << QRect(100, 100, 50, 100);
    QTest::newRow("pendant grows freely") << r << 2 << true << QPoint(300, 150) << QPoint(350, 150)
                                          << QRect(100, 100, 250, 100);
    QTest::newRow("pendant at the canvas edge") << QRect(1190, 100, 200, 100) << 2 << true << QPoint(1390, 150)
                                                << QPoint(1300, 150) << QRect(1190, 100, 26, 100);
    QTest::newRow("bottom shrunk to the margin") << r << 8 << false << QPoint(200, 200) << QPoint(200, -50)
                                                 << QRect(100, 100, 200, 21);
    QTest::newRow("left dragged past the right") << r << 1 << false << QPoint(100, 150) << QPoint(400, 150)
                                                 << QRect(400, 100, 21, 100);
    QTest::newRow("left beyond the canvas") << r << 1 << false << QPoint(100, 150) << QPoint(-50, 150)
                                            << QRect(0, 100, 300, 100);
    QTest::newRow("bottom-right beyond the canvas") << r << 10 << false << QPoint(300, 200) << QPoint(1300, 800)
                                                    << QRect(100, 100, 1116, 584);
}

void TestPreviewEditing::resizeClamps()
{
    QFETCH(QRect, current);
    QFETCH(int, handle);
    QFETCH(bool, pendant);
    QFETCH(QPoint, press);
    QFETCH(QPoint, pointer);
    QFETCH(QRect, resized);
    QCOMPARE(preview::resizedRect(mappingOf(QStringLiteral("fitted")), handle, current, pointer, press,
                                  current.size(), pendant),
             resized);
}

void TestPreviewEditing::leftPressOnCornerResizesRightPressMoves()
{
    PreviewEditor editor;
    const auto items = scene();
    PreviewEditOutcome out = editor.handleMouse(kSame, PreviewLeftPressed, QPoint(203, 103), items);
    QVERIFY(!out.cursor && !out.geometry);
    QCOMPARE(editor.selectedItem(), 7);
    QVERIFY(editor.isDragging());
    QCOMPARE(editor.handle(), 5);

    out = editor.handleMouse(kSame, PreviewPointerMoved, QPoint(190, 90), items);
    QCOMPARE(out.geometry, std::optional<QRect>(QRect(190, 90, 313, 213)));
    QCOMPARE(out.cursor, std::optional<Qt::CursorShape>(Qt::SizeFDiagCursor));

    out = editor.handleMouse(kSame, PreviewLeftReleased, QPoint(190, 90), items);
    QCOMPARE(out.cursor, std::optional<Qt::CursorShape>(Qt::ArrowCursor));
    QVERIFY(!out.geometry);
    QVERIFY(!editor.isDragging());
    QCOMPARE(editor.handle(), 5); // kept until the next press

    // The same spot with the right button only selects and drags.
    editor.handleMouse(kSame, PreviewRightPressed, QPoint(203, 103), items);
    QCOMPARE(editor.handle(), 0);
    QVERIFY(editor.isDragging());
    out = editor.handleMouse(kSame, PreviewPointerMoved, QPoint(213, 113), items);
    QCOMPARE(out.geometry, std::optional<QRect>(QRect(210, 110, 300, 200)));
    QCOMPARE(out.cursor, std::optional<Qt::CursorShape>(Qt::ArrowCursor));
    out = editor.handleMouse(kSame, PreviewRightReleased, QPoint(213, 113), items);
    QCOMPARE(out.cursor, std::optional<Qt::CursorShape>(Qt::ArrowCursor));
    QVERIFY(!editor.isDragging());

    // Events the preview does not send change nothing.
    out = editor.handleMouse(kSame, 5, QPoint(203, 103), items);
    QVERIFY(!out.cursor && !out.geometry);
    QCOMPARE(editor.selectedItem(), 7);
}

void TestPreviewEditing::pressOnEmptyCanvasDeselects()
{
    PreviewEditor editor;
    const auto items = scene();
    editor.handleMouse(kSame, PreviewLeftPressed, QPoint(350, 200), items);
    editor.handleMouse(kSame, PreviewLeftReleased, QPoint(350, 200), items);
    QCOMPARE(editor.selectedItem(), 7);

    const PreviewEditOutcome out = editor.handleMouse(kSame, PreviewLeftPressed, QPoint(1100, 600), items);
    QVERIFY(!out.cursor && !out.geometry);
    QCOMPARE(editor.selectedItem(), -1);
    QVERIFY(!editor.isDragging());
    const PreviewEditOutcome hover = editor.handleMouse(kSame, PreviewPointerMoved, QPoint(1110, 610), items);
    QCOMPARE(hover.cursor, std::optional<Qt::CursorShape>(Qt::ArrowCursor));
    QVERIFY(!hover.geometry);
}

void TestPreviewEditing::hoverCursors()
{
    PreviewEditor editor;
    const auto items = scene();
    auto hover = [&](QPoint p) { return *editor.handleMouse(kSame, PreviewPointerMoved, p, items).cursor; };
    QCOMPARE(hover(QPoint(500, 300)), Qt::ArrowCursor); // nothing selected

    editor.setSelectedItem(7);
    QCOMPARE(hover(QPoint(500, 300)), Qt::SizeFDiagCursor);
    QCOMPARE(hover(QPoint(350, 102)), Qt::SizeVerCursor);
    QCOMPARE(hover(QPoint(198, 200)), Qt::SizeHorCursor);
    QCOMPARE(hover(QPoint(498, 103)), Qt::SizeBDiagCursor);
    QCOMPARE(hover(QPoint(350, 200)), Qt::ArrowCursor);
    QVERIFY(!editor.handleMouse(kSame, PreviewPointerMoved, QPoint(350, 200), items).geometry); // not dragging

    editor.setSelectedItem(9); // carries the resize lock
    QCOMPARE(hover(QPoint(900, 200)), Qt::ArrowCursor);
}

void TestPreviewEditing::lockedOrVanishedItemStaysPut()
{
    PreviewEditor editor;
    auto items = scene();
    // The locked picture is selected and dragged, but neither moved nor resized.
    editor.handleMouse(kSame, PreviewLeftPressed, QPoint(800, 100), items);
    QCOMPARE(editor.selectedItem(), 9);
    QCOMPARE(editor.handle(), 0);
    PreviewEditOutcome out = editor.handleMouse(kSame, PreviewPointerMoved, QPoint(700, 50), items);
    QVERIFY(!out.geometry);
    editor.handleMouse(kSame, PreviewLeftReleased, QPoint(700, 50), items);

    // A picture locked in the middle of a drag stops following.
    editor.handleMouse(kSame, PreviewLeftPressed, QPoint(350, 200), items);
    QVERIFY(editor.handleMouse(kSame, PreviewPointerMoved, QPoint(360, 200), items).geometry);
    items[1].movable = false;
    out = editor.handleMouse(kSame, PreviewPointerMoved, QPoint(370, 200), items);
    QVERIFY(!out.geometry);
    QCOMPARE(out.cursor, std::optional<Qt::CursorShape>(Qt::ArrowCursor));

    // A corner drag of an item that left the scene does nothing.
    editor.handleMouse(kSame, PreviewLeftPressed, QPoint(700, 400), items); // pendant, bottom-right
    QCOMPARE(editor.handle(), 10);
    items.erase(items.begin() + 2);
    out = editor.handleMouse(kSame, PreviewPointerMoved, QPoint(720, 420), items);
    QVERIFY(!out.geometry);
    QCOMPARE(out.cursor, std::optional<Qt::CursorShape>(Qt::ArrowCursor));
}

void TestPreviewEditing::dragStopsAtMargins()
{
    PreviewEditor editor;
    const auto items = scene();
    // Moving far left keeps 16 canvas pixels of the picture on the canvas.
    editor.handleMouse(kSame, PreviewLeftPressed, QPoint(350, 200), items);
    PreviewEditOutcome out = editor.handleMouse(kSame, PreviewPointerMoved, QPoint(-2000, 200), items);
    QCOMPARE(out.geometry, std::optional<QRect>(QRect(-284, 100, 300, 200)));
    editor.handleMouse(kSame, PreviewLeftReleased, QPoint(-2000, 200), items);

    // The pendant's right handle dragged far left stops at 50 wide.
    editor.handleMouse(kSame, PreviewLeftPressed, QPoint(700, 350), items);
    QCOMPARE(editor.selectedItem(), 8);
    QCOMPARE(editor.handle(), 2);
    out = editor.handleMouse(kSame, PreviewPointerMoved, QPoint(0, 350), items);
    QCOMPARE(out.geometry, std::optional<QRect>(QRect(600, 300, 50, 100)));
    QCOMPARE(out.cursor, std::optional<Qt::CursorShape>(Qt::SizeHorCursor));
    editor.handleMouse(kSame, PreviewLeftReleased, QPoint(0, 350), items);

    // Any other item stops at the margin, both ways.
    editor.handleMouse(kSame, PreviewLeftPressed, QPoint(500, 300), items);
    QCOMPARE(editor.handle(), 10);
    out = editor.handleMouse(kSame, PreviewPointerMoved, QPoint(-100, -100), items);
    QCOMPARE(out.geometry, std::optional<QRect>(QRect(200, 100, 16, 16)));
}

void TestPreviewEditing::cancelAndForget()
{
    PreviewEditor editor;
    const auto items = scene();
    editor.handleMouse(kSame, PreviewLeftPressed, QPoint(203, 103), items);
    QCOMPARE(editor.handle(), 5);
    editor.cancel();
    QVERIFY(!editor.isDragging());
    QCOMPARE(editor.handle(), 0);
    QVERIFY(!editor.handleMouse(kSame, PreviewPointerMoved, QPoint(150, 50), items).geometry);
    QCOMPARE(editor.selectedItem(), 7);

    editor.forgetItem(8);
    QCOMPARE(editor.selectedItem(), 7);
    editor.forgetItem(7);
    QCOMPARE(editor.selectedItem(), -1);
}

QTEST_GUILESS_MAIN(TestPreviewEditing)
#include "tst_previewediting.moc"

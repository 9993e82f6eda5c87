// The picture panel (up to three pictures by file dialog or drop, three
// slots, deletion after a question) and the picture page that forwards its
// children's signals, on a live facade over the engine layer.

#include "AnalyticsStub.h"
#include "DebugCapture.h"
#include "FacadeFixture.h"
#include "LogCapture.h"
#include "ModalDriver.h"
#include "MouseMoves.h"
#include "MvDraggedButton.h"
#include "MvEnterBorderCancelButton.h"
#include "MvEnterBorderButton.h"
#include "PictureFile.h"
#include "UiInsertPicWidget.h"
#include "UiSampleWidget.h"
#include "UiSetPicture.h"
#include "WidgetPictures.h"

#include <QDropEvent>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>
#include <QUrl>

#include <memory>

using testsupport::AnalyticsStub;
using testsupport::FacadeFixture;
using testsupport::ModalDriver;

namespace {

const QString kTooLarge = QStringLiteral("图片尺寸不能超过1920*1080！");
const QString kUnreadable = QStringLiteral("图片读取失败!");

// A started facade on a 1280 x 720 canvas and a picture panel that uses it.
struct PanelFixture
{
    PanelFixture()
    {
        f.init();
        f.calls().clear();
        panel.setLiveProxy(f.proxy.get());
    }

    QString picture(const QString &name, int w, int h) const
    {
        return testsupport::writeSolidPicture(f.env.workPath() + QLatin1Char('/') + name, QSize(w, h), Qt::darkCyan);
    }

    // Adds a picture as a finished drop does.
    void add(const QString &path) { panel.slot_draggedpicture(path); }

    QRect rectOf(int id) const
    {
        int x = 0, y = 0, w = 0, h = 0;
        f.proxy->getItemRect(id, &x, &y, &w, &h);
        return QRect(x, y, w, h);
    }

    QList<int> ids() const
    {
        QList<int> out;
        for (const PictureItem &p : panel.pictures())
            out << p.id;
        return out;
    }

    FacadeFixture f;
    UiInsertPicWidget panel;
};

// Which slots show, and which of them hold a picture: "P" filled, "+" the
// add slot, "-" hidden.
QString slotStates(const UiInsertPicWidget &panel)
{
    QString out;
    for (MvEnterBorderCancelButton *slot : panel.slotButtons())
        out += slot->isHidden() ? QLatin1Char('-') : slot->HasPicture() ? QLatin1Char('P') : QLatin1Char('+');
    return out;
}

} // namespace

class PicturePageTest : public QObject
{
    Q_OBJECT

private slots:
    void formAndSlots();
    void sizeLimit_data();
    void sizeLimit();
    void hugeClaimIsRefusedFromTheHeader_data();
    void hugeClaimIsRefusedFromTheHeader();
    void acceptedPictureIsDecodedOnlyAtItsShownSize();
    void placement_data();
    void placement();
    void slotsFollowThePictures();
    void fourthPictureIsIgnored();
    void deleteAsksFirst_data();
    void deleteAsksFirst();
    void restoredPicturesNeedNoEngine();
    void fileDialog();
    void cancelledFileDialogAddsNothing();
    void dropArrivesAfterTheEvent();
    void engineRefusalLeavesNothing_data();
    void engineRefusalLeavesNothing();
    void unreadableFileIsRefusedBeforeTheEngine();
    void withoutFacadeNothingIsAdded();
    void analyticsForEachPicture();
    void pageLaysOutItsChildren();
    void pageForwardsEachSignalOnce();
};

void PicturePageTest::formAndSlots()
{
    UiInsertPicWidget panel;
    QCOMPARE(panel.size(), QSize(264, 198));
    QCOMPARE(panel.styleSheet(), QStringLiteral("background:white;"));
    auto *label = panel.findChild<QLabel *>(QStringLiteral("label"));
    QVERIFY(label);
    QCOMPARE(label->text(), QStringLiteral("选择图片 （最多支持3张）"));
    QCOMPARE(label->geometry(), QRect(12, 20, 161, 12));
    auto *drop = panel.findChild<MvDraggedButton *>(QStringLiteral("pushButton_adddragpic"));
    QVERIFY(drop);
    QCOMPARE(drop->geometry(), QRect(12, 40, 236, 70));
    QCOMPARE(panel.slotButtons().size(), 3);
    QCOMPARE(panel.slotButtons()[0]->geometry(), QRect(12, 122, 76, 76));
    QCOMPARE(panel.slotButtons()[1]->geometry(), QRect(94, 122, 76, 76));
    QCOMPARE(panel.slotButtons()[2]->geometry(), QRect(176, 122, 76, 76));
    QCOMPARE(slotStates(panel), QStringLiteral("+--"));
}

void PicturePageTest::sizeLimit_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("png at both bounds") << "a.png" << QSize(1920, 1080) << true;
    QTest::newRow("png one too wide") << "b.png" << QSize(1921, 1080) << false;
    QTest::newRow("png one too tall") << "c.png" << QSize(1920, 1081) << false;
    QTest::newRow("jpeg at both bounds") << "d.jpg" << QSize(1920, 1080) << true;
    QTest::newRow("jpeg one too wide") << "e.jpg" << QSize(1921, 40) << false;
    QTest::newRow("bmp one too tall") << "f.bmp" << QSize(40, 1081) << false;
    QTest::newRow("bmp narrow and at the height") << "g.bmp" << QSize(1, 1080) << true;
    QTest::newRow("gif one too tall") << "h.gif" << QSize(20, 1081) << false;
    QTest::newRow("gif at the width") << "i.gif" << QSize(1920, 2) << true;
}

void PicturePageTest::sizeLimit()
{
    QFETCH(QString, file);
    QFETCH(QSize, size);
    QFETCH(bool, accepted);
    PanelFixture p;
    const QString path = p.picture(file, size.width(), size.height());
    QSignalSpy added(&p.panel, SIGNAL(add_imageitem(QString,QString,int)));
    ModalDriver driver;
    if (!accepted)
        driver.pressNext(QStringLiteral("pushButton_ok"));
    p.add(path);
    QVERIFY(driver.waitDone());
    QVERIFY(driver.errors().isEmpty());
    if (accepted) {
        QCOMPARE(driver.seen().size(), 0);
        QCOMPARE(added.size(), 1);
        QCOMPARE(p.panel.pictures().size(), 1);
        QCOMPARE(p.f.calls().count("CreateItem"), 1);
    } else {
        QCOMPARE(driver.seen().size(), 1);
        QCOMPARE(driver.last().className, QStringLiteral("UiToolTipDialog"));
        QCOMPARE(driver.last().text(QStringLiteral("tipinfolabel")), kTooLarge);
        QCOMPARE(added.size(), 0);
        QVERIFY(p.panel.pictures().isEmpty());
        QCOMPARE(p.f.calls().count("CreateItem"), 0);
    }
}

// Records every picture decode that the program starts.
struct DecodeLog
{
    DecodeLog()
    {
        picturefile::setDecodeObserver([this](const QString &path, const QSize &size) { seen << qMakePair(path, size); });
    }
    ~DecodeLog() { picturefile::setDecodeObserver({}); }
    QList<QSize> of(const QString &path) const
    {
        QList<QSize> out;
        for (const auto &d : seen)
            if (d.first == path)
                out << d.second;
        return out;
    }
    QList<QPair<QString, QSize>> seen;
};

void PicturePageTest::hugeClaimIsRefusedFromTheHeader_data()
{
    QTest::addColumn<bool>("dropped");
    QTest::addColumn<bool>("truncated");
    QTest::newRow("chosen") << false << false;
    QTest::newRow("dropped") << true << false;
    // No picture data at all: only the header can have told the size.
    QTest::newRow("chosen, header only") << false << true;
    QTest::newRow("dropped, header only") << true << true;
}

void PicturePageTest::hugeClaimIsRefusedFromTheHeader()
{
    QFETCH(bool, dropped);
    QFETCH(bool, truncated);
    PanelFixture p;
    const QString path = testsupport::writeHugeClaimPng(p.f.env.workPath() + QStringLiteral("/huge.png"),
                                                        QSize(20000, 20000), truncated);
    QVERIFY(!path.isEmpty());
    QVERIFY(QFileInfo(path).size() < 64 * 1024);
    DecodeLog decodes;
    QSignalSpy added(&p.panel, SIGNAL(add_imageitem(QString,QString,int)));
    ModalDriver driver;
    driver.pressNext(QStringLiteral("pushButton_ok"));
    if (dropped)
        testsupport::dropFile(p.panel.findChild<MvDraggedButton *>(QStringLiteral("pushButton_adddragpic")), path);
    else
        p.add(path);
    QVERIFY(driver.waitDone());
    QVERIFY(driver.errors().isEmpty());
    QCOMPARE(driver.seen().size(), 1);
    QCOMPARE(driver.last().text(QStringLiteral("tipinfolabel")), kTooLarge);
    QCOMPARE(decodes.seen.size(), 0);
    QCOMPARE(added.size(), 0);
    QVERIFY(p.panel.pictures().isEmpty());
    QCOMPARE(p.f.ops(), std::vector<std::string>());
}

void PicturePageTest::acceptedPictureIsDecodedOnlyAtItsShownSize()
{
    PanelFixture p;
    const QString path = p.picture(QStringLiteral("full.png"), 1920, 1080);
    DecodeLog decodes;
    QSignalSpy added(&p.panel, SIGNAL(add_imageitem(QString,QString,int)));
    p.add(path);
    QCOMPARE(added.size(), 1);
    // Shown in its slot as well.
    p.panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&p.panel));
    p.panel.repaint();
    p.panel.repaint();
    const QList<QSize> sizes = decodes.of(path);
    QVERIFY(!sizes.isEmpty());
    for (const QSize &size : sizes)
        QVERIFY2(size.width() <= 160 && size.height() <= 160, qPrintable(QStringLiteral("decoded at %1x%2")
                                                                             .arg(size.width())
                                                                             .arg(size.height())));
    // Painting again takes the decoded picture from the cache.
    const int count = sizes.size();
    p.panel.repaint();
    QCOMPARE(decodes.of(path).size(), count);
}

void PicturePageTest::placement_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QSize>("placed");
    QTest::newRow("one side reaches 160") << "a.png" << QSize(160, 90) << QSize(160, 90);
    QTest::newRow("just below 160") << "b.png" << QSize(159, 159) << QSize(159, 159);
    QTest::newRow("wide jpeg") << "c.jpg" << QSize(800, 400) << QSize(160, 80);
    QTest::newRow("tall gif") << "d.gif" << QSize(400, 800) << QSize(80, 160);
    QTest::newRow("large bmp") << "e.bmp" << QSize(1920, 1080) << QSize(160, 90);
    QTest::newRow("tiny") << "f.png" << QSize(3, 2) << QSize(3, 2);
}

void PicturePageTest::placement()
{
    QFETCH(QString, file);
    QFETCH(QSize, size);
    QFETCH(QSize, placed);
    PanelFixture p;
    const QString path = p.picture(file, size.width(), size.height());
    QSignalSpy added(&p.panel, SIGNAL(add_imageitem(QString,QString,int)));
    p.add(path);
    QCOMPARE(added.size(), 1);
    const int id = added[0][2].toInt();
    QVERIFY(id > 0);
    QCOMPARE(added[0][0].toString(), path);
    QCOMPARE(added[0][1].toString(), QStringLiteral("图片"));
    // Bottom-left corner of the 1280 x 720 canvas.
    QCOMPARE(p.rectOf(id), QRect(0, 720 - placed.height(), placed.width(), placed.height()));
    const auto item = p.f.engine()->item(id);
    QVERIFY(item);
    QCOMPARE(item->kind, int(KindPicture));
    QCOMPARE(item->sources, std::vector<std::string>{path.toStdString()});
    QCOMPARE(item->alpha, 255);
    QCOMPARE(p.f.proxy->itemType(id), 5);
    QCOMPARE(p.panel.pictures().size(), 1);
    QCOMPARE(p.panel.pictures()[0].id, id);
    QCOMPARE(p.panel.pictures()[0].path, path);
}

void PicturePageTest::slotsFollowThePictures()
{
    PanelFixture p;
    QCOMPARE(slotStates(p.panel), QStringLiteral("+--"));
    const QString path = p.picture(QStringLiteral("a.png"), 20, 20);
    p.add(path);
    QCOMPARE(slotStates(p.panel), QStringLiteral("P+-"));
    p.add(path);
    QCOMPARE(slotStates(p.panel), QStringLiteral("PP+"));
    p.add(path);
    QCOMPARE(slotStates(p.panel), QStringLiteral("PPP"));
    // Slots stay where they stand.
    QCOMPARE(p.panel.slotButtons()[2]->pos(), QPoint(176, 122));
    // A click on the add slot asks for a file; a filled one only logs.
    QSignalSpy add(p.panel.slotButtons()[0], SIGNAL(addelementclick()));
    QSignalSpy cell(p.panel.slotButtons()[1], SIGNAL(cellclick(int,int)));
    testsupport::DebugCapture debug;
    QTest::mouseClick(p.panel.slotButtons()[1], Qt::LeftButton);
    QCOMPARE(cell.size(), 1);
    QCOMPARE(cell[0][0].toInt(), 1);
    QCOMPARE(cell[0][1].toInt(), 1);
    QCOMPARE(add.size(), 0);
    QCOMPARE(debug.messages().filter(QStringLiteral("on_cell_clicked:")), QStringList{"on_cell_clicked:1"});
    // The slot by its name.
    QVERIFY(QMetaObject::invokeMethod(&p.panel, "on_cell_clicked", Q_ARG(int, 0), Q_ARG(int, 2)));
    QCOMPARE(debug.messages().filter(QStringLiteral("on_cell_clicked:")),
             (QStringList{"on_cell_clicked:1", "on_cell_clicked:2"}));
}

void PicturePageTest::fourthPictureIsIgnored()
{
    PanelFixture p;
    const QString path = p.picture(QStringLiteral("a.png"), 20, 20);
    for (int i = 0; i < 3; ++i)
        p.add(path);
    p.f.calls().clear();
    QSignalSpy added(&p.panel, SIGNAL(add_imageitem(QString,QString,int)));
    ModalDriver driver(300);
    driver.onNext([](QWidget *) {});
    p.add(path);
    p.add(p.picture(QStringLiteral("huge.png"), 1921, 10)); // not even the size message
    QVERIFY(!driver.waitDone(500) || driver.seen().isEmpty());
    QVERIFY(driver.seen().isEmpty());
    QCOMPARE(added.size(), 0);
    QCOMPARE(p.f.ops(), std::vector<std::string>());
    QCOMPARE(p.panel.pictures().size(), 3);
}

void PicturePageTest::deleteAsksFirst_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("deleted");
    QTest::newRow("OK") << "pushButton_oksmall" << true;
    QTest::newRow("Cancel") << "pushButton_cancelsmall" << false;
    QTest::newRow("close mark") << "pushButton_close" << false;
}

void PicturePageTest::deleteAsksFirst()
{
    QFETCH(QString, button);
    QFETCH(bool, deleted);
    PanelFixture p;
    const QString a = p.picture(QStringLiteral("a.png"), 20, 20);
    const QString b = p.picture(QStringLiteral("b.png"), 30, 30);
    const QString c = p.picture(QStringLiteral("c.png"), 40, 40);
    p.add(a);
    p.add(b);
    p.add(c);
    const QList<int> ids = p.ids();
    QSignalSpy removed(&p.panel, SIGNAL(del_imageitem(int)));
    ModalDriver driver;
    driver.pressNext(button);
    // The cancel mark of the middle slot.
    p.panel.slotButtons()[1]->ShowCancel();
    QTest::mouseClick(p.panel.slotButtons()[1]->CancelButton(), Qt::LeftButton);
    QVERIFY(driver.waitDone());
    QVERIFY(driver.errors().isEmpty());
    QCOMPARE(driver.last().text(QStringLiteral("tipinfolabel")), QStringLiteral("确认删除?"));
    QVERIFY(driver.last().hasButton(QStringLiteral("pushButton_cancelsmall")));
    if (!deleted) {
        QCOMPARE(removed.size(), 0);
        QCOMPARE(p.ids(), ids);
        QCOMPARE(p.f.calls().count("RemoveItem") + p.f.calls().count("Remove"), 0);
        QCOMPARE(slotStates(p.panel), QStringLiteral("PPP"));
        return;
    }
    QCOMPARE(removed.size(), 1);
    QCOMPARE(removed[0][0].toInt(), ids[1]);
    QVERIFY(!p.f.engine()->item(ids[1]));
    QCOMPARE(p.ids(), (QList<int>{ids[0], ids[2]}));
    // The third picture moved into the second slot, the third is the add slot.
    QCOMPARE(slotStates(p.panel), QStringLiteral("PP+"));
    QCOMPARE(p.panel.pictures()[1].path, c);
    QSignalSpy cell(p.panel.slotButtons()[1], SIGNAL(cellclick(int,int)));
    QTest::mouseClick(p.panel.slotButtons()[1], Qt::LeftButton);
    QCOMPARE(cell.size(), 1);
    QCOMPARE(cell[0][1].toInt(), 1);
}

void PicturePageTest::restoredPicturesNeedNoEngine()
{
    PanelFixture p;
    QSignalSpy added(&p.panel, SIGNAL(add_imageitem(QString,QString,int)));
    const QString huge = p.picture(QStringLiteral("huge.png"), 2000, 2000); // no size check here
    QVERIFY(p.panel.AddPicture(7, huge));
    QCOMPARE(slotStates(p.panel), QStringLiteral("P+-"));
    QVERIFY(p.panel.AddPicture(9, QStringLiteral("/nowhere/b.png")));
    QVERIFY(p.panel.AddPicture(8, huge));
    QCOMPARE(slotStates(p.panel), QStringLiteral("PPP"));
    QVERIFY(!p.panel.AddPicture(10, huge));
    QCOMPARE(p.ids(), (QList<int>{7, 9, 8}));
    p.panel.RemovePicture(42);
    QCOMPARE(p.ids(), (QList<int>{7, 9, 8}));
    p.panel.RemovePicture(9);
    QCOMPARE(p.ids(), (QList<int>{7, 8}));
    QCOMPARE(slotStates(p.panel), QStringLiteral("PP+"));
    // An id that names no item is refused and never listed.
    QVERIFY(!p.panel.AddPicture(0, huge));
    QVERIFY(!p.panel.AddPicture(-1, huge));
    QCOMPARE(p.ids(), (QList<int>{7, 8}));
    p.panel.RemovePicture(7);
    p.panel.RemovePicture(8);
    QCOMPARE(slotStates(p.panel), QStringLiteral("+--"));
    QCOMPARE(added.size(), 0);
    QCOMPARE(p.f.ops(), std::vector<std::string>());
}

void PicturePageTest::fileDialog()
{
    PanelFixture p;
    const QString path = p.picture(QStringLiteral("chosen.jpg"), 300, 150);
    QString caption, filter, directory;
    ModalDriver driver;
    driver.onNext([&](QWidget *w) {
        auto *dialog = qobject_cast<QFileDialog *>(w);
        QVERIFY(dialog);
        caption = dialog->windowTitle();
        filter = dialog->nameFilters().join(QLatin1Char('|'));
        directory = dialog->directory().absolutePath();
        // As a user types the name and presses Open.
        auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        QVERIFY(name);
        name->setText(QFileInfo(path).fileName());
        QMetaObject::invokeMethod(dialog, "accept");
    });
    QSignalSpy added(&p.panel, SIGNAL(add_imageitem(QString,QString,int)));
    QTest::mouseClick(p.panel.findChild<MvDraggedButton *>(QStringLiteral("pushButton_adddragpic")), Qt::LeftButton);
    QVERIFY(driver.waitDone());
    QVERIFY(driver.errors().isEmpty());
    QCOMPARE(caption, QStringLiteral("媒体文件"));
    QCOMPARE(filter, QStringLiteral("媒体文件(*.jpg *.bmp *.png *.gif)"));
    QCOMPARE(directory, p.f.env.workPath());
    QCOMPARE(added.size(), 1);
    QCOMPARE(added[0][0].toString(), path);
    QCOMPARE(p.rectOf(added[0][2].toInt()), QRect(0, 640, 160, 80));
    // The empty slot asks too.
    driver.onNext([](QWidget *w) { static_cast<QDialog *>(w)->reject(); });
    QTest::mouseClick(p.panel.slotButtons()[1], Qt::LeftButton);
    QVERIFY(driver.waitDone());
    QCOMPARE(driver.seen().size(), 2);
    QCOMPARE(driver.last().className, QStringLiteral("QFileDialog"));
}

void PicturePageTest::cancelledFileDialogAddsNothing()
{
    PanelFixture p;
    ModalDriver driver;
    driver.onNext([](QWidget *w) { static_cast<QDialog *>(w)->reject(); });
    QSignalSpy added(&p.panel, SIGNAL(add_imageitem(QString,QString,int)));
    QTest::mouseClick(p.panel.slotButtons()[0], Qt::LeftButton);
    QVERIFY(driver.waitDone());
    QCOMPARE(driver.seen().size(), 1);
    QCOMPARE(added.size(), 0);
    QCOMPARE(p.f.ops(), std::vector<std::string>());
    QVERIFY(p.panel.pictures().isEmpty());
}

void PicturePageTest::dropArrivesAfterTheEvent()
{
    PanelFixture p;
    const QString path = p.picture(QStringLiteral("dropped.png"), 50, 40);
    QSignalSpy added(&p.panel, SIGNAL(add_imageitem(QString,QString,int)));
    auto *target = p.panel.findChild<MvDraggedButton *>(QStringLiteral("pushButton_adddragpic"));
    testsupport::dropFile(target, path);
    // Queued: nothing yet while the drop is being handled.
    QCOMPARE(added.size(), 0);
    QVERIFY(p.panel.pictures().isEmpty());
    QTRY_COMPARE(added.size(), 1);
    QCOMPARE(added[0][0].toString(), path);
    QCOMPARE(p.rectOf(added[0][2].toInt()), QRect(0, 680, 50, 40));
    // A file of another type is not taken by the drop area.
    const QString text = p.f.env.workPath() + QStringLiteral("/notes.txt");
    QFile file(text);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("x");
    file.close();
    testsupport::dropFile(target, text);
    QTest::qWait(50);
    QCOMPARE(added.size(), 1);
}

void PicturePageTest::engineRefusalLeavesNothing_data()
{
    QTest::addColumn<int>("code");
    QTest::newRow("negative") << -3;
    QTest::newRow("zero") << 0;
}

void PicturePageTest::engineRefusalLeavesNothing()
{
    QFETCH(int, code);
    PanelFixture p;
    castcore::control().ints().push("CreateItem", code);
    QSignalSpy added(&p.panel, SIGNAL(add_imageitem(QString,QString,int)));
    AnalyticsStub analytics;
    ModalDriver driver(300);
    driver.onNext([](QWidget *) {});
    p.add(p.picture(QStringLiteral("a.png"), 20, 20));
    driver.waitDone(500);
    QVERIFY(driver.seen().isEmpty()); // no message
    QCOMPARE(added.size(), 0);
    QVERIFY(p.panel.pictures().isEmpty());
    QCOMPARE(slotStates(p.panel), QStringLiteral("+--"));
    QCOMPARE(p.f.calls().count("SetItemRect"), 0);
    QVERIFY(p.f.proxy->itemIds().empty());
    QTest::qWait(100);
    QCOMPARE(analytics.records().size(), 0);
}

void PicturePageTest::unreadableFileIsRefusedBeforeTheEngine()
{
    PanelFixture p;
    const QString path = p.f.env.workPath() + QStringLiteral("/broken.png");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("not a picture at all");
    file.close();
    QSignalSpy added(&p.panel, SIGNAL(add_imageitem(QString,QString,int)));
    ModalDriver driver;
    driver.pressNext(QStringLiteral("pushButton_ok"));
    p.add(path);
    QVERIFY(driver.waitDone());
    QCOMPARE(driver.last().text(QStringLiteral("tipinfolabel")), kUnreadable);
    // The log keeps why, beside the text the user saw.
    QVERIFY(testsupport::LogCapture::contains(QStringLiteral("picture refused: %1 (").arg(path)));
    QVERIFY(testsupport::LogCapture::contains(QStringLiteral(": 图片读取失败!)")));
    driver.pressNext(QStringLiteral("pushButton_ok"));
    p.add(p.f.env.workPath() + QStringLiteral("/missing.png"));
    QVERIFY(driver.waitDone());
    QCOMPARE(driver.last().text(QStringLiteral("tipinfolabel")), kUnreadable);
    QVERIFY(driver.errors().isEmpty());
    QCOMPARE(added.size(), 0);
    QCOMPARE(p.f.ops(), std::vector<std::string>());
}

void PicturePageTest::withoutFacadeNothingIsAdded()
{
    testsupport::TempEnvironment env;
    UiInsertPicWidget panel;
    QSignalSpy added(&panel, SIGNAL(add_imageitem(QString,QString,int)));
    panel.slot_draggedpicture(testsupport::writeSolidPicture(env.workPath() + QStringLiteral("/a.png"),
                                                             QSize(10, 10), Qt::red));
    QCOMPARE(added.size(), 0);
    QVERIFY(panel.pictures().isEmpty());
}

void PicturePageTest::analyticsForEachPicture()
{
    AnalyticsStub analytics;
    PanelFixture p;
    p.add(p.picture(QStringLiteral("a.png"), 20, 20));
    p.add(p.picture(QStringLiteral("b.gif"), 20, 20));
    QVERIFY(analytics.waitForRecords(2));
    QCOMPARE(analytics.actions(), (QStringList{"click_pic_addpic {}", "click_pic_addpic {}"}));
    QCOMPARE(analytics.records()[0].value("pc").toString(), QStringLiteral("page_pic"));
}

void PicturePageTest::pageLaysOutItsChildren()
{
    testsupport::TempEnvironment env;
    QVERIFY(env.copyEffectFolder());
    UiSetPicture page;
    QCOMPARE(page.size(), QSize(264, 740));
    QCOMPARE(page.styleSheet(), QStringLiteral("background:white"));
    QCOMPARE(page.windowTitle(), QStringLiteral("Form"));
    QVERIFY(page.getInsertPicWidget());
    QVERIFY(page.getSampleWidget());
    QCOMPARE(page.getInsertPicWidget()->geometry(), QRect(0, 0, 264, 198));
    QCOMPARE(page.getSampleWidget()->geometry(), QRect(0, 228, 264, 512));
    QCOMPARE(page.getSampleWidget()->kind(), 1);
    QCOMPARE(page.getSampleWidget()->samplePaths().size(), 9);
}

void PicturePageTest::pageForwardsEachSignalOnce()
{
    FacadeFixture f;
    QVERIFY(f.env.copyEffectFolder());
    f.init();
    UiSetPicture page;
    page.setLiveProxy(f.proxy.get());
    QSignalSpy add(&page, SIGNAL(add_screenitem(QString,QString,int)));
    QSignalSpy delScreen(&page, SIGNAL(del_screenitem(int)));
    QSignalSpy delImage(&page, SIGNAL(del_imageitem(int)));

    // A picture in and out.
    const QString path =
        testsupport::writeSolidPicture(f.env.workPath() + QStringLiteral("/a.png"), QSize(30, 30), Qt::red);
    page.getInsertPicWidget()->slot_draggedpicture(path);
    QCOMPARE(add.size(), 1);
    const int pictureId = add[0][2].toInt();
    QVERIFY(pictureId > 0);
    QCOMPARE(add[0][0].toString(), path);
    QCOMPARE(add[0][1].toString(), QStringLiteral("图片"));
    ModalDriver driver;
    driver.pressNext(QStringLiteral("pushButton_oksmall"));
    QVERIFY(QMetaObject::invokeMethod(page.getInsertPicWidget(), "on_cancel_clicked", Q_ARG(int, 1), Q_ARG(int, 0)));
    QVERIFY(driver.waitDone());
    QCOMPARE(delImage.size(), 1);
    QCOMPARE(delImage[0][0].toInt(), pictureId);
    QCOMPARE(delScreen.size(), 0);

    // A pendant in and out: the first cell of the grid.
    auto *table = page.getSampleWidget()->findChild<QTableWidget *>(QStringLiteral("widgetsSamplesTableWidget"));
    auto *cell = qobject_cast<MvEnterBorderButton *>(table->cellWidget(0, 0));
    QVERIFY(cell);
    QTest::mouseClick(cell, Qt::LeftButton);
    QCOMPARE(add.size(), 2);
    const int pendantId = add[1][2].toInt();
    QVERIFY(pendantId > 0);
    QCOMPARE(add[1][0].toString(), f.env.workPath() + QStringLiteral("/effect/pendant/冰水-m.png"));
    QCOMPARE(add[1][1].toString(), QStringLiteral("冰水"));
    cell = qobject_cast<MvEnterBorderButton *>(table->cellWidget(0, 0));
    QVERIFY(cell->isChecked());
    QTest::mouseClick(cell, Qt::LeftButton);
    QCOMPARE(delScreen.size(), 1);
    QCOMPARE(delScreen[0][0].toInt(), pendantId);
    QCOMPARE(delImage.size(), 1);
    QCOMPARE(add.size(), 2);
    QVERIFY(!f.engine()->item(pendantId));
}

QTEST_MAIN(PicturePageTest)
#include "tst_picturepage.moc"

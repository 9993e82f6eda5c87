#include "DialogTests.h"

#include "NoFocusFrameDelegate.h"

#include <QImage>
#include <QPainter>
#include <QProxyStyle>
#include <QStandardItemModel>
#include <QTableView>
#include <QTest>

namespace {

// Records the state each item is drawn with and the focus frames drawn.
class RecordingStyle : public QProxyStyle
{
public:
    mutable QList<QStyle::State> itemStates;
    mutable int focusFrames = 0;

    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget) const override
    {
        if (element == CE_ItemViewItem)
            itemStates << option->state;
        QProxyStyle::drawControl(element, option, painter, widget);
    }
    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                       const QWidget *widget) const override
    {
        if (element == PE_FrameFocusRect)
            ++focusFrames;
        QProxyStyle::drawPrimitive(element, option, painter, widget);
    }
};

} // namespace

class TestNoFocusDelegate : public QObject
{
    Q_OBJECT

private slots:
    void focusedCellDrawsWithoutFocusFrame_data()
    {
        QTest::addColumn<bool>("noFocusDelegate");
        QTest::newRow("standard delegate") << false;
        QTest::newRow("no-focus delegate") << true;
    }
    void focusedCellDrawsWithoutFocusFrame()
    {
        QFETCH(bool, noFocusDelegate);
        QStandardItemModel model(1, 1);
        model.setItem(0, 0, new QStandardItem(QStringLiteral("cell")));
        QTableView view;
        view.setModel(&model);
        auto *style = new RecordingStyle;
        style->setParent(&view);
        view.setStyle(style);
        QStyledItemDelegate standard;
        NoFocusFrameDelegate plain(&view);
        QStyledItemDelegate *delegate = noFocusDelegate ? &plain : &standard;

        QStyleOptionViewItem option;
        option.initFrom(&view);
        option.widget = &view;
        option.rect = QRect(0, 0, 80, 24);
        option.state |= QStyle::State_HasFocus | QStyle::State_Selected | QStyle::State_Enabled;
        QImage canvas(80, 24, QImage::Format_ARGB32_Premultiplied);
        QPainter painter(&canvas);
        delegate->paint(&painter, option, model.index(0, 0));

        QCOMPARE(style->itemStates.size(), 1);
        const QStyle::State drawn = style->itemStates.first();
        QCOMPARE(bool(drawn & QStyle::State_HasFocus), !noFocusDelegate);
        QVERIFY(drawn & QStyle::State_Selected); // the rest of the state stays
        if (noFocusDelegate)
            QCOMPARE(style->focusFrames, 0);
        else
            QVERIFY(style->focusFrames > 0);
    }
};

QObject *createNoFocusDelegateTests()
{
    return new TestNoFocusDelegate;
}

#include "tst_nofocusdelegate.moc"

// The message tip: slide, hold and fade, stepped on the animation clock.

#include "MvToolTip.h"

#include <QPauseAnimation>
#include <QPropertyAnimation>
#include <QtTest>

class TestToolTip : public QObject
{
    Q_OBJECT

private:
    static void showAt(MvToolTip &tip, const QString &text)
    {
        tip.setGeometry(200, 150, 300, 35);
        tip.ShowMessage(text);
    }

private slots:
    void construction()
    {
        QWidget owner;
        MvToolTip tip(&owner);
        QVERIFY(tip.isWindow());
        QVERIFY(tip.isHidden());
        QVERIFY(tip.windowFlags() & Qt::FramelessWindowHint);
        QVERIFY(tip.windowFlags() & Qt::WindowStaysOnTopHint);
        QCOMPARE(tip.alignment(), Qt::AlignHCenter | Qt::AlignVCenter);
        QVERIFY(qAbs(tip.windowOpacity() - 0.7) < 0.01);
        QVERIFY(!tip.Flag());
        tip.SetFlag(true);
        QVERIFY(tip.Flag());
        QCOMPARE(tip.SlideAnimation()->propertyName(), QByteArray("geometry"));
        QCOMPARE(tip.FadeAnimation()->propertyName(), QByteArray("windowOpacity"));
        QCOMPARE(tip.SlideAnimation()->targetObject(), &tip);
        QCOMPARE(tip.FadeAnimation()->targetObject(), &tip);
        QCOMPARE(tip.SlideAnimation()->state(), QAbstractAnimation::Stopped);
    }

    void colors()
    {
        MvToolTip tip;
        tip.SetColors(Qt::red, Qt::darkGray);
        QVERIFY(tip.autoFillBackground());
        QCOMPARE(tip.palette().color(QPalette::WindowText), QColor(Qt::red));
        QCOMPARE(tip.palette().color(QPalette::Window), QColor(Qt::darkGray));
    }

    void fullCycle()
    {
        MvToolTip tip;
        showAt(tip, QStringLiteral("请输入密码"));
        QVERIFY(tip.isVisible());
        QCOMPARE(tip.text(), QStringLiteral("请输入密码"));
        QCOMPARE(tip.TargetGeometry(), QRect(200, 150, 300, 35));

        QPropertyAnimation *slide = tip.SlideAnimation();
        QCOMPARE(slide->state(), QAbstractAnimation::Running);
        QCOMPARE(slide->duration(), 200);
        QCOMPARE(slide->startValue().toRect(), QRect(200, 130, 300, 35));
        QCOMPARE(slide->endValue().toRect(), QRect(200, 150, 300, 35));
        slide->setCurrentTime(100);
        QCOMPARE(tip.geometry(), QRect(200, 140, 300, 35));
        slide->setCurrentTime(200);
        QCOMPARE(slide->state(), QAbstractAnimation::Stopped);
        QCOMPARE(tip.geometry(), QRect(200, 150, 300, 35));

        QPauseAnimation *hold = tip.HoldAnimation();
        QCOMPARE(hold->state(), QAbstractAnimation::Running);
        QCOMPARE(hold->duration(), 3000);
        QPropertyAnimation *fade = tip.FadeAnimation();
        hold->setCurrentTime(2999);
        QCOMPARE(fade->state(), QAbstractAnimation::Stopped);
        hold->setCurrentTime(3000);

        QCOMPARE(fade->state(), QAbstractAnimation::Running);
        QCOMPARE(fade->duration(), 500);
        QCOMPARE(fade->startValue().toDouble(), 0.7);
        QCOMPARE(fade->endValue().toDouble(), 0.1);
        fade->setCurrentTime(250);
        QVERIFY(qAbs(tip.windowOpacity() - 0.4) < 0.01);
        QVERIFY(tip.isVisible());
        QCOMPARE(tip.text(), QStringLiteral("请输入密码"));

        fade->setCurrentTime(500);
        QVERIFY(tip.isHidden());
        QVERIFY(tip.text().isEmpty());
        QVERIFY(qAbs(tip.windowOpacity() - 0.7) < 0.01);
    }

    // A second message 2 s in replaces the text; the tip still fades at 3 s.
    void secondMessageKeepsFirstTimeout()
    {
        MvToolTip tip;
        showAt(tip, QStringLiteral("one"));
        tip.SlideAnimation()->setCurrentTime(200);
        tip.HoldAnimation()->setCurrentTime(2000);

        tip.ShowMessage(QStringLiteral("two"));
        QCOMPARE(tip.text(), QStringLiteral("two"));
        QCOMPARE(tip.SlideAnimation()->state(), QAbstractAnimation::Stopped);
        QCOMPARE(tip.HoldAnimation()->state(), QAbstractAnimation::Running);
        QVERIFY(tip.HoldAnimation()->currentTime() >= 2000);
        QVERIFY(tip.HoldAnimation()->currentTime() < 2500);

        tip.HoldAnimation()->setCurrentTime(3000);
        QCOMPARE(tip.FadeAnimation()->state(), QAbstractAnimation::Running);
        QCOMPARE(tip.text(), QStringLiteral("two"));
    }

    // A message during the fade fades out with it; the next one slides in again.
    void messageDuringFade()
    {
        MvToolTip tip;
        showAt(tip, QStringLiteral("one"));
        tip.SlideAnimation()->setCurrentTime(200);
        tip.HoldAnimation()->setCurrentTime(3000);
        tip.FadeAnimation()->setCurrentTime(300);

        tip.ShowMessage(QStringLiteral("two"));
        QCOMPARE(tip.text(), QStringLiteral("two"));
        QCOMPARE(tip.FadeAnimation()->state(), QAbstractAnimation::Running);
        QCOMPARE(tip.SlideAnimation()->state(), QAbstractAnimation::Stopped);

        tip.FadeAnimation()->setCurrentTime(500);
        QVERIFY(tip.isHidden());
        QVERIFY(tip.text().isEmpty());

        tip.setGeometry(10, 40, 300, 35);
        tip.ShowMessage(QStringLiteral("three"));
        QVERIFY(tip.isVisible());
        QCOMPARE(tip.SlideAnimation()->state(), QAbstractAnimation::Running);
        QCOMPARE(tip.SlideAnimation()->startValue().toRect(), QRect(10, 20, 300, 35));
        QCOMPARE(tip.HoldAnimation()->state(), QAbstractAnimation::Running);
        QVERIFY(tip.HoldAnimation()->currentTime() < 500);
    }

    // Hidden from outside mid-fade: the next message starts afresh at full
    // opacity and its own three seconds.
    void hiddenFromOutsideStartsAfresh()
    {
        MvToolTip tip;
        showAt(tip, QStringLiteral("one"));
        tip.HoldAnimation()->setCurrentTime(3000);
        tip.FadeAnimation()->setCurrentTime(400);
        tip.hide();

        showAt(tip, QStringLiteral("two"));
        QCOMPARE(tip.FadeAnimation()->state(), QAbstractAnimation::Stopped);
        QVERIFY(qAbs(tip.windowOpacity() - 0.7) < 0.01);
        QCOMPARE(tip.HoldAnimation()->state(), QAbstractAnimation::Running);
        QVERIFY(tip.HoldAnimation()->currentTime() < 500);
        QVERIFY(tip.isVisible());
        QCOMPARE(tip.text(), QStringLiteral("two"));
    }

    // The stages also run by themselves on the animation clock.
    void slideRunsOnItsOwn()
    {
        MvToolTip tip;
        showAt(tip, QStringLiteral("one"));
        QTRY_COMPARE_WITH_TIMEOUT(tip.SlideAnimation()->state(), QAbstractAnimation::Stopped, 2000);
        QCOMPARE(tip.geometry(), QRect(200, 150, 300, 35));
        QCOMPARE(tip.HoldAnimation()->state(), QAbstractAnimation::Running);
    }
};

QTEST_MAIN(TestToolTip)
#include "tst_tooltip.moc"

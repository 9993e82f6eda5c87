#include "DialogTests.h"

#include "ModalDriver.h"

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using testsupport::ModalDriver;

namespace {

// A dialog with a message, an input, and "&Yes" (accept) / "No" (reject).
class Question : public QDialog
{
public:
    explicit Question(const QString &message, QWidget *parent = nullptr)
        : QDialog(parent)
    {
        setObjectName(QStringLiteral("question"));
        setWindowTitle(QStringLiteral("Q"));
        auto *label = new QLabel(message, this);
        label->setObjectName(QStringLiteral("message"));
        label->setGeometry(0, 0, 200, 20);
        auto *edit = new QLineEdit(QStringLiteral("typed"), this);
        edit->setObjectName(QStringLiteral("edit"));
        edit->setGeometry(0, 20, 200, 20);
        auto *hidden = new QLabel(QStringLiteral("hidden"), this);
        hidden->hide();
        auto *yes = new QPushButton(QStringLiteral("&Yes"), this);
        yes->setObjectName(QStringLiteral("yes"));
        yes->setGeometry(0, 50, 60, 24);
        auto *no = new QPushButton(QStringLiteral("No"), this);
        no->setObjectName(QStringLiteral("no"));
        no->setGeometry(70, 50, 60, 24);
        connect(yes, &QPushButton::clicked, this, &QDialog::accept);
        connect(no, &QPushButton::clicked, this, &QDialog::reject);
        resize(220, 90);
    }
};

} // namespace

class TestModalDriver : public QObject
{
    Q_OBJECT

private slots:
    void readsTextsAndPressesByNameOrText_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("result");
        QTest::newRow("object name") << "no" << 0;
        QTest::newRow("text without &") << "Yes" << 1;
    }
    void readsTextsAndPressesByNameOrText()
    {
        QFETCH(QString, button);
        QFETCH(int, result);
        ModalDriver driver;
        driver.pressNext(button);
        Question q(QStringLiteral("继续?"));
        QCOMPARE(q.exec(), result);
        QVERIFY(driver.waitDone());
        QVERIFY(driver.errors().isEmpty());
        const auto s = driver.last();
        QCOMPARE(s.objectName, QStringLiteral("question"));
        QCOMPARE(s.windowTitle, QStringLiteral("Q"));
        QCOMPARE(s.labels, QStringList{QStringLiteral("继续?")});
        QCOMPARE(s.buttons, (QStringList{QStringLiteral("Yes"), QStringLiteral("No")}));
        QCOMPARE(s.text("edit"), QStringLiteral("typed"));
        QVERIFY(s.hasButton(QStringLiteral("yes")));
        QVERIFY(!s.hasButton(QStringLiteral("message")));
    }

    void missingButtonIsAnErrorAndClosesTheDialog()
    {
        ModalDriver driver;
        driver.pressNext(QStringLiteral("maybe"));
        Question q(QStringLiteral("?"));
        QCOMPARE(q.exec(), 0);
        QVERIFY(driver.waitDone());
        QCOMPARE(driver.errors().size(), 1);
        QVERIFY(driver.errors().first().contains(QStringLiteral("maybe")));
    }

    void stepWithoutDialogTimesOut()
    {
        ModalDriver driver(50);
        driver.pressNext(QStringLiteral("yes"));
        QVERIFY(!driver.done());
        QVERIFY(driver.waitDone(2000));
        QCOMPARE(driver.errors().size(), 1);
        QVERIFY(driver.seen().isEmpty());
    }

    void stepsMeetDialogsInOrder()
    {
        ModalDriver driver;
        driver.pressNext(QStringLiteral("yes"));
        driver.pressNext(QStringLiteral("no"));
        Question first(QStringLiteral("one"));
        Question second(QStringLiteral("two"));
        QCOMPARE(first.exec(), 1);
        QCOMPARE(second.exec(), 0);
        QVERIFY(driver.waitDone());
        QVERIFY(driver.errors().isEmpty());
        QCOMPARE(driver.seen().size(), 2);
        QCOMPARE(driver.seen().at(0).text("message"), QStringLiteral("one"));
        QCOMPARE(driver.seen().at(1).text("message"), QStringLiteral("two"));
    }

    void dialogAlreadyUpIsNotTheNext()
    {
        Question outer(QStringLiteral("outer"));
        outer.open(); // modal, without a blocking loop
        QCOMPARE(ModalDriver::waitForModal(2000), static_cast<QWidget *>(&outer));

        ModalDriver driver;
        driver.pressNext(QStringLiteral("yes"));
        Question inner(QStringLiteral("inner"), &outer);
        QCOMPARE(inner.exec(), 1);
        QVERIFY(driver.waitDone());
        QCOMPARE(driver.last().text("message"), QStringLiteral("inner"));
        QVERIFY(outer.isVisible());
        outer.reject();
    }
};

QObject *createModalDriverTests()
{
    return new TestModalDriver;
}

#include "tst_modaldriver.moc"

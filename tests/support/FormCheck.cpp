#include "FormCheck.h"

#include <QAbstractButton>
#include <QLabel>
#include <QTest>
#include <QWidget>

namespace testsupport {

void addFormColumns()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("className");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("text");
}

void addFormRow(const char *name, const char *className, const QRect &geometry, const QString &text)
{
    QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(className) << geometry << text;
}

namespace {

void compareRow(QWidget &form, QWidget *&found)
{
    QFETCH(QString, name);
    QFETCH(QString, className);
    QFETCH(QRect, geometry);
    QFETCH(QString, text);
    QWidget *w = form.findChild<QWidget *>(name);
    QVERIFY2(w, qPrintable(name));
    found = w;
    QCOMPARE(w->parentWidget(), &form);
    QCOMPARE(QString::fromLatin1(w->metaObject()->className()), className);
    QCOMPARE(w->geometry(), geometry);
    if (text.isNull())
        return;
    if (auto *label = qobject_cast<QLabel *>(w))
        QCOMPARE(label->text(), text);
    else if (auto *button = qobject_cast<QAbstractButton *>(w))
        QCOMPARE(button->text(), text);
    else
        QFAIL("a text was given for a widget that shows none");
}

} // namespace

QWidget *checkFormRow(QWidget &form)
{
    QWidget *found = nullptr;
    compareRow(form, found);
    return found;
}

} // namespace testsupport

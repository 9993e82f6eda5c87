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

// What a label or button shows; false for any other widget.
bool shownText(QWidget *w, QString *text)
{
    if (auto *label = qobject_cast<QLabel *>(w))
        *text = label->text();
    else if (auto *button = qobject_cast<QAbstractButton *>(w))
        *text = button->text();
    else
        return false;
    return true;
}

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
    QString shown;
    if (!shownText(w, &shown))
        QFAIL("a text was given for a widget that shows none");
    QCOMPARE(shown, text);
}

} // namespace

QWidget *checkFormRow(QWidget &form)
{
    QWidget *found = nullptr;
    compareRow(form, found);
    return found;
}

QString formMismatch(QWidget *form, const QVector<FormPart> &parts)
{
    for (const FormPart &p : parts) {
        QWidget *w = form->findChild<QWidget *>(QLatin1String(p.name));
        if (!w)
            return QStringLiteral("%1 missing").arg(QLatin1String(p.name));
        const QRect r = w->geometry();
        if (r != p.geometry)
            return QStringLiteral("%1 at %2,%3 %4x%5")
                .arg(QLatin1String(p.name))
                .arg(r.x())
                .arg(r.y())
                .arg(r.width())
                .arg(r.height());
        QString text = p.text;
        shownText(w, &text);
        if (text != p.text)
            return QStringLiteral("%1 says \"%2\"").arg(QLatin1String(p.name), text);
    }
    return QString();
}

QStringList tabChain(QWidget *first, const QStringList &names)
{
    QStringList chain;
    QWidget *w = first;
    for (int guard = 0; w && guard < 1000 && chain.size() < names.size(); ++guard, w = w->nextInFocusChain())
        if (names.contains(w->objectName()) && !chain.contains(w->objectName()))
            chain << w->objectName();
    return chain;
}

} // namespace testsupport

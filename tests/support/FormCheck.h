#pragma once

#include <QRect>
#include <QString>
#include <QStringList>
#include <QVector>
#include <QWidget>

namespace testsupport {

// Table-driven checks of a Designer form against its widget table: one row
// per child, with its object name, class, geometry and text.
//
//     void formWidgets_data() { addFormColumns(); addFormRow("label", "QLabel", {36, 232, 54, 12}, "..."); }
//     void formWidgets() { Dialog d; checkFormRow(d); }

void addFormColumns();
// A null text leaves the text unchecked.
void addFormRow(const char *name, const char *className, const QRect &geometry, const QString &text = QString());
// Finds the current row's child (a direct child of `form`) and compares it
// with the row; a mismatch fails the running test. Returns the child, or
// null when it is missing.
QWidget *checkFormRow(QWidget &form);

// The same check as one table inside a test: object name, geometry and the
// text a label or button shows.
struct FormPart
{
    const char *name;
    QRect geometry;
    QString text;
};

// The first part that is missing or differs in geometry or text, described;
// empty when all match.
QString formMismatch(QWidget *form, const QVector<FormPart> &parts);

// The form's child of that object name and class; warns when missing.
template <class T>
T *formPart(QWidget *form, const char *name)
{
    T *w = form->findChild<T *>(QLatin1String(name));
    if (!w)
        qWarning("missing part %s", name);
    return w;
}

// The object names among `names`, in the order the focus chain visits them
// from `first`.
QStringList tabChain(QWidget *first, const QStringList &names);

} // namespace testsupport

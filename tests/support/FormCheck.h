#pragma once

#include <QRect>
#include <QString>

class QWidget;

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

} // namespace testsupport

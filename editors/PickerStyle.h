#pragma once

#include <QString>

class QObject;
class QTableWidget;

// The look the list and picker tables of the source pages share.
namespace pickerstyle {

// The thin vertical scroll bar of the subtitle list (`blankBeforeThirdRule`
// false) and of the template chooser (true), as each was written.
QString scrollBarStyle(bool blankBeforeThirdRule);

// No frame, no grid, no headers, no editing, one selection, no focus frame.
void plainTable(QTableWidget *table, QObject *delegateOwner);

} // namespace pickerstyle

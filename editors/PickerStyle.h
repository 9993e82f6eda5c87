#pragma once

#include <QString>

// The look the list and picker tables of the source pages share.
namespace pickerstyle {

// The thin vertical scroll bar of the subtitle list (`blankBeforeThirdRule`
// false) and of the template chooser (true), as each was written.
QString scrollBarStyle(bool blankBeforeThirdRule);

} // namespace pickerstyle

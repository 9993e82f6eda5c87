#include "PickerStyle.h"

namespace pickerstyle {

QString scrollBarStyle(bool blankBeforeThirdRule)
{
    return QStringLiteral("QScrollBar:vertical {width: 4px; }\t\t"
                          "QScrollBar::handle:vertical {background: #b7b9c2;border-radius:2px;width:4px;}\t\t")
        + (blankBeforeThirdRule ? QStringLiteral(" ") : QString())
        + QStringLiteral("QScrollBar::add-line:vertical {border: none;background: transparent;height: 0px;}\t\t"
                         "QScrollBar::sub-line:vertical {border: none;background: transparent;height: 0px;}\t\t"
                         "QScrollBar::up-arrow:vertical, QScrollBar::down-arrow:vertical {border: none;"
                         "background:transparent;}\t\t"
                         "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical {background: #e9eaee;}\t\t");
}

} // namespace pickerstyle

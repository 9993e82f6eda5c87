#pragma once

#include <QProxyStyle>

// Draws the assistant's tab bar as flat text tabs of one size: no tab shape
// or frame, a light fill behind the selected tab, orange text for the
// selected and the hovered tab, grey for the others. Made without a base
// style, so the application's style draws everything else.
class CustomTabStyle1 : public QProxyStyle
{
    Q_OBJECT

public:
    CustomTabStyle1() = default;

    QSize sizeFromContents(ContentsType type, const QStyleOption *option, const QSize &size,
                           const QWidget *widget) const override;
    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget) const override;
};

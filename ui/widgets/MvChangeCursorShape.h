#pragma once

#include <QPushButton>

// A push button that shows the pointing-hand cursor while the mouse is over it.
class MvChangeCursorShape : public QPushButton
{
    Q_OBJECT

public:
    explicit MvChangeCursorShape(QWidget *parent = nullptr);
    ~MvChangeCursorShape() override;

protected:
    void enterEvent(QEvent *event) override;
    void leaveEvent(QEvent *event) override;
};

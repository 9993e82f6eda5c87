#pragma once

#include <QRadioButton>

// A radio button that shows the pointing-hand cursor while the mouse is over it.
class MvChangeCursorShapeRadioButton : public QRadioButton
{
    Q_OBJECT

public:
    explicit MvChangeCursorShapeRadioButton(QWidget *parent = nullptr);
    ~MvChangeCursorShapeRadioButton() override;

protected:
    void enterEvent(QEvent *event) override;
    void leaveEvent(QEvent *event) override;
};

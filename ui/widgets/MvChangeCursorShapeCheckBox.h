#pragma once

#include <QCheckBox>

// A check box that shows the pointing-hand cursor while the mouse is over it.
class MvChangeCursorShapeCheckBox : public QCheckBox
{
    Q_OBJECT

public:
    explicit MvChangeCursorShapeCheckBox(QWidget *parent = nullptr);
    ~MvChangeCursorShapeCheckBox() override;

protected:
    void enterEvent(QEvent *event) override;
    void leaveEvent(QEvent *event) override;
};

#pragma once

#include <QWidget>

// Panel background with a separator line along its right edge.
class MvPageLineWidget : public QWidget
{
    Q_OBJECT
public:
    explicit MvPageLineWidget(QWidget *parent = nullptr);
    ~MvPageLineWidget() override;

protected:
    void paintEvent(QPaintEvent *event) override;
};

#pragma once

#include "UiSamplePage.h"

namespace Ui {
class UiSetEdging;
}

// Sample page of the special-effect panel for edges, laid over the whole canvas.
class UiSetEdging : public UiSamplePage
{
    Q_OBJECT

public:
    explicit UiSetEdging(QWidget *parent = nullptr);
    ~UiSetEdging() override;

private:
    Ui::UiSetEdging *ui;
};

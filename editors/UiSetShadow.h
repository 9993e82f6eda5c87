#pragma once

#include "UiSamplePage.h"

namespace Ui {
class UiSetShadow;
}

// Sample page of the special-effect panel for shadows, full-canvas overlays.
class UiSetShadow : public UiSamplePage
{
    Q_OBJECT

public:
    explicit UiSetShadow(QWidget *parent = nullptr);
    ~UiSetShadow() override;

private:
    Ui::UiSetShadow *ui;
};

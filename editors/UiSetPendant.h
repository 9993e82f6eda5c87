#pragma once

#include "UiSamplePage.h"

namespace Ui {
class UiSetPendant;
}

// Sample page of the special-effect panel for pendants.
class UiSetPendant : public UiSamplePage
{
    Q_OBJECT

public:
    explicit UiSetPendant(QWidget *parent = nullptr);
    ~UiSetPendant() override;

private:
    Ui::UiSetPendant *ui;
};

#include "UiSetPendant.h"

#include "ui_UiSetPendant.h"

UiSetPendant::UiSetPendant(QWidget *parent)
    : UiSamplePage(1, parent)
    , ui(new Ui::UiSetPendant)
{
    ui->setupUi(this);
    createPicker();
}

UiSetPendant::~UiSetPendant()
{
    delete ui;
}

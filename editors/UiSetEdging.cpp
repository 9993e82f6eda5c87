#include "UiSetEdging.h"

#include "ui_UiSetEdging.h"

UiSetEdging::UiSetEdging(QWidget *parent)
    : UiSamplePage(0, parent)
    , ui(new Ui::UiSetEdging)
{
    ui->setupUi(this);
    createPicker();
}

UiSetEdging::~UiSetEdging()
{
    delete ui;
}

#include "UiSetShadow.h"

#include "ui_UiSetShadow.h"

UiSetShadow::UiSetShadow(QWidget *parent)
    : UiSamplePage(2, parent)
    , ui(new Ui::UiSetShadow)
{
    ui->setupUi(this);
    createPicker();
}

UiSetShadow::~UiSetShadow()
{
    delete ui;
}

#include "UiToolTipDialog.h"

#include "CurrentDialog.h"
#include "LayeredShadowWindow.h"
#include "ui_UiToolTipDialog.h"

UiToolTipDialog::UiToolTipDialog(QString text, QWidget *parent)
    : MvDragDialog(parent)
    , ui(new Ui::UiToolTipDialog)
{
    ui->setupUi(this);
    setWindowFlags(windowFlags() | Qt::SplashScreen);
    m_shadow = LayeredShadowWindow::Attach(winId());
    m_inExec = false;
    ui->tipinfolabel->setWordWrap(true);
    ui->tipinfolabel->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    ui->tipinfolabel->setText(text);
    setCancelVisible(false);
}

UiToolTipDialog::~UiToolTipDialog()
{
    // A box run inside another dialog has replaced that dialog in the
    // pointer; whoever set it since then keeps it.
    if (m_inExec) {
        if (currentDialog == this)
            currentDialog = nullptr;
        m_inExec = false;
    }
    delete ui;
}

int UiToolTipDialog::exec()
{
    m_inExec = true;
    currentDialog = this;
    return QDialog::exec();
}

void UiToolTipDialog::setCancelVisible(bool visible)
{
    ui->pushButton_oksmall->setVisible(visible);
    ui->pushButton_cancelsmall->setVisible(visible);
    ui->pushButton_ok->setVisible(!visible);
}

void UiToolTipDialog::setText(QString text)
{
    ui->tipinfolabel->setText(text);
}

void UiToolTipDialog::on_pushButton_close_clicked()
{
    reject();
}

void UiToolTipDialog::on_pushButton_ok_clicked()
{
    accept();
}

void UiToolTipDialog::on_pushButton_oksmall_clicked()
{
    accept();
}

void UiToolTipDialog::on_pushButton_cancelsmall_clicked()
{
    reject();
}

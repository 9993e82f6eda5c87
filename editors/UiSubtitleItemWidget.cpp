#include "UiSubtitleItemWidget.h"

#include "UiToolTipDialog.h"
#include "ui_UiSubtitleItemWidget.h"

UiSubtitleItemWidget::UiSubtitleItemWidget(QString text, QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::UiSubtitleItemWidget)
    , m_text(text)
{
    ui->setupUi(this);
    resize(240, 80);
    ui->plainTextEdit_content->setPlainText(text);
    ui->plainTextEdit_content->setAlignment(Qt::AlignVCenter);
    ui->plainTextEdit_content->setReadOnly(true);
    connect(ui->plainTextEdit_content, SIGNAL(sig_clickedit()), this, SLOT(slot_clicksubtitle()));
}

UiSubtitleItemWidget::~UiSubtitleItemWidget()
{
    delete ui;
}

void UiSubtitleItemWidget::slot_clicksubtitle()
{
    emit sig_clicksubtitle(m_text);
}

void UiSubtitleItemWidget::on_pushButton_del_clicked()
{
    UiToolTipDialog box(QStringLiteral("确认删除?"), this);
    box.setCancelVisible(true);
    if (box.exec() == 1)
        emit sig_delsubtitle(m_text);
}

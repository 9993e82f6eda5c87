#include "UiChooseSubtitleTemplateDlg.h"

#include "CurrentDialog.h"
#include "LayeredShadowWindow.h"
#include "MvEnterButton.h"
#include "NoFocusFrameDelegate.h"
#include "PickerStyle.h"
#include "ui_UiChooseSubtitleTemplateDlg.h"

#include <QScrollBar>

namespace {

constexpr int kButtonWidth = 248;
constexpr int kButtonHeight = 62;

} // namespace

UiChooseSubtitleTemplateDlg::UiChooseSubtitleTemplateDlg(QWidget *parent)
    : MvDragDialog(parent)
    , ui(new Ui::UiChooseSubtitleTemplateDlg)
{
    ui->setupUi(this);
    setWindowFlags(windowFlags() | Qt::SplashScreen);
    m_selected = -1;
    m_shadow = LayeredShadowWindow::Attach(winId());
}

UiChooseSubtitleTemplateDlg::~UiChooseSubtitleTemplateDlg()
{
    // A dialog opened from this one since may have taken the pointer over.
    if (m_inExec) {
        if (currentDialog == this)
            currentDialog = nullptr;
        m_inExec = false;
    }
    delete ui;
}

void UiChooseSubtitleTemplateDlg::SetTemplates(QVector<SubtitleTemplate> *templates, const QString &currentThumbnail)
{
    m_templates = templates;
    FillTable(currentThumbnail);
}

int UiChooseSubtitleTemplateDlg::exec()
{
    m_inExec = true;
    currentDialog = this;
    return QDialog::exec();
}

int UiChooseSubtitleTemplateDlg::GetSelectedIndex() const
{
    const int count = m_templates ? m_templates->size() : 0;
    return m_selected >= 0 && m_selected < count ? m_selected : -1;
}

void UiChooseSubtitleTemplateDlg::FillTable(const QString &currentThumbnail)
{
    QTableWidget *table = ui->tableWidget_Template;
    makePlainTable(table, this);
    table->setStyleSheet(QStringLiteral("background:white;selection-background-color:white;"));
    const int count = m_templates ? m_templates->size() : 0;
    table->setRowCount(count);
    table->setColumnCount(1);
    table->setColumnWidth(0, kButtonWidth);
    table->verticalScrollBar()->setStyleSheet(pickerstyle::scrollBarStyle(true));
    m_buttons.clear();
    for (int i = 0; i < count; ++i) {
        const SubtitleTemplate &entry = m_templates->at(i);
        table->setRowHeight(i, kButtonHeight);
        auto *button = new MvEnterButton(entry.thumbnailPath, kButtonWidth, kButtonHeight, table);
        if (entry.thumbnailPath == currentThumbnail)
            button->SetHighlighted(true);
        m_buttons << button;
        connect(button, SIGNAL(clicked(bool)), this, SLOT(slot_TemlapteItemClicked(bool)));
        table->setCellWidget(i, 0, button);
    }
}

void UiChooseSubtitleTemplateDlg::slot_TemlapteItemClicked(bool)
{
    auto *clicked = qobject_cast<MvEnterButton *>(sender());
    if (!clicked)
        return;
    for (int i = 0; i < m_buttons.size(); ++i) {
        if (m_buttons[i] == clicked) {
            m_selected = i;
            m_buttons[i]->SetHighlighted(true);
        } else {
            m_buttons[i]->SetHighlighted(false);
        }
    }
}

void UiChooseSubtitleTemplateDlg::on_pushButton_ok_clicked()
{
    accept();
}

void UiChooseSubtitleTemplateDlg::on_pushButton_cancel_clicked()
{
    reject();
}

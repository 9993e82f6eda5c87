#include "UiAddText.h"

#include "LiveProxy.h"
#include "ui_UiAddText.h"

#include <QColorDialog>
#include <QListView>
#include <QMessageBox>
#include <QTextCursor>

namespace {

const char *const kComboStyle =
    "QComboBox{border:1px solid gray;background:#d8d8dd;font:12px;}"
    "QComboBox QAbstractItemView{border:1px solid gray;outline:0px;}"
    "QComboBox QAbstractItemView::item{height:22px;background:white;color:black;}"
    "QComboBox QAbstractItemView::item:hover{background:#e8e6e6;}"
    "QComboBox::drop-down{border:none;}"
    "QComboBox::down-arrow{image:url(:/image/skin/droparrow_a.png);}"
    "QComboBox::down-arrow:hover,QComboBox::down-arrow:pressed{image:url(:/image/skin/droparrow.png);}";

} // namespace

UiAddText::UiAddText(LiveProxy *proxy, QWidget *parent)
    : MvDragDialog(parent)
    , ui(new Ui::UiAddText)
    , m_proxy(proxy)
{
    ui->setupUi(this);
    setWindowFlags(windowFlags() | Qt::SplashScreen);
    InitControls();
    ResetTextInfo();
    ShowTextInfo();
}

UiAddText::~UiAddText() = default;

bool UiAddText::EditItem(LiveProxy *proxy, int itemId)
{
    if (!proxy || itemId < 1)
        return false;
    TextOverlayInfo before;
    {
        EngineTextBuffers engine;
        proxy->getTextSettings(itemId, &engine.info);
        fromEngineText(engine.info, &before);
    }
    before.itemId = itemId;
    int x = 0, y = 0, w = 0, h = 0;
    proxy->getItemRect(itemId, &x, &y, &w, &h);

    TextOverlayInfo edited;
    {
        UiAddText editor(proxy, nullptr);
        editor.SetTextInfo(before);
        editor.exec();
        editor.GetTextInfo(edited);
    }
    if (edited.accepted)
        return true;
    // The placement read before, not a rescale of the previewed one: a
    // rescale rounds, and the item would drift with every cancelled edit.
    EngineTextBuffers engine;
    toEngineText(before, &engine.info);
    proxy->setTextSettings(itemId, engine.info);
    proxy->setItemRect(itemId, x, y, w, h);
    return false;
}

void UiAddText::InitControls()
{
    ui->pushButton_ok->setShortcut(Qt::Key_Return);
    ui->pushButton_ok->setFocus();
    ui->pushButton_ok->setDefault(true);

    for (QComboBox *box : {ui->comboBox_font, ui->comboBox_extend_align}) {
        box->setView(new QListView(box));
        box->setStyleSheet(QString::fromLatin1(kComboStyle));
    }
    ui->comboBox_font->addItems({QStringLiteral("微软雅黑"), QStringLiteral("宋体")});
    ui->comboBox_extend_align->addItems(AlignmentNames());

    for (QLabel *label : {ui->label_font, ui->label_font_size, ui->label_color, ui->label_transparent, ui->label_roll,
                          ui->label_background, ui->label_b_transparent, ui->label_outline_color,
                          ui->label_outline_transparent, ui->label_outline_size, ui->label_extend_size,
                          ui->label_extend_align})
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    ui->spinBox_font_size->setRange(0, 100);
    ui->spinBox_transparent->setRange(0, 100);
    ui->spinBox_roll->setRange(0, 30);
    ui->spinBox_b_transparent->setRange(0, 100);
    ui->spinBox_outline_transparent->setRange(0, 100);
    ui->spinBox_outline_size->setRange(0, 60);
    ui->spinBox_extend_size1->setRange(0, 1920);
    ui->spinBox_extend_size2->setRange(0, 1080);
}

void UiAddText::ResetTextInfo()
{
    TextOverlayInfo fresh;
    fresh.font = QStringLiteral("微软雅黑");
    fresh.color = QColor(0, 0, 0);
    fresh.size = 60;
    fresh.opacity = 100;
    fresh.backgroundColor = QColor(255, 255, 255);
    fresh.backgroundOpacity = 0;
    fresh.outlineColor = QColor(0, 0, 0);
    fresh.outlineOpacity = 100;
    fresh.itemId = -1;
    m_info = fresh;
}

void UiAddText::SetTextInfo(const TextOverlayInfo &info)
{
    m_info = info;
    m_info.accepted = false;
    // What the controls signal while they are filled must not reach the item.
    m_info.itemId = -1;
    ShowTextInfo();
    m_info.itemId = info.itemId;
}

void UiAddText::GetTextInfo(TextOverlayInfo &info) const
{
    info = m_info;
}

void UiAddText::ApplyPreview()
{
    if (m_info.itemId < 1 || !m_proxy)
        return;
    EngineTextBuffers engine;
    UpdateFromControls();
    ToEngineText(m_info, &engine.info);
    int x = 0, y = 0, w = 0, h = 0;
    m_proxy->getItemSourceRect(m_info.itemId, &x, &y, &w, &h);
    m_proxy->setTextSettings(m_info.itemId, engine.info);
    m_proxy->adjustItemRect(m_info.itemId, w, h);
}

void UiAddText::UpdateFromControls()
{
    m_info.font = ui->comboBox_font->currentText();
    m_info.opacity = ui->spinBox_transparent->value();
    m_info.size = ui->spinBox_font_size->value();
    m_info.rollSpeed = ui->spinBox_roll->value();
    m_info.backgroundOpacity = ui->spinBox_b_transparent->value();
    m_info.outline = ui->checkBox_outline->isChecked();
    m_info.outlineOpacity = ui->spinBox_outline_transparent->value();
    m_info.outlineSize = ui->spinBox_outline_size->value();
    m_info.bold = ui->checkBox_bold->isChecked();
    m_info.italic = ui->checkBox_italic->isChecked();
    m_info.underline = ui->checkBox_underline->isChecked();
    m_info.vertical = ui->checkBox_vertical->isChecked();
    m_info.extend = ui->checkBox_extend->isChecked();
    m_info.extendWidth = ui->spinBox_extend_size1->value();
    m_info.extendHeight = ui->spinBox_extend_size2->value();
    m_info.extendScroll = ui->checkBox_extend_scroll->isChecked();
    m_info.extendNewline = ui->checkBox_extend_newline->isChecked();
    m_info.extendAlign = ui->comboBox_extend_align->currentIndex();
    m_info.text = ui->textEdit->toPlainText();
}

void UiAddText::ShowTextInfo()
{
    ui->textEdit->setPlainText(m_info.text);
    SelectFont(m_info.font);
    ShowSwatch(ui->pushButton_color, m_info.color);
    ui->spinBox_transparent->setValue(m_info.opacity);
    ui->spinBox_font_size->setValue(m_info.size);
    ui->spinBox_roll->setValue(m_info.rollSpeed);
    ShowSwatch(ui->pushButton_background, m_info.backgroundColor);
    ui->spinBox_b_transparent->setValue(m_info.backgroundOpacity);
    ui->checkBox_outline->setChecked(m_info.outline);
    ShowSwatch(ui->pushButton_outline_color, m_info.outlineColor);
    ui->spinBox_outline_transparent->setValue(m_info.outlineOpacity);
    ui->spinBox_outline_size->setValue(m_info.outlineSize);
    ui->checkBox_bold->setChecked(m_info.bold);
    ui->checkBox_italic->setChecked(m_info.italic);
    ui->checkBox_underline->setChecked(m_info.underline);
    ui->checkBox_vertical->setChecked(m_info.vertical);
    ui->checkBox_extend->setChecked(m_info.extend);
    ui->spinBox_extend_size1->setValue(m_info.extendWidth);
    ui->spinBox_extend_size2->setValue(m_info.extendHeight);
    ui->checkBox_extend_scroll->setChecked(m_info.extendScroll);
    ui->checkBox_extend_newline->setChecked(m_info.extendNewline);
    if (m_info.extendAlign < 0 || m_info.extendAlign > 2)
        m_info.extendAlign = 0;
    ui->comboBox_extend_align->setCurrentIndex(
        ui->comboBox_extend_align->findText(AlignmentNames().at(m_info.extendAlign)));
    EnableExtendControls(m_info.extend);
}

void UiAddText::SelectFont(const QString &font)
{
    // A font the list lacks joins it, so that the first edit sends the
    // item's own font rather than the first entry.
    int index = ui->comboBox_font->findText(font);
    if (index < 0 && !font.isEmpty()) {
        ui->comboBox_font->addItem(font);
        index = ui->comboBox_font->count() - 1;
    }
    if (index >= 0)
        ui->comboBox_font->setCurrentIndex(index);
}

void UiAddText::ShowSwatch(QPushButton *swatch, const QColor &color)
{
    swatch->setStyleSheet(QStringLiteral("background-color: rgb(%1,%2,%3); border: none;")
                              .arg(color.red())
                              .arg(color.green())
                              .arg(color.blue()));
}

void UiAddText::EnableExtendControls(bool on)
{
    for (QWidget *w : std::initializer_list<QWidget *>{ui->spinBox_extend_size1, ui->spinBox_extend_size2,
                                                      ui->checkBox_extend_scroll, ui->checkBox_extend_newline,
                                                      ui->comboBox_extend_align})
        w->setEnabled(on);
}

void UiAddText::PickColor(QColor *field, QPushButton *swatch)
{
    QColorDialog::setCustomColor(0, QColor(0, 0, 255));
    const QColor chosen = QColorDialog::getColor(*field, nullptr, QString(), QColorDialog::ColorDialogOptions());
    if (chosen.isValid()) {
        ShowSwatch(swatch, chosen);
        *field = chosen;
    }
    ApplyPreview();
}

void UiAddText::on_pushButton_close_clicked()
{
    on_pushButton_cancel_clicked();
}

void UiAddText::on_pushButton_color_clicked()
{
    PickColor(&m_info.color, ui->pushButton_color);
}

void UiAddText::on_pushButton_background_clicked()
{
    PickColor(&m_info.backgroundColor, ui->pushButton_background);
}

void UiAddText::on_pushButton_outline_color_clicked()
{
    PickColor(&m_info.outlineColor, ui->pushButton_outline_color);
}

void UiAddText::on_pushButton_cancel_clicked()
{
    m_info.accepted = false;
    close();
}

void UiAddText::on_pushButton_ok_clicked()
{
    if (ui->textEdit->toPlainText().trimmed().isEmpty()) {
        QMessageBox::information(this, QStringLiteral("提示"), QStringLiteral("请输入文字!"));
        return;
    }
    UpdateFromControls();
    m_info.accepted = true;
    close();
}

void UiAddText::on_checkBox_extend_clicked()
{
    m_info.extend = ui->checkBox_extend->isChecked();
    EnableExtendControls(m_info.extend);
    ShowTextInfo();
}

void UiAddText::on_comboBox_font_currentTextChanged(const QString &)
{
    ApplyPreview();
}

void UiAddText::on_spinBox_transparent_valueChanged(int)
{
    ApplyPreview();
}

void UiAddText::on_spinBox_roll_valueChanged(int)
{
    ApplyPreview();
}

void UiAddText::on_checkBox_outline_clicked()
{
    ApplyPreview();
}

void UiAddText::on_spinBox_outline_transparent_valueChanged(int)
{
    ApplyPreview();
}

void UiAddText::on_spinBox_outline_size_valueChanged(int)
{
    ApplyPreview();
}

void UiAddText::on_spinBox_font_size_valueChanged(int)
{
    ApplyPreview();
}

void UiAddText::on_checkBox_bold_clicked()
{
    ApplyPreview();
}

void UiAddText::on_checkBox_italic_clicked()
{
    ApplyPreview();
}

void UiAddText::on_checkBox_underline_clicked()
{
    ApplyPreview();
}

void UiAddText::on_checkBox_vertical_clicked()
{
    ApplyPreview();
}

void UiAddText::on_spinBox_extend_size1_valueChanged(int)
{
    ApplyPreview();
}

void UiAddText::on_spinBox_extend_size2_valueChanged(int)
{
    ApplyPreview();
}

void UiAddText::on_checkBox_extend_scroll_clicked()
{
    ApplyPreview();
}

void UiAddText::on_checkBox_extend_newline_clicked()
{
    ApplyPreview();
}

void UiAddText::on_comboBox_extend_align_currentIndexChanged(int)
{
    ApplyPreview();
}

void UiAddText::on_textEdit_textChanged()
{
    const QString text = ui->textEdit->toPlainText();
    const int excess = text.size() - kMaxTextUnits;
    if (excess > 0) {
        // Drop the units just typed or pasted: those ending at the cursor.
        // Whole characters only: a pair is never split.
        const int end = std::min(ui->textEdit->textCursor().position(), int(text.size()));
        int start = std::max(0, end - excess);
        if (start > 0 && text.at(start).isLowSurrogate() && text.at(start - 1).isHighSurrogate())
            --start;
        int stop = std::max(end, start + excess);
        if (stop < text.size() && text.at(stop).isLowSurrogate() && text.at(stop - 1).isHighSurrogate())
            ++stop;
        QString kept = text;
        kept.remove(start, stop - start);
        ui->textEdit->setPlainText(kept);
        QTextCursor cursor = ui->textEdit->textCursor();
        cursor.setPosition(start);
        ui->textEdit->setTextCursor(cursor);
    }
    ApplyPreview();
}

void UiAddText::on_spinBox_b_transparent_valueChanged(int)
{
    ApplyPreview();
}

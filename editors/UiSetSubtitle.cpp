#include "UiSetSubtitle.h"

#include "LiveParams.h"
#include "LiveProxy.h"
#include "RuntimePictures.h"
#include "SubtitleText.h"
#include "UiChooseSubtitleTemplateDlg.h"
#include "UiSubtitleListWidget.h"
#include "UiToolTipDialog.h"
#include "ui_UiSetSubtitle.h"

#include <QButtonGroup>
#include <QDebug>

#include <algorithm>

namespace {

constexpr uint32_t kTextAndRollFields = TextText | TextRollSpeed; // 0x22
constexpr uint32_t kColorField = TextColor;                       // 0x08
constexpr int kRollSpeed = 50;
constexpr int kBottomGap = 50;
constexpr int kActionTemplateChosen = 17;
constexpr int kActionLineAdded = 18;

uint32_t rgbWord(const QColor &color)
{
    return 0xFF000000u | (color.rgb() & 0xFFFFFFu);
}

void copyText(char16_t *buffer, int units, const QString &text)
{
    const int n = std::min(int(text.size()), units - 1);
    std::copy_n(reinterpret_cast<const char16_t *>(text.utf16()), n, buffer);
    buffer[n] = 0;
}

} // namespace

UiSetSubtitle::UiSetSubtitle(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::UiSetSubtitle)
{
    ui->setupUi(this);
    resize(264, 740);
    m_itemId = -1;
    m_list = new UiSubtitleListWidget(this);
    m_list->setGeometry(0, 370, 264, 370);
    loadTemplates();
    if (hasTemplate())
        showTemplate();
    m_modes = new QButtonGroup(this);
    m_modes->addButton(ui->radioButton_scroll, kScrollId);
    m_modes->addButton(ui->radioButton_static, kStaticId);
    ui->radioButton_scroll->setChecked(true);
    connect(ui->textEdit_subtitle, SIGNAL(sig_keyEnter()), this, SLOT(on_pushButton_addsubtitle_clicked()));
    connect(ui->radioButton_scroll, SIGNAL(clicked(bool)), this, SLOT(slotClickedRadiobtnGroup()));
    connect(ui->radioButton_static, SIGNAL(clicked(bool)), this, SLOT(slotClickedRadiobtnGroup()));
    connect(ui->textEdit_subtitle, SIGNAL(textChanged()), this, SLOT(slot_textChanged()));
    connect(m_list, SIGNAL(sig_addsubtitle(QString)), this, SLOT(slot_receveraddsubtitle(QString)));
    connect(m_list, SIGNAL(sig_delsubtitle(QString)), this, SLOT(slot_receverdelsubtitle(QString)));
    connect(m_list, SIGNAL(sig_clicksubtitle(QString)), this, SLOT(slot_receverclicksubtitle(QString)));
}

UiSetSubtitle::~UiSetSubtitle()
{
    delete ui;
}

void UiSetSubtitle::setLiveProxy(LiveProxy *proxy)
{
    m_proxy = proxy;
}

bool UiSetSubtitle::isScrolling() const
{
    return m_modes->checkedId() == kScrollId;
}

void UiSetSubtitle::loadTemplates()
{
    m_templates.clear();
    const QColor white(255, 255, 255, 255);
    const QColor red(232, 41, 69, 255);
    const QColor colors[6] = {white, red, red, white, white, white};
    for (int i = 0; i < 6; ++i) {
        const QString n = QString::number(i + 1);
        addTemplate(QStringLiteral("./effect/subtitle/small_") + n + QStringLiteral(".png"),
                    QStringLiteral("./effect/subtitle/") + n + QStringLiteral(".png"), colors[i]);
    }
    m_current = m_templates.isEmpty() ? -1 : 0;
}

void UiSetSubtitle::addTemplate(const QString &thumbnail, const QString &picture, const QColor &color)
{
    for (const QString &path : {picture, thumbnail}) {
        const QString problem = runtimepictures::pictureProblem(path);
        if (!problem.isEmpty()) {
            runtimepictures::logDrop("subtitle template", path, problem);
            return;
        }
    }
    m_templates.append(SubtitleTemplate{thumbnail, picture, color});
}

int UiSetSubtitle::findTemplateByImage(const QString &picture) const
{
    for (int i = 0; i < m_templates.size(); ++i)
        if (m_templates[i].picturePath == picture)
            return i;
    return -1;
}

void UiSetSubtitle::showTemplate()
{
    ui->label_template->setStyleSheet(QStringLiteral("border-radius:4px;border-image:url(%1);")
                                          .arg(m_templates[m_current].thumbnailPath));
    ui->label_template->repaint();
}

void UiSetSubtitle::tell(const QString &text)
{
    UiToolTipDialog box(text, this);
    box.exec();
}

void UiSetSubtitle::slot_textChanged()
{
    QTextCursor cursor = ui->textEdit_subtitle->textCursor();
    const QString text = ui->textEdit_subtitle->toPlainText();
    const subtitletext::Cut cut = subtitletext::limit(text, cursor.position());
    if (cut.text == text)
        return;
    ui->textEdit_subtitle->setPlainText(cut.text);
    cursor = ui->textEdit_subtitle->textCursor();
    cursor.setPosition(cut.cursor);
    ui->textEdit_subtitle->setTextCursor(cursor);
}

void UiSetSubtitle::on_pushButton_addsubtitle_clicked()
{
    const QString line = subtitletext::cleanLine(ui->textEdit_subtitle->toPlainText());
    if (line.isEmpty()) {
        tell(QStringLiteral("添加字幕为空!"));
        return;
    }
    if (m_list->containsSubtitle(line)) {
        tell(QStringLiteral("字幕已经存在!"));
        return;
    }
    m_list->addSubtitle(line);
    ui->textEdit_subtitle->clear();
}

void UiSetSubtitle::keepJoinedText()
{
    const QString joined = subtitletext::join(m_list->subtitles());
    m_proxy->setEffectiveText(m_itemId, joined.toUtf8().constData());
}

void UiSetSubtitle::slot_receveraddsubtitle(QString)
{
    if (!hasTemplate() || !m_proxy)
        return;
    const QString text = subtitletext::engineText(m_list->subtitles(), isScrolling());
    if (m_itemId < 1) {
        createSubtitleItem(text);
        if (m_itemId < 1)
            return;
        keepJoinedText();
    } else {
        keepJoinedText();
        updateSubtitleText(text, !isScrolling());
    }
    m_proxy->reportAction(kActionLineAdded, -1);
}

void UiSetSubtitle::slot_receverdelsubtitle(QString)
{
    if (m_list->subtitles().isEmpty()) {
        removeSubtitleItem();
        return;
    }
    if (m_itemId < 1 || !m_proxy)
        return;
    keepJoinedText();
    updateSubtitleText(subtitletext::engineText(m_list->subtitles(), isScrolling()), !isScrolling());
}

void UiSetSubtitle::slot_receverclicksubtitle(QString line)
{
    qDebug() << line;
}

void UiSetSubtitle::slotClickedRadiobtnGroup()
{
    if (m_itemId < 1 || !m_proxy)
        return;
    if (isScrolling()) {
        std::string kept;
        m_proxy->getEffectiveText(m_itemId, &kept);
        updateSubtitleText(QString::fromUtf8(kept.c_str()) + subtitletext::separator(), false);
    } else {
        updateSubtitleText(m_list->firstSubtitle(), true);
    }
}

void UiSetSubtitle::defaultTextInfo(TextInfo *info)
{
    copyText(m_fontName, 200, QStringLiteral("微软雅黑"));
    m_text[0] = 0;
    *info = TextInfo();
    info->mask = 0xFFFFFFFFu;
    info->fontName = m_fontName;
    info->text = m_text;
    info->size = 25;
    info->color = 0xFFFFFFFFu;
    info->opacity = 100;
    info->rollSpeed = kRollSpeed;
    info->bold = 1;
    info->backgroundOpacity = 0;
    info->backgroundColor = 0xFFFFFFFFu;
    info->outline = 0;
    info->outlineSize = 0.0f;
    info->outlineColor = 0xFF000000u;
    info->outlineOpacity = 100;
}

void UiSetSubtitle::setText(TextInfo *info, const QString &text)
{
    copyText(info->text, 2048, text);
}

void UiSetSubtitle::createSubtitleItem(const QString &text)
{
    TextInfo info;
    defaultTextInfo(&info);
    setText(&info, text);
    if (m_modes->checkedId() == kStaticId)
        info.rollSpeed = 0;
    const SubtitleTemplate &current = m_templates[m_current];
    info.color = rgbWord(current.textColor);
    const int id = m_proxy->addEffectiveText(current.picturePath.toUtf8().toStdString(), textArea(), &info);
    if (id < 1)
        return;
    m_itemId = id;
    LiveParams canvas;
    m_proxy->getLiveVideoConfig(&canvas);
    int x = 0, y = 0, w = 0, h = 0;
    m_proxy->getItemSourceRect(id, &x, &y, &w, &h);
    m_proxy->setItemRect(id, (canvas.outputWidth - w) / 2, canvas.outputHeight - h - kBottomGap, w, h);
    emit add_subtitle(current.thumbnailPath, QStringLiteral("字幕"), id);
}

void UiSetSubtitle::removeSubtitleItem()
{
    const int id = m_itemId;
    if (id >= 1 && m_proxy)
        m_proxy->removeItem(id);
    emit del_subtitle(id);
    m_itemId = -1;
}

void UiSetSubtitle::updateSubtitleText(const QString &text, bool still)
{
    if (m_itemId < 1 || !m_proxy)
        return;
    TextInfo info;
    defaultTextInfo(&info);
    setText(&info, text);
    info.mask = kTextAndRollFields;
    info.rollSpeed = still ? 0 : kRollSpeed;
    m_proxy->updateEffectiveText(m_itemId, info);
}

void UiSetSubtitle::updateSubtitleColor(uint32_t rgb)
{
    if (m_itemId < 1 || !m_proxy)
        return;
    TextInfo info;
    defaultTextInfo(&info);
    m_proxy->getEffectiveTextSettings(m_itemId, &info);
    info.color = rgb;
    info.mask = kColorField;
    m_proxy->updateEffectiveText(m_itemId, info);
}

void UiSetSubtitle::updateSubtitlePicture(const QString &picture)
{
    if (m_itemId < 1 || !m_proxy)
        return;
    m_proxy->effectiveTextOp(m_itemId, picture.toUtf8().toStdString(), textArea());
}

void UiSetSubtitle::on_pushButton_choosetemplate_clicked()
{
    if (!hasTemplate())
        return;
    UiChooseSubtitleTemplateDlg dialog(this);
    dialog.SetTemplates(&m_templates, m_templates[m_current].thumbnailPath);
    if (dialog.exec() != 1)
        return;
    const int chosen = dialog.GetSelectedIndex();
    if (chosen == -1)
        return;
    const QColor former = m_templates[m_current].textColor;
    m_current = chosen;
    showTemplate();
    updateSubtitlePicture(m_templates[chosen].picturePath);
    if (m_templates[chosen].textColor != former)
        updateSubtitleColor(rgbWord(m_templates[chosen].textColor));
    if (m_itemId >= 1)
        emit change_subtitletemplate(m_itemId, m_templates[chosen].thumbnailPath);
    if (m_proxy)
        m_proxy->reportAction(kActionTemplateChosen, chosen + 1);
}

QString UiSetSubtitle::restoreSubtitleItem(int id)
{
    if (m_itemId >= 1 || id < 1 || !m_proxy)
        return QString();
    std::string picture;
    m_proxy->getEffectivePictureSource(id, &picture);
    const int found = findTemplateByImage(QString::fromUtf8(picture.c_str()));
    if (found < 0)
        return QString();
    m_itemId = id;
    std::string kept;
    m_proxy->getEffectiveText(id, &kept);
    const QString keptText = QString::fromUtf8(kept.c_str());
    m_list->setSubtitles(subtitletext::split(keptText));
    TextInfo info;
    defaultTextInfo(&info);
    m_proxy->getEffectiveTextSettings(id, &info);
    const bool scrolling = QString::fromUtf16(info.text) == keptText + subtitletext::separator();
    (scrolling ? ui->radioButton_scroll : ui->radioButton_static)->setChecked(true);
    m_current = found;
    showTemplate();
    return m_templates[found].thumbnailPath;
}

void UiSetSubtitle::on_delete_sample(int id)
{
    if (id >= 0 && id == m_itemId)
        m_itemId = -1;
}

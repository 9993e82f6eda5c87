#pragma once

#include "LiveEngine.h"
#include "SubtitleTemplate.h"

#include <QRect>
#include <QString>
#include <QStringList>
#include <QVector>
#include <QWidget>

class LiveProxy;
class QButtonGroup;
class UiSubtitleListWidget;

namespace Ui {
class UiSetSubtitle;
}

// The "字幕特效" page: up to four subtitle lines shown together as one
// effective-text item (a template picture with the text laid over it),
// scrolling or still, on one of six templates. The page makes, updates and
// removes that item and binds to the saved one at start.
class UiSetSubtitle : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kScrollId = 0;
    static constexpr int kStaticId = 1;

    explicit UiSetSubtitle(QWidget *parent = nullptr);
    ~UiSetSubtitle() override;

    void setLiveProxy(LiveProxy *proxy);

    // Binds the page to a saved effective-text item and answers its
    // template's thumbnail; empty when the page has an item already, the id
    // is below 1 or the picture is no loaded template (the caller then
    // removes the item).
    QString restoreSubtitleItem(int id);

    // The templates whose files exist, in order 1 to 6.
    const QVector<SubtitleTemplate> &templates() const { return m_templates; }
    int currentTemplate() const { return m_current; }
    int subtitleItemId() const { return m_itemId; }
    UiSubtitleListWidget *subtitleList() const { return m_list; }
    bool isScrolling() const;

    // The text area of every template picture.
    static QRect textArea() { return QRect(77, 30, 320, 30); }

signals:
    void change_subtitletemplate(int id_item, QString strpicpath);
    void add_subtitle(QString strpicpath, QString strdesc, int id_item);
    void del_subtitle(int id_item);

public slots:
    // The item list removes the item: the page forgets it, the lines stay.
    void on_delete_sample(int id);
    void on_pushButton_choosetemplate_clicked();
    void on_pushButton_addsubtitle_clicked();
    void slotClickedRadiobtnGroup();
    void slot_textChanged();
    void slot_receveraddsubtitle(QString line);
    void slot_receverdelsubtitle(QString line);
    void slot_receverclicksubtitle(QString line);

private:
    void loadTemplates();
    void addTemplate(const QString &thumbnail, const QString &picture, const QColor &color);
    int findTemplateByImage(const QString &picture) const;
    void showTemplate();
    bool hasTemplate() const { return m_current >= 0 && m_current < m_templates.size(); }
    void defaultTextInfo(TextInfo *info);
    void setText(TextInfo *info, const QString &text);
    void createSubtitleItem(const QString &text);
    void removeSubtitleItem();
    void updateSubtitleText(const QString &text, bool still);
    void updateSubtitleColor(uint32_t rgb);
    void updateSubtitlePicture(const QString &picture);
    void keepJoinedText();
    void tell(const QString &text);

    Ui::UiSetSubtitle *ui;
    QButtonGroup *m_modes;
    QVector<SubtitleTemplate> m_templates;
    int m_current = -1;
    UiSubtitleListWidget *m_list;
    LiveProxy *m_proxy = nullptr;
    int m_itemId = -1;
    // The text record's strings; the engine copies what it keeps and writes
    // read-back strings into them (font name up to 200 units).
    char16_t m_fontName[200] = {};
    char16_t m_text[2048] = {};
};

#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>

namespace Ui {
class UiSubtitleListWidget;
}

// "我的字幕": at most four subtitle lines, newest first, one row each. It
// tells the subtitle page of every change after making it; it never talks
// to the engine.
class UiSubtitleListWidget : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kMaxLines = 4;

    explicit UiSubtitleListWidget(QWidget *parent = nullptr);
    ~UiSubtitleListWidget() override;

    void addSubtitle(QString line);
    bool containsSubtitle(const QString &line) const { return m_lines.contains(line); }
    QStringList subtitles() const { return m_lines; }
    QString firstSubtitle() const { return m_lines.value(0); }
    // Replaces the lines; a list of more than four is ignored entirely.
    void setSubtitles(const QStringList &lines);

signals:
    void sig_addsubtitle(QString str);
    void sig_delsubtitle(QString str);
    void sig_clicksubtitle(QString str);

public slots:
    void delSubtitleList(QString strsubtitle);
    void slot_clickSubtitle(QString strsubtitle);

private:
    void initTable();
    void refreshTable();

    Ui::UiSubtitleListWidget *ui;
    QStringList m_lines;
};

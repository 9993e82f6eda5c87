#pragma once

#include <QString>
#include <QWidget>

namespace Ui {
class UiSubtitleItemWidget;
}

// One row of the subtitle list: the line and its "删除" button.
class UiSubtitleItemWidget : public QWidget
{
    Q_OBJECT

public:
    explicit UiSubtitleItemWidget(QString text, QWidget *parent = nullptr);
    ~UiSubtitleItemWidget() override;

    QString text() const { return m_text; }

signals:
    void sig_delsubtitle(QString strtitle);
    void sig_clicksubtitle(QString);

public slots:
    void slot_clicksubtitle();
    void on_pushButton_del_clicked();

private:
    Ui::UiSubtitleItemWidget *ui;
    QString m_text;
};

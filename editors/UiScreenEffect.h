#pragma once

#include "PictureItem.h"

#include <QList>
#include <QModelIndex>
#include <QString>
#include <QVector>
#include <QWidget>

namespace Ui {
class UiScreenEffect;
}

// "已选": the effects chosen in the special-effect panel, eight a page in a
// 4 x 2 table; a cell's cancel mark or the clear-all button asks the panel,
// through sampleDel, to take those items out of the scene.
class UiScreenEffect : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kPerPage = 8;
    static constexpr int kColumns = 4;

    explicit UiScreenEffect(QWidget *parent = nullptr);
    ~UiScreenEffect() override;

    void AddChosen(QString path, int id);
    // Takes the entry of that item out and asks for its removal; false when
    // no entry has the id.
    bool RemoveChosen(int id);
    void ShowChosenPage(int page);

    QList<PictureItem> chosen() const { return m_chosen; }
    int pageCount() const { return m_pageCount; }
    int currentPage() const { return m_currentPage; }

signals:
    void sampleDel(QVector<int> ids);

public slots:
    void on_fontpushButton_clicked();
    void on_backpushButton_clicked();
    void on_effectTableWidget_clicked(QModelIndex index);
    void on_effectTableWidget_cancelbtnclicked(int row, int column);
    void on_clearallbtn_clicked();

private:
    Ui::UiScreenEffect *ui;
    QList<PictureItem> m_chosen;
    int m_pageCount = 0;
    int m_currentPage = 1;
    int m_entryCount = 0;
};

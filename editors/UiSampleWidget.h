#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QWidget>

class LiveProxy;
class QPushButton;

namespace Ui {
class UiSampleWidget;
}

// Paged 3 x 3 picker of ready-made samples. Kind 1 offers the pendants of
// "./effect/pendant/": a click on a free cell puts the pendant into the scene
// at the canvas's top-right corner, a click on a chosen cell takes it out.
// Kinds 0 and 2 offer the edges and shadows of the special-effect panel,
// which adds them itself. Without a facade a click adds nothing.
class UiSampleWidget : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kPerPage = 9;
    static constexpr int kColumns = 3;

    UiSampleWidget(int kind, QWidget *parent = nullptr);
    ~UiSampleWidget() override;

    void setLiveProxy(LiveProxy *proxy);
    void Init(int kind);

    // The sample path of a cell; empty for a page below 1.
    QString GetItemPath(int page, int row, int column) const;

    // Marks the sample whose path is exactly `path` as shown by item `id`;
    // false when no sample has that path or the id is below 1.
    bool MarkItemAdded(int id, QString path);
    // Clears the mark of the sample shown by item `id` (-1: nothing).
    void UnselectItem(int id);

    int kind() const { return m_kind; }
    QStringList samplePaths() const { return m_paths; }
    QList<int> sceneIds() const { return m_ids; }
    int pageCount() const { return m_pageCount; }
    int currentPage() const { return m_currentPage; }
    QList<QPushButton *> pageButtons() const { return m_pageButtons; }

    // Where the samples of a kind live and which names count; an empty folder
    // for a kind without samples.
    static QString sampleFolder(int kind);
    static QStringList sampleNames(int kind);

signals:
    void on_addpendantclicked(QString strpicpath, QString desc, int id_item);
    void on_delpendantclicked(int id_item);
    // Every click on a cell, whatever it leads to.
    void on_clicked(int row, int column, int page);

public slots:
    void onPageNumBtnClick();
    void on_sampletable_clicked(bool checked, int row, int column);

private:
    void ScanSamples(const QString &dir, const QStringList &names);
    void ShowPage(int page);
    void CreatePageButtons();
    void UpdatePageButtons(int page);
    void PlacePendant(int id);

    Ui::UiSampleWidget *ui;
    int m_kind;
    QStringList m_paths;
    QList<int> m_ids;
    QList<QPushButton *> m_pageButtons;
    int m_pageCount = 0;
    int m_sampleCount = 0;
    int m_currentPage = 0;
    LiveProxy *m_proxy = nullptr;
};

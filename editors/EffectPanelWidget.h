#pragma once

#include <QList>
#include <QString>
#include <QVector>
#include <QWidget>

class LiveProxy;
class UiSamplePage;
class UiScreenEffect;

namespace Ui {
class UiSpecialEffectWidget;
}

// Decorates the whole picture with one edge, one shadow and any number of
// pendants, each picked on its sample page, with the chosen ones listed
// underneath. A new edge or shadow replaces the one shown.
class UiSpecialEffectWidget : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kEdging = 0;
    static constexpr int kPendant = 1;
    static constexpr int kShadow = 2;

    explicit UiSpecialEffectWidget(QWidget *parent = nullptr);
    ~UiSpecialEffectWidget() override;

    // Keeps the facade and lists the edges, shadows and pendants the scene
    // already shows.
    void setLiveProxy(LiveProxy *proxy);
    void ShowPanel(int index);
    void RemoveChosen(int id);

    int currentIndex() const { return m_current; }
    UiSamplePage *samplePage(int index) const { return m_pages.value(index); }
    UiScreenEffect *chosenList() const { return m_chosen; }

    // Both paths end in the same, non-empty file name.
    static bool SameFileName(const QString &a, const QString &b);

public slots:
    void acceptsampletableclicked(int row, int column, int page, int effectindex);
    void on_delete_sample(QVector<int> arr_item);

private:
    void ApplyEffectSample(int kind, const QString &path);
    // Adds an edge or shadow in place of the one shown; the new id, or the
    // engine's refusal.
    int replaceFullWindowEffect(int kind, const QString &path);
    void RestoreChosen();

    Ui::UiSpecialEffectWidget *ui;
    QWidget *m_container;
    QList<UiSamplePage *> m_pages;
    int m_current = 0;
    UiScreenEffect *m_chosen;
    LiveProxy *m_proxy = nullptr;
};

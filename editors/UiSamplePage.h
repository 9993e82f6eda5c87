#pragma once

#include <QString>
#include <QWidget>

class UiSampleWidget;

// What the three sample pages of the special-effect panel share: one sample
// picker of the page's own kind, whose cell clicks go up with the page's
// effect index. The picker gets no facade: the panel adds the effects.
class UiSamplePage : public QWidget
{
    Q_OBJECT

public:
    int effectIndex() const { return m_effectIndex; }
    UiSampleWidget *picker() const { return m_picker; }
    QString GetItemPath(int page, int row, int column) const;

signals:
    void effectclicked(int irow, int icolumn, int page, int effectindex);

public slots:
    void tablecellclicked(int row, int column, int page);

protected:
    UiSamplePage(int effectIndex, QWidget *parent);
    // Made once the derived page has its form.
    void createPicker();

private:
    const int m_effectIndex;
    UiSampleWidget *m_picker = nullptr;
};

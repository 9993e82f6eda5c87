#include "UiSamplePage.h"

#include "UiSampleWidget.h"

UiSamplePage::UiSamplePage(int effectIndex, QWidget *parent)
    : QWidget(parent)
    , m_effectIndex(effectIndex)
{
}

void UiSamplePage::createPicker()
{
    m_picker = new UiSampleWidget(m_effectIndex, this);
    m_picker->move(0, 0);
    connect(m_picker, SIGNAL(on_clicked(int,int,int)), this, SLOT(tablecellclicked(int,int,int)));
}

QString UiSamplePage::GetItemPath(int page, int row, int column) const
{
    return m_picker ? m_picker->GetItemPath(page, row, column) : QString();
}

void UiSamplePage::tablecellclicked(int row, int column, int page)
{
    emit effectclicked(row, column, page, m_effectIndex);
}

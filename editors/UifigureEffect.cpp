#include "UifigureEffect.h"

#include "MvClickChoosenButton.h"
#include "NoFocusFrameDelegate.h"
#include "ui_UifigureEffect.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QSpacerItem>

namespace {

constexpr int kPerPage = 4;
constexpr int kColumns = 2;
constexpr int kCellWidth = 112;
constexpr int kCellHeight = 62;
constexpr int kRowHeight = 70;
constexpr int kFirstColumnWidth = 124;
constexpr int kDotSize = 6;
constexpr int kDotRadius = 3;

QString dotStyle(bool current)
{
    return current ? QStringLiteral("QPushButton{border:none;background:#656f7a;border-radius:%1}").arg(kDotRadius)
                   : QStringLiteral("QPushButton{border:none;background:#e3e3e3;border-radius:%1}").arg(kDotRadius);
}

} // namespace

UifigureEffect::UifigureEffect(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::UifigureEffect)
{
    ui->setupUi(this);
    resize(352, 200);
    m_currentPosition = -1;
    m_currentPage = -1;

    QTableWidget *table = ui->effectTableWidget;
    makePlainTable(table, table);
    table->setStyleSheet(QStringLiteral("selection-background-color:white;"));

    LoadEffects();
    if (m_pageCount > 1)
        buildPageDots();
    ShowPage(1);
}

UifigureEffect::~UifigureEffect()
{
    delete ui;
}

void UifigureEffect::LoadEffects()
{
    m_effectCount = 8;
    m_effects.clear();
    for (int i = 0; i < m_effectCount; ++i) {
        EffectItem item;
        item.id = i;
        item.image = QString::asprintf(":/image/skin/effect/0%d.png", i);
        m_effects.append(item);
    }
    m_pageCount = m_effectCount / kPerPage + (m_effectCount % kPerPage != 0 ? 1 : 0);
}

void UifigureEffect::buildPageDots()
{
    auto *layout = new QHBoxLayout(ui->widget_page_index);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    layout->addItem(new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    for (int page = 0; page < m_pageCount; ++page) {
        auto *dot = new QPushButton(ui->widget_page_index);
        dot->setFixedSize(kDotSize, kDotSize);
        dot->setStyleSheet(dotStyle(false));
        layout->addWidget(dot);
        m_pageDots.append(dot);
    }
    layout->addItem(new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
}

void UifigureEffect::updatePageDots(int page)
{
    for (int i = 0; i < m_pageDots.size(); ++i)
        m_pageDots[i]->setStyleSheet(dotStyle(i == page - 1));
}

void UifigureEffect::ShowPage(int page)
{
    if (m_effects.isEmpty() || m_pageCount == 0 || page == 0 || page > m_pageCount)
        return;
    QTableWidget *table = ui->effectTableWidget;
    table->clear();
    table->setRowCount(0); // drops the old page's cell buttons
    m_currentPage = page;
    table->setColumnCount(kColumns);
    const int count = m_effects.size();
    int rows = 2;
    if (page * kPerPage > count) {
        const int remaining = count - (page - 1) * kPerPage;
        rows = (remaining + 1) / 2;
    }
    table->setRowCount(rows);
    for (int r = 0; r < rows; ++r)
        table->setRowHeight(r, r == rows - 1 ? kCellHeight : kRowHeight);
    table->setColumnWidth(0, kFirstColumnWidth);
    table->setColumnWidth(1, kCellWidth);

    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < kColumns; ++c) {
            const int position = (page - 1) * kPerPage + c + 2 * r;
            if (position >= count)
                continue;
            auto *button = new MvClickChoosenButton(this, m_effects[position].image, kCellWidth, kCellHeight);
            button->SetCell(r, c);
            if (position == m_currentPosition)
                button->SetChoosen(true);
            connect(button, SIGNAL(cellclick(int, int, bool)), this, SLOT(on_effecttableclicked(int, int, bool)));
            table->setCellWidget(r, c, button);
        }
    }
    updatePageDots(page);
}

void UifigureEffect::on_fontpushButton_clicked()
{
    if (m_currentPage > 1)
        ShowPage(m_currentPage - 1);
}

void UifigureEffect::on_backpushButton_clicked()
{
    if (m_currentPage + 1 <= m_pageCount)
        ShowPage(m_currentPage + 1);
}

void UifigureEffect::on_effecttableclicked(int row, int col, bool)
{
    const int position = col + 2 * row + kPerPage * (m_currentPage - 1);
    if (position < 0 || position >= m_effects.size())
        return;
    QTableWidget *table = ui->effectTableWidget;
    auto *clicked = qobject_cast<MvClickChoosenButton *>(table->cellWidget(row, col));
    if (!clicked)
        return;
    if (m_currentPosition < 0) {
        m_currentPosition = position;
    } else if (m_currentPosition == position) {
        m_currentPosition = -1;
    } else {
        const int oldPage = (m_currentPosition + 1 + kPerPage - 1) / kPerPage;
        if (oldPage == m_currentPage) {
            const int place = m_currentPosition - (oldPage - 1) * kPerPage;
            auto *old = qobject_cast<MvClickChoosenButton *>(table->cellWidget(place / 2, place % 2));
            if (old)
                old->SetChoosen(false);
        }
        clicked->SetChoosen(true);
        m_currentPosition = position;
    }
    emit signal_setEffect(m_currentPosition >= 0 ? m_effects[m_currentPosition].id : -1);
}

int UifigureEffect::indexOfEffect(int id) const
{
    for (int i = 0; i < m_effects.size(); ++i)
        if (m_effects[i].id == id)
            return i;
    return -1;
}

void UifigureEffect::SetCurrentEffect(int id)
{
    const int position = indexOfEffect(id);
    if (position < 0)
        return;
    m_currentPosition = position;
    // The picker stays on its page; the mark shows when its page is shown.
    if (!m_effects.isEmpty() && m_pageCount != 0 && m_currentPage >= 0 && m_currentPage <= m_pageCount)
        ShowPage(m_currentPage);
}

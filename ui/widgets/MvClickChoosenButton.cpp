#include "MvClickChoosenButton.h"

#include "MvCellParts.h"

#include <QPainter>
#include <QPixmap>

MvClickChoosenButton::MvClickChoosenButton(QWidget *parent, const QString &picturePath,
                                           int cellWidth, int cellHeight)
    : QPushButton(parent)
    , m_picturePath(picturePath)
    , m_cellWidth(cellWidth)
    , m_cellHeight(cellHeight)
{
    connect(this, SIGNAL(clicked(bool)), this, SLOT(oncellclicked()));
}

MvClickChoosenButton::~MvClickChoosenButton() = default;

void MvClickChoosenButton::SetCell(int row, int column)
{
    m_row = row;
    m_column = column;
}

void MvClickChoosenButton::SetChoosen(bool choosen)
{
    m_choosen = choosen;
    update();
}

void MvClickChoosenButton::oncellclicked()
{
    m_choosen = !m_choosen;
    update();
    emit cellclick(m_row, m_column, m_choosen);
}

void MvClickChoosenButton::enterEvent(QEvent *)
{
    m_hover = true;
}

void MvClickChoosenButton::leaveEvent(QEvent *)
{
    m_hover = false;
}

void MvClickChoosenButton::paintEvent(QPaintEvent *)
{
    resize(m_cellWidth, m_cellHeight);

    QPainter painter(this);
    painter.drawPixmap(QRect(0, 0, m_cellWidth, m_cellHeight), QPixmap(m_picturePath));
    if (m_choosen)
        mvcell::drawChosenMark(painter, m_cellWidth);
}

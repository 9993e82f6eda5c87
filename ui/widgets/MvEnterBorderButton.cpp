#include "MvEnterBorderButton.h"

#include "MvCellParts.h"
#include "PictureFile.h"

#include <QFileInfo>
#include <QFont>
#include <QPainter>
#include <QPixmap>

MvEnterBorderButton::MvEnterBorderButton(QWidget *parent, const QString &picturePath,
                                         int cellWidth, int cellHeight)
    : QPushButton(parent)
    , m_caption(CaptionFromPath(picturePath))
    , m_picturePath(picturePath)
    , m_cellWidth(cellWidth)
    , m_cellHeight(cellHeight)
{
    setStyleSheet(QStringLiteral("border-radius: 12px;"));
    setCheckable(true);
    connect(this, SIGNAL(clicked(bool)), this, SLOT(clickslot()));
}

MvEnterBorderButton::~MvEnterBorderButton() = default;

QString MvEnterBorderButton::CaptionFromPath(const QString &picturePath)
{
    QString caption = QFileInfo(picturePath).baseName();
    const int dash = caption.indexOf(QLatin1Char('-'));
    if (dash >= 0)
        caption.truncate(dash);
    return caption;
}

void MvEnterBorderButton::SetCell(int row, int column)
{
    m_row = row;
    m_column = column;
}

void MvEnterBorderButton::clickslot()
{
    emit cellclick(isChecked(), m_row, m_column);
}

void MvEnterBorderButton::enterEvent(QEvent *)
{
    m_hover = true;
}

void MvEnterBorderButton::leaveEvent(QEvent *)
{
    m_hover = false;
}

void MvEnterBorderButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), Qt::white);

    resize(m_cellWidth, m_cellHeight);
    const QRect area(0, 0, m_cellWidth, m_cellHeight - 20);

    const QPixmap picture =
        picturefile::fittedPixmap(m_picturePath, QSize(area.width() - 2, area.height() - 2), area.size());
    mvcell::drawCentred(painter, area, picture);

    painter.setPen(QPen(QColor(0xeb, 0xec, 0xf0), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(area.adjusted(1, 1, -1, -1), 4, 4, Qt::AbsoluteSize);

    QFont font(QStringLiteral("微软雅黑"));
    font.setPixelSize(12);
    painter.setFont(font);
    painter.setPen(m_hover ? QColor(0xff, 0x55, 0x00) : QColor(0x26, 0x29, 0x38));
    painter.drawText(QRect(0, height() - 20, width(), 20), Qt::AlignHCenter | Qt::AlignBottom,
                     m_caption);

    if (isChecked())
        mvcell::drawChosenMark(painter, m_cellWidth);
}

#include "MvEnterBorderCancelButton.h"

#include "MvCellParts.h"
#include "PictureFile.h"

#include <QDebug>
#include <QPainter>
#include <QPixmap>

namespace {

const QRect kSlotRect(0, 2, 74, 74);

} // namespace

MvEnterBorderCancelButton::MvEnterBorderCancelButton(QWidget *parent)
    : QPushButton(parent)
    , m_addElementPicture(QStringLiteral(":/image/skin/addelement.png"))
    , m_slotBackPicture(QStringLiteral(":/image/skin/picloadback.png"))
{
    m_cancelButton = mvcell::newRemoveButton(this);
    m_cancelButton->setGeometry(60, 0, 16, 16);
    connect(m_cancelButton, SIGNAL(clicked(bool)), this, SLOT(oncancelclicked()));
    connect(this, SIGNAL(clicked(bool)), this, SLOT(oncellclicked()));
}

MvEnterBorderCancelButton::~MvEnterBorderCancelButton() = default;

void MvEnterBorderCancelButton::SetPicture(const QString &picturePath, bool hasPicture)
{
    m_picturePath = picturePath;
    m_hasPicture = hasPicture;
    m_cancelButton->hide();
    update();
}

void MvEnterBorderCancelButton::SetCell(int row, int column)
{
    m_row = row;
    m_column = column;
}

void MvEnterBorderCancelButton::ShowCancel()
{
    if (!m_hasPicture)
        return;
    m_hover = true;
    m_cancelButton->show();
    update();
}

void MvEnterBorderCancelButton::oncancelclicked()
{
    emit cancelbtnclick(m_row, m_column);
    qDebug() << "oncancelclicked";
}

void MvEnterBorderCancelButton::oncellclicked()
{
    if (m_hasPicture)
        emit cellclick(m_row, m_column);
    else
        emit addelementclick();
}

void MvEnterBorderCancelButton::enterEvent(QEvent *)
{
    m_hover = true;
    if (m_hasPicture)
        m_cancelButton->show();
}

void MvEnterBorderCancelButton::leaveEvent(QEvent *)
{
    m_hover = false;
    m_cancelButton->hide();
}

void MvEnterBorderCancelButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);

    if (!m_hasPicture) {
        painter.setPen(QPen(QColor(0xeb, 0xec, 0xf0), 1));
        painter.setBrush(Qt::transparent);
        painter.drawRoundedRect(kSlotRect.adjusted(1, 1, -1, -1), 6, 6, Qt::RelativeSize);
        mvcell::drawCentred(painter, kSlotRect, QPixmap(m_addElementPicture));
        return;
    }

    painter.drawPixmap(kSlotRect, QPixmap(m_slotBackPicture));
    mvcell::drawCentred(painter, kSlotRect, picturefile::fittedPixmap(m_picturePath, kSlotRect.size()));
}

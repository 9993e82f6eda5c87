#include "MvImageLabel.h"

#include "MvCellParts.h"
#include "PictureFile.h"

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPushButton>

namespace {

const int kAreaWidth = 104;
const int kAreaHeight = 60;

} // namespace

MvImageLabel::MvImageLabel(const QString &picturePath, const QString &caption, int cellWidth,
                           int cellHeight, QWidget *parent)
    : QLabel(parent)
    , m_cellWidth(cellWidth)
    , m_cellHeight(cellHeight)
    , m_picturePath(picturePath)
    , m_caption(caption)
{
    m_cancelButton = mvcell::newRemoveButton(this);
    m_cancelButton->setGeometry(cellWidth - 16, 0, 16, 16);
    connect(m_cancelButton, SIGNAL(clicked(bool)), this, SLOT(oncancelclicked()));
}

MvImageLabel::~MvImageLabel() = default;

bool MvImageLabel::IsSubtitleCaption(const QString &caption)
{
    return caption == QStringLiteral("字幕");
}

QSize MvImageLabel::ShownSize(const QSize &pictureSize)
{
    if (pictureSize.width() >= kAreaWidth || pictureSize.height() >= kAreaHeight)
        return pictureSize.scaled(kAreaWidth, kAreaHeight, Qt::KeepAspectRatio);
    return pictureSize;
}

QPixmap MvImageLabel::SubtitleStrip(const QPixmap &picture)
{
    if (picture.isNull())
        return QPixmap();
    const QImage stretched =
        picture.scaled(picture.width(), kAreaHeight, Qt::IgnoreAspectRatio, Qt::FastTransformation)
            .toImage()
            .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    // QImage::copy keeps the full 104 x 60 even when the picture is narrower.
    return QPixmap::fromImage(stretched.copy(4, 0, kAreaWidth, kAreaHeight));
}

void MvImageLabel::SetCell(int row, int column)
{
    m_row = row;
    m_column = column;
}

void MvImageLabel::ShowCancel()
{
    m_hover = true;
    m_cancelButton->show();
    update();
}

void MvImageLabel::GetCellData(QString &picturePath, QString &caption, int &shownWidth,
                               int &shownHeight) const
{
    picturePath = m_picturePath;
    caption = m_caption;
    shownWidth = m_shownWidth;
    shownHeight = m_shownHeight;
}

void MvImageLabel::oncancelclicked()
{
    emit cancelbtnclick(m_row, m_column);
}

void MvImageLabel::mousePressEvent(QMouseEvent *event)
{
    QLabel::mousePressEvent(event);
}

void MvImageLabel::mouseReleaseEvent(QMouseEvent *event)
{
    emit cellclick(m_row, m_column);
    QLabel::mouseReleaseEvent(event);
}

void MvImageLabel::enterEvent(QEvent *)
{
    m_hover = true;
    m_cancelButton->show();
    update();
}

void MvImageLabel::leaveEvent(QEvent *)
{
    m_hover = false;
    m_cancelButton->hide();
    update();
}

void MvImageLabel::paintEvent(QPaintEvent *)
{
    resize(m_cellWidth, m_cellHeight);

    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRect area(2, 4, kAreaWidth, kAreaHeight);
    if (IsSubtitleCaption(m_caption)) {
        painter.drawPixmap(area, SubtitleStrip(picturefile::pixmapAt(m_picturePath)));
        m_shownWidth = kAreaWidth;
        m_shownHeight = kAreaHeight;
    } else {
        // Decoded at the fitted size itself: fitting it again into an
        // already fitted size can lose a pixel to rounding.
        const QPixmap picture =
            picturefile::pixmapAt(m_picturePath, ShownSize(picturefile::headerSize(m_picturePath)));
        m_shownWidth = picture.width();
        m_shownHeight = picture.height();
        painter.drawPixmap(area, QPixmap(QStringLiteral(":/image/skin/picloadback.png")));
        mvcell::drawCentred(painter, area, picture);
    }

    if (m_hover) {
        painter.setPen(QPen(QColor(0xff, 0x55, 0x00), 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(1, 3, 105, 62);
    }

    QFont font(QStringLiteral("微软雅黑"));
    font.setPixelSize(12);
    painter.setFont(font);
    painter.setPen(m_hover ? QColor(0xff, 0x55, 0x00) : QColor(0x7f, 0x8b, 0x99));
    painter.drawText(QRect(2, 76, kAreaWidth, 16), Qt::AlignHCenter | Qt::AlignTop, m_caption);
}

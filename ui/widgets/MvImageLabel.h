#pragma once

#include <QLabel>
#include <QPixmap>
#include <QSize>
#include <QString>

class QPushButton;

// Picture cell of the scene item strip: a thumbnail with its caption and a
// remove button shown on hover. The caption "字幕" marks a subtitle cell.
class MvImageLabel : public QLabel
{
    Q_OBJECT
public:
    MvImageLabel(const QString &picturePath, const QString &caption, int cellWidth, int cellHeight,
                 QWidget *parent = nullptr);
    ~MvImageLabel() override;

    void SetCell(int row, int column);
    void ShowCancel();
    void GetCellData(QString &picturePath, QString &caption, int &shownWidth, int &shownHeight) const;

    bool IsHover() const { return m_hover; }
    QPushButton *CancelButton() const { return m_cancelButton; }

    static bool IsSubtitleCaption(const QString &caption);
    // Size at which an ordinary picture is shown in the 104 x 60 picture area.
    static QSize ShownSize(const QSize &pictureSize);
    // The 104 x 60 strip a subtitle cell shows and drags, whatever the
    // picture's size; empty when the picture is.
    static QPixmap SubtitleStrip(const QPixmap &picture);

signals:
    void cancelbtnclick(int row, int column);
    void cellclick(int row, int column);

private slots:
    void oncancelclicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void enterEvent(QEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QPushButton *m_cancelButton = nullptr;
    int m_cellWidth;
    int m_cellHeight;
    int m_shownWidth = 0;
    int m_shownHeight = 0;
    int m_column = 0;
    int m_row = 0;
    bool m_hover = false;
    QString m_picturePath;
    QString m_caption;
};

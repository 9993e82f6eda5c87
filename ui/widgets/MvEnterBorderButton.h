#pragma once

#include <QPushButton>
#include <QString>

// Checkable picture cell with a rounded border and a caption taken from the
// picture's file name.
class MvEnterBorderButton : public QPushButton
{
    Q_OBJECT
public:
    MvEnterBorderButton(QWidget *parent, const QString &picturePath, int cellWidth, int cellHeight);
    ~MvEnterBorderButton() override;

    void SetCell(int row, int column);

    QString Caption() const { return m_caption; }
    bool IsHover() const { return m_hover; }

    // "star-01.png" -> "star": base name, cut before its first '-'.
    static QString CaptionFromPath(const QString &picturePath);

signals:
    void cellclick(bool bchecked, int row, int column);

private slots:
    void clickslot();

protected:
    void enterEvent(QEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_caption;
    QString m_picturePath;
    bool m_hover = false;
    int m_row = 0;
    int m_column = 0;
    int m_cellWidth;
    int m_cellHeight;
};

#pragma once

#include <QPushButton>
#include <QString>

// Picture cell of a grid; every click toggles the chosen mark.
class MvClickChoosenButton : public QPushButton
{
    Q_OBJECT
public:
    MvClickChoosenButton(QWidget *parent, const QString &picturePath, int cellWidth, int cellHeight);
    ~MvClickChoosenButton() override;

    void SetCell(int row, int column);
    void SetChoosen(bool choosen);
    bool IsChoosen() const { return m_choosen; }
    bool IsHover() const { return m_hover; }

signals:
    void cellclick(int row, int column, bool bcheck);

private slots:
    void oncellclicked();

protected:
    void enterEvent(QEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_picturePath;
    bool m_hover = false;
    bool m_choosen = false;
    int m_row = 0;
    int m_column = 0;
    int m_cellWidth;
    int m_cellHeight;
};

#pragma once

#include <QPushButton>
#include <QString>

// 74-pixel picture slot: an "add" look while empty, the picture with a small
// remove button (shown on hover) once it holds one.
class MvEnterBorderCancelButton : public QPushButton
{
    Q_OBJECT
public:
    explicit MvEnterBorderCancelButton(QWidget *parent = nullptr);
    ~MvEnterBorderCancelButton() override;

    void SetPicture(const QString &picturePath, bool hasPicture);
    void SetCell(int row, int column);
    void ShowCancel();

    bool HasPicture() const { return m_hasPicture; }
    bool IsHover() const { return m_hover; }
    QPushButton *CancelButton() const { return m_cancelButton; }

signals:
    void cancelbtnclick(int row, int column);
    void cellclick(int row, int column);
    void addelementclick();

private slots:
    void oncancelclicked();
    void oncellclicked();

protected:
    void enterEvent(QEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_picturePath;
    QString m_addElementPicture;
    bool m_hasPicture = false;
    QString m_slotBackPicture;
    bool m_hover = false;
    int m_row = 0;
    int m_column = 0;
    QPushButton *m_cancelButton = nullptr;
};

#include "MvComboBoxStyle.h"

#include "MvComboBoxItemDelegate.h"

#include <QFont>
#include <QListWidget>

MvComboBoxStyle::MvComboBoxStyle(QWidget *parent)
    : QComboBox(parent)
{
    m_list = new QListWidget(this);
    QFont font(QStringLiteral("微软雅黑"));
    font.setPixelSize(12);
    font.setBold(true);
    m_list->setFont(font);

    setModel(m_list->model());
    setView(m_list);

    m_list->setStyleSheet(QStringLiteral(
        "QListWidget{border:1px solid #ebecf0;background:white;}"
        "QListWidget::item{padding-left:9px;background:white;color:#262938;height:32px;}"
        "QListWidget::item:hover{padding-left:9px;background:#ff5500;color:white;height:32px;}"));
}

MvComboBoxStyle::~MvComboBoxStyle() = default;

QString MvComboBoxStyle::ComboStyleSheet()
{
    return QStringLiteral(
        "QComboBox{border:1px solid #ebecf0;background:white;color:#262938;"
        "font:bold 12px \"微软雅黑\";padding-left:12px;padding-right:6px;}"
        "QComboBox QAbstractItemView::item{height:32px;}"
        "QComboBox:on{background:#ebecf0;}"
        "QComboBox::drop-down{border:none;}"
        "QComboBox::down-arrow{image:url(:/image/skin/comboarrow.png);padding-left:-16px;}"
        "QComboBox::down-arrow:hover{image:url(:/image/skin/comboarrow.png);padding-left:-16px;}"
        "QComboBox::down-arrow:pressed{border-image:url(:/image/skin/comboarrow.png);"
        "padding-left:-16px;}");
}

void MvComboBoxStyle::ApplyComboLook()
{
    // A combo without a parent keeps the delegate itself, so it is not lost.
    QObject *owner = parent() ? parent() : static_cast<QObject *>(this);
    setItemDelegate(new MvComboBoxItemDelegate(owner));
    setStyleSheet(ComboStyleSheet());
}

void MvComboBoxStyle::showPopup()
{
    QComboBox::showPopup();
    m_list->scrollToTop();
}

void MvComboBoxStyle::hidePopup()
{
    m_list->scrollToTop();
    QComboBox::hidePopup();
}

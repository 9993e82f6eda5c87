#include "MvMonitorSelectDialog.h"

#include "CurrentDialog.h"
#include "LayeredShadowWindow.h"
#include "ui_MvMonitorSelectDialog.h"

namespace {

const QString &entryPrefix()
{
    static const QString prefix = QStringLiteral("显示器");
    return prefix;
}

} // namespace

MvMonitorSelectDialog::MvMonitorSelectDialog(int screenCount, QWidget *parent)
    : MvDragDialog(parent)
    , ui(new Ui::MvMonitorSelectDialog)
{
    ui->setupUi(this);
    setWindowFlags(windowFlags() | Qt::SplashScreen);
    setFixedSize(width(), height());

    m_screenCount = screenCount;
    m_selectedIndex = 0;

    connect(ui->button_confirm, SIGNAL(clicked()), this, SLOT(OnButtonClicked()));
    connect(ui->button_cancel, SIGNAL(clicked()), this, SLOT(OnButtonClicked()));
    connect(ui->closebutton, SIGNAL(clicked()), this, SLOT(OnButtonClicked()));

    ui->box_monitor->ApplyComboLook();

    ui->label_text->setWordWrap(true);
    for (int i = 0; i < m_screenCount; ++i)
        ui->box_monitor->addItem(entryPrefix() + QString::number(i + 1));
    ui->box_monitor->setCurrentIndex(m_screenCount > 0 ? 0 : -1);

    m_shadow = LayeredShadowWindow::Attach(winId());
    m_inExec = false;
}

MvMonitorSelectDialog::~MvMonitorSelectDialog()
{
    // A dialog started while this one ran has taken the pointer over; it
    // keeps it.
    if (m_inExec) {
        if (currentDialog == this)
            currentDialog = nullptr;
        m_inExec = false;
    }
}

int MvMonitorSelectDialog::exec()
{
    m_inExec = true;
    currentDialog = this;
    return QDialog::exec();
}

int MvMonitorSelectDialog::GetSelectedIndex() const
{
    return m_selectedIndex;
}

void MvMonitorSelectDialog::OnButtonClicked()
{
    auto *button = qobject_cast<QPushButton *>(sender());
    if (!button)
        return;

    if (button == ui->button_cancel || button == ui->closebutton) {
        reject();
    } else if (button == ui->button_confirm) {
        // The whole number after the prefix: "显示器12" is display 11. An
        // entry without one (an empty list) keeps the first display.
        const QString entry = ui->box_monitor->currentText();
        if (entry.startsWith(entryPrefix())) {
            bool ok = false;
            const int number = entry.midRef(entryPrefix().size()).toInt(&ok);
            if (ok && number >= 1)
                m_selectedIndex = number - 1;
        }
        accept();
    }
}

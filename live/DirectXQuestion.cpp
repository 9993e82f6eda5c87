#include "DirectXQuestion.h"

#include "ShellOpen.h"
#include "WebEndpoints.h"

#include <QCoreApplication>
#include <QMessageBox>

void DirectXQuestion::ask()
{
    const QMessageBox::StandardButton answer = QMessageBox::question(
        nullptr, QStringLiteral("提示"),
        QStringLiteral("DX10未安装或是硬件不支持！\r\n\t请先启动DxUpdate.exe安装(修复)DX10后再尝试使用该软件，点击确定运行DxUpdate.exe。"),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
    if (answer == QMessageBox::Yes)
        mvplatform::ShellOpen::openFile(QCoreApplication::applicationDirPath() + QStringLiteral("/DxUpdate.exe"));
    mvplatform::ShellOpen::openPage(WebEndpoints::helpForumUrl());
}

#include "RecordingTexts.h"

#include <cerrno>

namespace livetexts {

namespace {

QString endReason(int error)
{
    switch (error) {
    case 0:
        return QStringLiteral("视频设置已改变");
    case ENOSPC:
    case EDQUOT:
        return QStringLiteral("磁盘空间已满");
    case EROFS:
    case EACCES:
    case EPERM:
        return QStringLiteral("录制文件夹无法写入");
    default:
        return QStringLiteral("写入文件出错");
    }
}

} // namespace

QString recordingNotStartedMessage()
{
    return QStringLiteral("同步录制未能开始，请检查录制文件夹能否写入。直播照常进行。");
}

QString recordingEndedMessage(int error)
{
    return QStringLiteral("同步录制已停止：%1。已录制的内容已保存。直播照常进行。").arg(endReason(error));
}

} // namespace livetexts

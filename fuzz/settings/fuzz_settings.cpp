// The settings file as a person may have edited it: every reader of the
// settings store runs on it, and a file that loaded must load again after
// the store has written it back.
#include "FuzzSupport.h"
#include "SysConfig.h"

#include <QFile>

#include <cstdio>
#include <cstdlib>

namespace {

bool writeSettingsFile(const QByteArray &content)
{
    QFile f(SysConfig::filePath());
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(content) == content.size();
}

void readEverything(SysConfig &config)
{
    SysSettings sys;
    config.getSysConfig(sys);
    CameraSettings camera;
    config.getCameraConfig(camera);
    config.getCameraConfig(&camera);
    AccountInfo account;
    config.getAccount(account);
    RoomToolSettings room;
    config.getRoomConfig(room);
    config.cameraResolutionIndex();
    config.cameraResolutionWidth();
    config.cameraResolutionHeight();
    config.quitOnClose();
    config.recordPath();
    config.autoLogin();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzzsupport::startApplication();
    SysConfig make; // creates the data folder
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (!writeSettingsFile(fuzzsupport::bytes(data, size)))
        return 0;
    bool loaded = false;
    {
        SysConfig config; // reads the file; writes it back when it goes
        loaded = config.isLoaded();
        readEverything(config);
    }
    SysConfig again;
    if (loaded && !again.isLoaded()) {
        std::fprintf(stderr, "a settings file that loaded was written back unreadable\n");
        std::abort();
    }
    readEverything(again);
    return 0;
}

#pragma once

#include <QString>

namespace mvplatform {

// Where recordings go until the user picks another folder: "摩瓦视频" in the
// user's videos folder (XDG_VIDEOS_DIR, else ~/Videos), or in the home folder
// when the system names no videos folder. Only the path: nothing is created.
class RecordFolder
{
public:
    static QString defaultPath();
};

} // namespace mvplatform

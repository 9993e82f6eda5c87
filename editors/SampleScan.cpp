#include "SampleScan.h"

#include "PictureFile.h"
#include "RuntimePictures.h"

#include <QDir>
#include <QFileInfo>

namespace samplescan {

namespace {

// Only the header is read: a small file may claim a picture too large to
// decode, and the pickers would decode it for every cell they paint.
bool claimsTooLarge(const QString &path)
{
    const QSize size = picturefile::headerSize(path);
    return size.isValid() && !picturefile::withinLimit(size);
}

} // namespace

QFileInfoList loadSamples(const QString &dir)
{
    return QDir(dir).entryInfoList(QDir::Files | QDir::Hidden | QDir::NoSymLinks, QDir::Name);
}

QStringList scanSamples(const QString &dir, const QStringList &names)
{
    const QFileInfoList files = loadSamples(dir);
    QStringList paths;
    for (const QFileInfo &file : files) {
        if (file.size() >= kMaxSampleBytes)
            continue;
        const QString base = file.baseName();
        if (base.contains(QLatin1Char('-')))
            continue;
        const QString companion = base + QStringLiteral("-m");
        int companions = 0;
        for (const QFileInfo &other : files)
            if (other.baseName() == companion)
                ++companions;
        if (companions != 1 || !names.contains(base))
            continue;
        const QString path = dir + file.fileName();
        if (claimsTooLarge(path) || claimsTooLarge(thumbnailPath(path))) {
            runtimepictures::logDrop("sample", path, QStringLiteral("larger than 1920*1080"));
            continue;
        }
        paths << path;
    }
    return paths;
}

QString thumbnailPath(const QString &samplePath)
{
    const QFileInfo info(samplePath);
    return info.absolutePath() + QLatin1Char('/') + info.baseName() + QStringLiteral("-m.png");
}

} // namespace samplescan

#include "SampleScan.h"

#include <QDir>
#include <QFileInfo>

namespace samplescan {

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
        paths << dir + file.fileName();
    }
    return paths;
}

QString thumbnailPath(const QString &samplePath)
{
    const QFileInfo info(samplePath);
    return info.absolutePath() + QLatin1Char('/') + info.baseName() + QStringLiteral("-m.png");
}

} // namespace samplescan

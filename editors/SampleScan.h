#pragma once

#include <QFileInfoList>
#include <QString>
#include <QStringList>

// Which files of a sample folder the pickers offer.
namespace samplescan {

// A sample file must stay below this many bytes.
constexpr qint64 kMaxSampleBytes = 1200000;

// The folder's files (hidden ones too, no symbolic links) in name order;
// empty when the folder is missing.
QFileInfoList loadSamples(const QString &dir);

// The sample paths of `dir`, in the folder's name order: `dir` followed by
// the file name of every file below kMaxSampleBytes whose base name holds
// no '-', is one of `names`, and has exactly one companion "<base>-m.*";
// a sample or thumbnail whose header claims more than 1920 x 1080 is left
// out (logged).
QStringList scanSamples(const QString &dir, const QStringList &names);

// The thumbnail beside a sample: "<absolute folder>/<base name>-m.png".
QString thumbnailPath(const QString &samplePath);

} // namespace samplescan

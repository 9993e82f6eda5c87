// Stands in for the crash message's box program: says on stdout what it was
// asked to show, and which dump files exist while it shows it:
//   box|<title>|<text>|<dump files beside it>|<dump files in the log folder>
#include <QCoreApplication>
#include <QDir>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QStringList filter{QStringLiteral("*.dmp")};
    const QString beside = QDir(app.applicationDirPath()).entryList(filter, QDir::Files).join(QLatin1Char(','));
    const QString logged = QDir(QDir::tempPath() + QStringLiteral("/MorvaShow")).entryList(filter, QDir::Files).join(QLatin1Char(','));
    const QString line = QStringLiteral("box|%1|%2|%3|%4\n")
                             .arg(args.value(1), args.value(2), beside, logged);
    std::fputs(line.toUtf8().constData(), stdout);
    return 0;
}

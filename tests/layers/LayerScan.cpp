#include "LayerScan.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <functional>
#include <map>
#include <set>

namespace layers {

namespace {

bool isGenerated(const QString &name)
{
    const QString base = QFileInfo(name).fileName();
    return base.startsWith(QLatin1String("ui_")) || base.startsWith(QLatin1String("moc_"))
        || base.startsWith(QLatin1String("qrc_")) || base.endsWith(QLatin1String(".moc"));
}

// Leading directory names two directories share.
int sharedDepth(const QString &a, const QString &b)
{
    const QStringList x = a.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    const QStringList y = b.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    int depth = 0;
    while (depth < x.size() && depth < y.size() && x.at(depth) == y.at(depth))
        ++depth;
    return depth;
}

QString directoryOf(const QString &path)
{
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : path.left(slash);
}

int levelOf(const QString &folder)
{
    for (const Floor &f : floorTable())
        if (f.folder == folder)
            return f.level;
    return -1;
}

} // namespace

const QVector<Floor> &floorTable()
{
    // Inside platform, the layers' shared helpers lie below everything; the
    // engine's interface, scene model and control face below the rest of the
    // engine, which never includes libmvencode.so's sources.
    static const QVector<Floor> table = {
        {QStringLiteral("foundation"), 0},
        {QStringLiteral("platform/common"), 1},
        {QStringLiteral("platform/castcore/api"), 2},
        {QStringLiteral("platform/castcore/scene"), 3},
        {QStringLiteral("platform/castcore/control"), 4},
        {QStringLiteral("platform"), 5},
        {QStringLiteral("platform/castcore/mvencode"), 6},
        {QStringLiteral("ui/widgets"), 7}, {QStringLiteral("web"), 7},
        {QStringLiteral("live"), 8},       {QStringLiteral("login"), 9},
        {QStringLiteral("editors"), 9},    {QStringLiteral("room"), 9},
        {QStringLiteral("mainwindow"), 10}, {QStringLiteral("app"), 11},
    };
    return table;
}

QString folderOf(const QString &path)
{
    QString best;
    for (const Floor &f : floorTable())
        if (path.startsWith(f.folder + QLatin1Char('/')) && f.folder.size() > best.size())
            best = f.folder;
    return best;
}

SourceTree SourceTree::read(const QString &root)
{
    static const QRegularExpression include(QStringLiteral("^\\s*#\\s*include\\s*\"([^\"]+)\""),
                                            QRegularExpression::MultilineOption);
    SourceTree tree;
    const QDir rootDir(root);
    for (const Floor &floor : floorTable()) {
        QDirIterator it(rootDir.filePath(floor.folder), {QStringLiteral("*.h"), QStringLiteral("*.cpp")},
                        QDir::Files, QDirIterator::Subdirectories);
        QStringList paths;
        while (it.hasNext()) {
            const QString path = rootDir.relativeFilePath(it.next());
            const bool skipped = path.contains(QLatin1String("_autogen/")) || path.contains(QLatin1String("/build-"));
            if (!skipped && !isGenerated(path) && folderOf(path) == floor.folder)
                paths.append(path);
        }
        paths.sort();
        for (const QString &path : paths) {
            QFile f(rootDir.filePath(path));
            if (!f.open(QIODevice::ReadOnly))
                continue;
            SourceFile file;
            file.path = path;
            file.folder = floor.folder;
            file.level = floor.level;
            auto matches = include.globalMatch(QString::fromUtf8(f.readAll()));
            while (matches.hasNext())
                file.includes.append(matches.next().captured(1));
            tree.m_byPath.insert(path, tree.m_files.size());
            tree.m_byName[QFileInfo(path).fileName()].append(path);
            tree.m_files.append(file);
        }
    }
    return tree;
}

const SourceFile *SourceTree::file(const QString &path) const
{
    const auto it = m_byPath.constFind(path);
    return it == m_byPath.constEnd() ? nullptr : &m_files.at(*it);
}

QString SourceTree::resolve(const SourceFile &from, const QString &name) const
{
    if (isGenerated(name))
        return QString();
    const QString dir = directoryOf(from.path);
    const QString relative = QDir::cleanPath(dir.isEmpty() ? name : dir + QLatin1Char('/') + name);
    if (m_byPath.contains(relative))
        return relative;
    // Bare names (and "sub/X.h") found through the include directories: the
    // nearest file of that name wins, ties by path.
    QString best;
    int bestRank = -1;
    for (const QString &candidate : m_byName.value(QFileInfo(name).fileName())) {
        if (candidate != name && !candidate.endsWith(QLatin1Char('/') + name))
            continue;
        const bool sameFolder = folderOf(candidate) == from.folder;
        const int rank = (sameFolder ? 1000 : 0) + sharedDepth(directoryOf(candidate), dir);
        if (rank > bestRank || (rank == bestRank && candidate < best)) {
            best = candidate;
            bestRank = rank;
        }
    }
    return best;
}

QVector<Include> SourceTree::includes() const
{
    QVector<Include> all;
    for (const SourceFile &f : m_files) {
        for (const QString &name : f.includes) {
            const QString to = resolve(f, name);
            if (!to.isEmpty() && to != f.path)
                all.append({f.path, to});
        }
    }
    return all;
}

QString UpwardInclude::text() const
{
    const QString from = folderOf(include.from);
    const QString to = folderOf(include.to);
    return QStringLiteral("%1 includes %2: %3 (floor %4) is not below %5 (floor %6)")
        .arg(include.from, include.to, to)
        .arg(levelOf(to))
        .arg(from)
        .arg(levelOf(from));
}

QVector<UpwardInclude> upwardIncludes(const SourceTree &tree)
{
    QVector<UpwardInclude> found;
    for (const Include &inc : tree.includes()) {
        const SourceFile *from = tree.file(inc.from);
        const SourceFile *to = tree.file(inc.to);
        if (from->folder != to->folder && to->level >= from->level)
            found.append({inc});
    }
    return found;
}

QString unitOf(const QString &path)
{
    const int dot = path.lastIndexOf(QLatin1Char('.'));
    return dot > path.lastIndexOf(QLatin1Char('/')) ? path.left(dot) : path;
}

QString UnitCycle::text() const
{
    QString s = QStringLiteral("%1 units depend on each other: %2").arg(units.size()).arg(units.join(QLatin1String(", ")));
    for (const Include &link : links)
        s += QStringLiteral("\n    %1 includes %2").arg(link.from, link.to);
    return s;
}

QVector<UnitCycle> unitCycles(const SourceTree &tree)
{
    const QVector<Include> includes = tree.includes();
    std::map<QString, std::set<QString>> edges;
    for (const Include &inc : includes) {
        const QString from = unitOf(inc.from);
        const QString to = unitOf(inc.to);
        edges[to];
        if (from != to)
            edges[from].insert(to);
    }

    // Tarjan's strongly connected components.
    std::map<QString, int> index;
    std::map<QString, int> low;
    std::set<QString> onStack;
    QStringList stack;
    int next = 0;
    QVector<QStringList> components;
    std::function<void(const QString &)> visit = [&](const QString &v) {
        index[v] = low[v] = next++;
        stack.append(v);
        onStack.insert(v);
        for (const QString &w : edges[v]) {
            if (!index.count(w)) {
                visit(w);
                low[v] = std::min(low[v], low[w]);
            } else if (onStack.count(w)) {
                low[v] = std::min(low[v], index[w]);
            }
        }
        if (low[v] != index[v])
            return;
        QStringList component;
        QString w;
        do {
            w = stack.takeLast();
            onStack.erase(w);
            component.append(w);
        } while (w != v);
        if (component.size() > 1) {
            component.sort();
            components.append(component);
        }
    };
    for (const auto &node : edges)
        if (!index.count(node.first))
            visit(node.first);

    QVector<UnitCycle> cycles;
    for (const QStringList &units : components) {
        UnitCycle cycle;
        cycle.units = units;
        for (const Include &inc : includes) {
            const QString from = unitOf(inc.from);
            const QString to = unitOf(inc.to);
            if (from != to && units.contains(from) && units.contains(to))
                cycle.links.append(inc);
        }
        cycles.append(cycle);
    }
    std::sort(cycles.begin(), cycles.end(),
              [](const UnitCycle &a, const UnitCycle &b) { return a.units.first() < b.units.first(); });
    return cycles;
}

} // namespace layers

#pragma once

// Reads the program's source folders and checks two rules of its structure:
// includes point to a lower floor (or stay in their own folder), and no two
// units (X.h + X.cpp of one directory) depend on each other, directly or
// around a longer circle.

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

namespace layers {

struct Floor
{
    QString folder; // relative to the source root
    int level;      // 0 is the bottom
};

// The program's folders, bottom to top; folders on one level must not
// include each other. A folder listed inside another is a floor of its own,
// apart from the folder around it. Everything else (tests, benchmarks, build
// folders) is not read.
const QVector<Floor> &floorTable();

struct SourceFile
{
    QString path;   // relative to the root, '/'-separated
    QString folder; // its folder in the floor table
    int level = 0;
    QStringList includes; // the quoted includes, as written
};

struct Include
{
    QString from; // file paths relative to the root
    QString to;
};

class SourceTree
{
public:
    // Every *.h and *.cpp below the table's folders of `root`, without
    // generated files (ui_*, moc_*, qrc_*, *_autogen).
    static SourceTree read(const QString &root);

    const QVector<SourceFile> &files() const { return m_files; }
    const SourceFile *file(const QString &path) const;
    // The tree's file that `name`, included from `from`, means: a path
    // relative to the includer's directory first, else the file of that
    // name nearest to the includer (its own directory, then its own folder,
    // then anywhere). Empty for system, generated and unknown headers.
    QString resolve(const SourceFile &from, const QString &name) const;
    // Every include that resolves to a file of the tree.
    QVector<Include> includes() const;

private:
    QVector<SourceFile> m_files;
    QHash<QString, int> m_byPath;
    QHash<QString, QStringList> m_byName; // base name -> paths
};

// The floor-table folder holding `path`, or empty.
QString folderOf(const QString &path);

struct UpwardInclude
{
    Include include;
    QString text() const;
};

// Includes of a file in another folder on the same or a higher floor.
QVector<UpwardInclude> upwardIncludes(const SourceTree &tree);

struct UnitCycle
{
    QStringList units;  // "dir/X", sorted
    QVector<Include> links; // the includes between them
    QString text() const;
};

// "dir/X" for dir/X.h and dir/X.cpp.
QString unitOf(const QString &path);

// Every set of units that depend on each other (strongly connected
// components of more than one unit), sorted.
QVector<UnitCycle> unitCycles(const SourceTree &tree);

} // namespace layers

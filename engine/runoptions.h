#pragma once

#include <QDir>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <array>

// What a run is asked for besides its tables, and the names the command
// line, a project file and the window's settings give these choices: one
// list of names, so that the three never drift apart.

// How the schema is read: the catalogue queries per table, or a few
// schema-wide queries that give the same model much faster.
enum class CatalogReader {
    PerTable,
    SchemaWide
};

// The reader a run uses unless one is asked for.
inline constexpr CatalogReader defaultCatalogReader = CatalogReader::SchemaWide;

inline QString catalogReaderName(CatalogReader reader)
{
    return reader == CatalogReader::PerTable ? QStringLiteral("per-table") : QStringLiteral("schema");
}

// Reads a reader's name into `reader`; returns an empty string, or what is
// wrong with the name.
inline QString parseCatalogReader(const QString &name, CatalogReader *reader)
{
    for (const CatalogReader candidate : {CatalogReader::SchemaWide, CatalogReader::PerTable}) {
        if (name == catalogReaderName(candidate)) {
            *reader = candidate;
            return QString();
        }
    }
    return QStringLiteral("unknown catalogue reader \"%1\" (use %2 or %3)")
            .arg(name, catalogReaderName(CatalogReader::SchemaWide), catalogReaderName(CatalogReader::PerTable));
}

// Which kinds of class a run writes for each table; all four unless fewer
// are asked for.
struct Switches
{
    bool dao = true;
    bool object = true;
    bool model = true;
    bool editor = true;
};

// The kinds by name, in the order lists give them.
struct ClassKind
{
    const char *name;
    bool Switches::*on;
};
inline constexpr std::array<ClassKind, 4> classKinds{{{"dao", &Switches::dao},
                                                       {"object", &Switches::object},
                                                       {"model", &Switches::model},
                                                       {"editor", &Switches::editor}}};

// The names of the kinds switched on, in that order.
inline QStringList classKindNames(const Switches &switches = Switches())
{
    QStringList names;
    for (const ClassKind &kind : classKinds) {
        if (switches.*kind.on)
            names.append(QLatin1String(kind.name));
    }
    return names;
}

// Takes the kinds `names` lists, and only those; false when it lists none,
// or a kind there is not (that name then in `unknown`).
inline bool switchesNamed(const QStringList &names, Switches *switches, QString *unknown)
{
    Switches chosen;
    for (const ClassKind &kind : classKinds)
        chosen.*kind.on = false;
    for (const QString &name : names) {
        const auto kind = std::find_if(classKinds.begin(), classKinds.end(),
                                       [&name](const ClassKind &k) { return name == QLatin1String(k.name); });
        if (kind == classKinds.end()) {
            *unknown = name;
            return false;
        }
        chosen.*kind->on = true;
    }
    if (names.isEmpty())
        return false;
    *switches = chosen;
    return true;
}

// A run writes its tree to "code" in the folder it is given.
inline QString codeFolder(const QString &root)
{
    return QDir(root).absoluteFilePath(QStringLiteral("code"));
}

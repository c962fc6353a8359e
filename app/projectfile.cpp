#include "app/projectfile.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <functional>

namespace {

const QString yes = QStringLiteral("yes");
const QString no = QStringLiteral("no");

QString pathIn(const QString &folder, const QString &path)
{
    return path.isEmpty() ? path : QDir::cleanPath(QDir(folder).absoluteFilePath(path));
}

// Relative to the folder, so that a project moves with its repository;
// absolute where the two meet only at the root (/etc/ssl/ca.pem).
QString pathFrom(const QString &folder, const QString &path)
{
    if (path.isEmpty())
        return path;
    const QString absolute = QDir::cleanPath(QDir(folder).absoluteFilePath(path));
    const auto top = [](const QString &p) { return p.section(QLatin1Char('/'), 1, 1); };
    return top(absolute) == top(QDir::cleanPath(folder)) ? QDir(folder).relativeFilePath(absolute) : absolute;
}

// One key of the file: how to take its value; returns an empty string or
// what is wrong with the value.
using Setter = std::function<QString(Project &, const QString &value, const QString &folder)>;

Setter text(QString ConnectionSettings::*field)
{
    return [field](Project &p, const QString &value, const QString &) {
        p.connection.*field = value;
        return QString();
    };
}

Setter tlsPath(QString TlsOptions::*field)
{
    return [field](Project &p, const QString &value, const QString &folder) {
        p.connection.tls.*field = pathIn(folder, value);
        return QString();
    };
}

Setter flag(const std::function<bool &(Project &)> &field)
{
    return [field](Project &p, const QString &value, const QString &) {
        const QString v = value.toLower();
        if (v == yes || v == QLatin1String("true") || v == QLatin1String("1"))
            field(p) = true;
        else if (v == no || v == QLatin1String("false") || v == QLatin1String("0") || v.isEmpty())
            field(p) = false;
        else
            return QStringLiteral("\"%1\" is not yes or no").arg(value);
        return QString();
    };
}

QString setPort(Project &p, const QString &value, const QString &)
{
    bool ok = false;
    const int port = value.toInt(&ok, 10);
    if (!ok || port <= 0 || port > 65535)
        return QStringLiteral("invalid port \"%1\": give a number from 1 to 65535").arg(value);
    p.connection.port = port;
    return QString();
}

QString setKinds(Project &p, const QString &value, const QString &)
{
    QString unknown;
    if (parseKinds(value, &p.switches, &unknown))
        return QString();
    if (unknown.isEmpty())
        return QStringLiteral("only needs at least one of dao, object, model, editor");
    return QStringLiteral("unknown kind of class \"%1\" (use dao, object, model, editor)").arg(unknown);
}

QString setCatalog(Project &p, const QString &value, const QString &)
{
    if (value == QLatin1String("per-table"))
        p.catalogReader = GenerationRun::CatalogReader::PerTable;
    else if (value == QLatin1String("schema"))
        p.catalogReader = GenerationRun::CatalogReader::SchemaWide;
    else
        return QStringLiteral("unknown catalogue reader \"%1\" (use schema or per-table)").arg(value);
    return QString();
}

struct Key
{
    const char *section;
    const char *name;
    Setter set;
};

const std::vector<Key> &keys()
{
    static const std::vector<Key> keys = {
        {"connection", "host", text(&ConnectionSettings::host)},
        {"connection", "port", setPort},
        {"connection", "socket", text(&ConnectionSettings::socket)},
        {"connection", "user", text(&ConnectionSettings::user)},
        {"connection", "schema", text(&ConnectionSettings::schema)},
        {"tls", "ssl", flag([](Project &p) -> bool & { return p.connection.tls.required; })},
        {"tls", "ssl-ca", tlsPath(&TlsOptions::ca)},
        {"tls", "ssl-capath", tlsPath(&TlsOptions::caPath)},
        {"tls", "ssl-cert", tlsPath(&TlsOptions::cert)},
        {"tls", "ssl-key", tlsPath(&TlsOptions::key)},
        {"tls", "ssl-cipher",
         [](Project &p, const QString &value, const QString &) {
             p.connection.tls.cipher = value;
             return QString();
         }},
        {"tls", "ssl-verify-server-cert", flag([](Project &p) -> bool & { return p.connection.tls.verifyServerCert; })},
        {"generate", "tables", nullptr}, // with its line, below
        {"generate", "exclude", nullptr},
        {"generate", "only", setKinds},
        {"generate", "output",
         [](Project &p, const QString &value, const QString &folder) {
             p.outputDirectory = pathIn(folder, value.isEmpty() ? QStringLiteral(".") : value);
             return QString();
         }},
        {"generate", "catalog", setCatalog},
        {"generate", "keep-unchanged", flag([](Project &p) -> bool & { return p.keepUnchanged; })},
        {"generate", "app", flag([](Project &p) -> bool & { return p.application; })},
    };
    return keys;
}

} // namespace

QStringList splitList(const QString &value)
{
    QStringList items;
    for (const QString &item : value.split(QLatin1Char(','))) {
        if (!item.trimmed().isEmpty())
            items.append(item.trimmed());
    }
    return items;
}

bool parseKinds(const QString &value, GenerationRun::Switches *switches, QString *unknown)
{
    GenerationRun::Switches chosen;
    chosen.dao = chosen.object = chosen.model = chosen.editor = false;
    const QStringList kinds = splitList(value);
    for (const QString &kind : kinds) {
        bool *on = kind == QLatin1String("dao")      ? &chosen.dao
                 : kind == QLatin1String("object") ? &chosen.object
                 : kind == QLatin1String("model")  ? &chosen.model
                 : kind == QLatin1String("editor") ? &chosen.editor
                                                    : nullptr;
        if (!on) {
            *unknown = kind;
            return false;
        }
        *on = true;
    }
    if (kinds.isEmpty())
        return false;
    *switches = chosen;
    return true;
}

ProjectReading readProject(const QString &path)
{
    ProjectReading reading;
    Project &project = reading.project;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        reading.problems.append(QStringLiteral("%1: cannot read the project: %2").arg(path, file.errorString()));
        return reading;
    }
    const QString folder = QFileInfo(path).absolutePath();
    project.outputDirectory = folder;
    QString text = QString::fromUtf8(file.readAll());
    // Some editors begin a UTF-8 file with a byte order mark.
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    const QStringList lines = text.split(QLatin1Char('\n'));
    QString section;
    QStringList seen;
    for (int number = 1; number <= lines.size(); ++number) {
        const QString line = lines.at(number - 1).trimmed();
        const QString where = QStringLiteral("%1:%2: ").arg(path).arg(number);
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')) || line.startsWith(QLatin1Char(';')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            if (!line.endsWith(QLatin1Char(']'))) {
                reading.problems.append(where + QStringLiteral("malformed section line \"%1\"").arg(line));
                continue;
            }
            section = line.mid(1, line.size() - 2).trimmed();
            const bool known = std::any_of(keys().begin(), keys().end(),
                                           [&section](const Key &key) { return section == QLatin1String(key.section); });
            if (!known)
                reading.problems.append(where + QStringLiteral("unknown section [%1] (use connection, tls, generate)")
                                                        .arg(section));
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals <= 0) {
            reading.problems.append(where + QStringLiteral("malformed line \"%1\": expected key = value").arg(line));
            continue;
        }
        const QString name = line.left(equals).trimmed();
        const QString value = line.mid(equals + 1).trimmed();
        if (name == QLatin1String("password")) {
            reading.problems.append(where + QStringLiteral("a project never holds the password; give it with -p, "
                                                            "MYSQL_PWD or the window"));
            continue;
        }
        const auto key = std::find_if(keys().begin(), keys().end(), [&](const Key &k) {
            return section == QLatin1String(k.section) && name == QLatin1String(k.name);
        });
        if (key == keys().end()) {
            reading.problems.append(where + (section.isEmpty() ? QStringLiteral("key \"%1\" outside a section")
                                                               : QStringLiteral("unknown key \"%1\" in [%2]"))
                                                    .arg(name, section));
            continue;
        }
        const QString qualified = section + QLatin1Char('/') + name;
        if (seen.contains(qualified)) {
            reading.problems.append(where + QStringLiteral("\"%1\" is given twice in [%2]").arg(name, section));
            continue;
        }
        seen.append(qualified);
        if (name == QLatin1String("tables")) {
            project.tables.include = splitList(value);
            project.tables.includeOrigin = where;
        } else if (name == QLatin1String("exclude")) {
            project.tables.exclude = splitList(value);
            project.tables.excludeOrigin = where;
        } else {
            const QString problem = key->set(project, value, folder);
            if (!problem.isEmpty())
                reading.problems.append(where + problem);
        }
    }
    if (reading.problems.isEmpty() && project.connection.schema.isEmpty())
        reading.problems.append(path + QStringLiteral(": the project names no schema ([connection] schema = ...)"));
    return reading;
}

QByteArray projectText(const Project &project, const QString &folder)
{
    const ConnectionSettings &c = project.connection;
    const TlsOptions &tls = c.tls;
    QStringList kinds;
    for (const auto &[on, kind] : {std::pair{project.switches.dao, "dao"}, {project.switches.object, "object"},
                                   {project.switches.model, "model"}, {project.switches.editor, "editor"}}) {
        if (on)
            kinds.append(QLatin1String(kind));
    }
    const auto line = [](const char *key, const QString &value) {
        // No trailing blank after an empty value.
        return QLatin1String(key) + (value.isEmpty() ? QStringLiteral(" =") : QStringLiteral(" = ") + value)
                + QLatin1Char('\n');
    };
    const auto flagText = [](bool on) { return on ? yes : no; };
    QString text = QStringLiteral(
            "# Tablesmith project: tablesmith-cli --project FILE runs it, File > Open Project... in the window.\n"
            "# Paths are relative to this file's folder. The password is never kept here.\n"
            "\n[connection]\n");
    text += line("host", c.host) + line("port", QString::number(c.port)) + line("socket", c.socket)
            + line("user", c.user) + line("schema", c.schema);
    text += QStringLiteral("\n[tls]\n");
    text += line("ssl", flagText(tls.required)) + line("ssl-ca", pathFrom(folder, tls.ca))
            + line("ssl-capath", pathFrom(folder, tls.caPath)) + line("ssl-cert", pathFrom(folder, tls.cert))
            + line("ssl-key", pathFrom(folder, tls.key)) + line("ssl-cipher", tls.cipher)
            + line("ssl-verify-server-cert", flagText(tls.verifyServerCert));
    text += QStringLiteral("\n[generate]\n# Names and patterns (* and ?); empty: every table.\n");
    text += line("tables", project.tables.include.join(QStringLiteral(", ")))
            + line("exclude", project.tables.exclude.join(QStringLiteral(", ")))
            + line("only", kinds.join(QStringLiteral(", ")))
            + line("output", project.outputDirectory.isEmpty() ? QStringLiteral(".")
                                                              : pathFrom(folder, project.outputDirectory))
            + line("catalog", project.catalogReader == GenerationRun::CatalogReader::PerTable
                                      ? QStringLiteral("per-table")
                                      : QStringLiteral("schema"))
            + line("keep-unchanged", flagText(project.keepUnchanged));
    // Only when on: projects written before the scaffold keep their text.
    if (project.application)
        text += line("app", flagText(project.application));
    return text.toUtf8();
}

QString writeProject(const QString &path, const Project &project)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)
        || file.write(projectText(project, QFileInfo(path).absolutePath())) < 0 || !file.commit())
        return QStringLiteral("cannot write the project %1: %2").arg(path, file.errorString());
    return QString();
}

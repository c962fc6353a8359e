#include "project/projectfile.h"

#include "project/outputfolder.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <functional>

namespace {

const QString yes = QStringLiteral("yes");
const QString no = QStringLiteral("no");

QString pathIn(const QString &folder, const QString &path)
{
    return path.isEmpty() || folder.isEmpty() ? path : QDir::cleanPath(QDir(folder).absoluteFilePath(path));
}

// Relative to the folder, so that a project moves with its repository;
// absolute where the two meet only at the root (/etc/ssl/ca.pem).
QString pathFrom(const QString &folder, const QString &path)
{
    if (path.isEmpty() || folder.isEmpty())
        return path;
    const QString absolute = QDir::cleanPath(QDir(folder).absoluteFilePath(path));
    const auto top = [](const QString &p) { return p.section(QLatin1Char('/'), 1, 1); };
    return top(absolute) == top(QDir::cleanPath(folder)) ? QDir(folder).relativeFilePath(absolute) : absolute;
}

// How a key's value is written from its field and read into it; reading
// returns an empty string or what is wrong with the value.
using Getter = std::function<QString(const Project &, const QString &folder)>;
using Setter = std::function<QString(Project &, const QString &value, const QString &folder)>;

struct Key
{
    ProjectKey id;
    const char *section;
    const char *name;
    // The window's key before it shared these; null when it kept none.
    const char *formerSettingsKey;
    Getter get;
    Setter set;
};

// `field` gives the value's place in a project, const or not.
template<typename Field>
Key text(ProjectKey id, const char *section, const char *name, const char *former, Field field)
{
    return {id, section, name, former, [field](const Project &p, const QString &) { return field(p); },
            [field](Project &p, const QString &value, const QString &) {
                field(p) = value;
                return QString();
            }};
}

Key tlsPath(ProjectKey id, const char *name, QString TlsOptions::*field)
{
    return {id, "tls", name, nullptr,
            [field](const Project &p, const QString &folder) { return pathFrom(folder, p.connection.tls.*field); },
            [field](Project &p, const QString &value, const QString &folder) {
                p.connection.tls.*field = pathIn(folder, value);
                return QString();
            }};
}

template<typename Field>
Key flag(ProjectKey id, const char *section, const char *name, const char *former, Field field)
{
    return {id, section, name, former,
            [field](const Project &p, const QString &) { return field(p) ? yes : no; },
            [field](Project &p, const QString &value, const QString &) {
                const QString v = value.toLower();
                if (v == yes || v == QLatin1String("true") || v == QLatin1String("1"))
                    field(p) = true;
                else if (v == no || v == QLatin1String("false") || v == QLatin1String("0") || v.isEmpty())
                    field(p) = false;
                else
                    return QStringLiteral("\"%1\" is not yes or no").arg(value);
                return QString();
            }};
}

Key tableList(ProjectKey id, const char *name, QStringList TableSelection::*field)
{
    return {id, "generate", name, nullptr,
            [field](const Project &p, const QString &) { return (p.tables.*field).join(QStringLiteral(", ")); },
            [field](Project &p, const QString &value, const QString &) {
                return splitTableList(value, &(p.tables.*field));
            }};
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

// The driver takes the socket inside a list of options separated by ';'.
QString setSocket(Project &p, const QString &value, const QString &)
{
    if (value.contains(QLatin1Char(';')))
        return QStringLiteral("invalid socket path \"%1\": it may not hold ';'").arg(value);
    p.connection.socket = value;
    return QString();
}

QString setKinds(Project &p, const QString &value, const QString &)
{
    QString unknown;
    if (parseKinds(value, &p.switches, &unknown))
        return QString();
    const QString kinds = classKindNames().join(QStringLiteral(", "));
    if (unknown.isEmpty())
        return QStringLiteral("only needs at least one of %1").arg(kinds);
    return QStringLiteral("unknown kind of class \"%1\" (use %2)").arg(unknown, kinds);
}

QString outputText(const Project &p, const QString &folder)
{
    const QString &output = p.outputDirectory;
    return output.isEmpty() || output == QLatin1String(".") ? QStringLiteral(".") : pathFrom(folder, output);
}

QString setOutput(Project &p, const QString &value, const QString &folder)
{
    p.outputDirectory = folder.isEmpty() ? value : outputFolderIn(folder, value);
    return QString();
}

const std::vector<Key> &keys()
{
    using K = ProjectKey;
    const auto connection = [](K id, const char *name, const char *former, QString ConnectionSettings::*field) {
        return text(id, "connection", name, former, [field](auto &p) -> auto & { return p.connection.*field; });
    };
    static const std::vector<Key> keys = {
        connection(K::Host, "host", "form/host", &ConnectionSettings::host),
        {K::Port, "connection", "port", "form/port",
         [](const Project &p, const QString &) { return QString::number(p.connection.port); }, setPort},
        {K::Socket, "connection", "socket", nullptr,
         [](const Project &p, const QString &) { return p.connection.socket; }, setSocket},
        connection(K::User, "user", "form/user", &ConnectionSettings::user),
        connection(K::Schema, "schema", "form/schema", &ConnectionSettings::schema),
        flag(K::Ssl, "tls", "ssl", nullptr, [](auto &p) -> auto & { return p.connection.tls.required; }),
        tlsPath(K::SslCa, "ssl-ca", &TlsOptions::ca),
        tlsPath(K::SslCapath, "ssl-capath", &TlsOptions::caPath),
        tlsPath(K::SslCert, "ssl-cert", &TlsOptions::cert),
        tlsPath(K::SslKey, "ssl-key", &TlsOptions::key),
        text(K::SslCipher, "tls", "ssl-cipher", nullptr, [](auto &p) -> auto & { return p.connection.tls.cipher; }),
        flag(K::SslVerifyServerCert, "tls", "ssl-verify-server-cert", nullptr,
             [](auto &p) -> auto & { return p.connection.tls.verifyServerCert; }),
        tableList(K::Tables, "tables", &TableSelection::include),
        tableList(K::Exclude, "exclude", &TableSelection::exclude),
        {K::Only, "generate", "only", nullptr,
         [](const Project &p, const QString &) { return classKindNames(p.switches).join(QStringLiteral(", ")); },
         setKinds},
        {K::Output, "generate", "output", "output/folder", outputText, setOutput},
        {K::Catalog, "generate", "catalog", "catalog/reader",
         [](const Project &p, const QString &) { return catalogReaderName(p.catalogReader); },
         [](Project &p, const QString &value, const QString &) { return parseCatalogReader(value, &p.catalogReader); }},
        flag(K::KeepUnchanged, "generate", "keep-unchanged", "generate/keepUnchanged",
             [](auto &p) -> auto & { return p.keepUnchanged; }),
        flag(K::Application, "generate", "app", nullptr, [](auto &p) -> auto & { return p.application; }),
    };
    return keys;
}

const Key &key(ProjectKey id)
{
    return *std::find_if(keys().begin(), keys().end(), [id](const Key &k) { return k.id == id; });
}

// The sections in the file's order.
QStringList sections()
{
    QStringList sections;
    for (const Key &k : keys()) {
        if (!sections.contains(QLatin1String(k.section)))
            sections.append(QLatin1String(k.section));
    }
    return sections;
}

// Reads one "name = value" line of `section`; returns what is wrong with
// it, or an empty string.
QString readLine(ProjectReading *reading, const QString &section, const QString &line, const QString &where,
                 const QString &folder, QStringList *seen)
{
    const qsizetype equals = line.indexOf(QLatin1Char('='));
    if (equals <= 0)
        return QStringLiteral("malformed line \"%1\": expected key = value").arg(line);
    const QString name = line.left(equals).trimmed();
    const QString value = line.mid(equals + 1).trimmed();
    if (name == QLatin1String("password"))
        return QStringLiteral("a project never holds the password; give it with -p, MYSQL_PWD or the window");
    const auto k = std::find_if(keys().begin(), keys().end(), [&](const Key &k) {
        return section == QLatin1String(k.section) && name == QLatin1String(k.name);
    });
    if (k == keys().end())
        return (section.isEmpty() ? QStringLiteral("key \"%1\" outside a section")
                                  : QStringLiteral("unknown key \"%1\" in [%2]"))
                .arg(name, section);
    const QString qualified = section + QLatin1Char('/') + name;
    if (seen->contains(qualified))
        return QStringLiteral("\"%1\" is given twice in [%2]").arg(name, section);
    seen->append(qualified);
    Project &project = reading->project;
    const QString problem = k->set(project, value, folder);
    if (k->id == ProjectKey::Tables)
        project.tables.includeOrigin = where;
    else if (k->id == ProjectKey::Exclude)
        project.tables.excludeOrigin = where;
    return problem;
}

} // namespace

QString settingsKey(ProjectKey id)
{
    const Key &k = key(id);
    return QLatin1String(k.section) + QLatin1Char('/') + QLatin1String(k.name);
}

QString formerSettingsKey(ProjectKey id)
{
    return QLatin1String(key(id).formerSettingsKey);
}

QString projectValue(const Project &project, ProjectKey id, const QString &folder)
{
    return key(id).get(project, folder);
}

QString setProjectValue(Project *project, ProjectKey id, const QString &value, const QString &folder)
{
    return key(id).set(*project, value, folder);
}

QStringList splitList(const QString &value)
{
    QStringList items;
    for (const QString &item : value.split(QLatin1Char(','))) {
        if (!item.trimmed().isEmpty())
            items.append(item.trimmed());
    }
    return items;
}

bool parseKinds(const QString &value, Switches *switches, QString *unknown)
{
    return switchesNamed(splitList(value), switches, unknown);
}

ProjectReading readProject(const QString &path)
{
    ProjectReading reading;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        reading.problems.append(QStringLiteral("%1: cannot read the project: %2").arg(path, file.errorString()));
        return reading;
    }
    const QString folder = QFileInfo(path).absolutePath();
    reading.project.outputDirectory = outputFolderIn(folder, QString());
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
        QString problem;
        if (!line.startsWith(QLatin1Char('['))) {
            problem = isRuleSection(section) ? readRuleLine(section, line, where, &reading.project.rules)
                                             : readLine(&reading, section, line, where, folder, &seen);
        } else if (!line.endsWith(QLatin1Char(']'))) {
            problem = QStringLiteral("malformed section line \"%1\"").arg(line);
        } else {
            section = line.mid(1, line.size() - 2).trimmed();
            if (!sections().contains(section) && !isRuleSection(section))
                problem = QStringLiteral("unknown section [%1] (use %2)")
                                  .arg(section, (sections() + ruleSections()).join(QStringLiteral(", ")));
        }
        if (!problem.isEmpty())
            reading.problems.append(where + problem);
    }
    if (reading.problems.isEmpty() && reading.project.connection.schema.isEmpty())
        reading.problems.append(path + QStringLiteral(": the project names no schema ([connection] schema = ...)"));
    return reading;
}

ProjectReading withRuleChange(const Project &project, const QString &path, const RuleChange &change)
{
    ProjectReading reading;
    reading.project = project;
    ProjectRules &rules = reading.project.rules;
    auto entry = std::find_if(rules.sections.begin(), rules.sections.end(),
                              [&change](const auto &named) { return named.first == change.section; });
    if (entry == rules.sections.end())
        entry = rules.sections.insert(rules.sections.end(), {change.section, {}});
    QStringList &lines = entry->second;
    qsizetype place = lines.size();
    if (!change.classOf.isEmpty()) {
        for (qsizetype i = 0; i < lines.size(); ++i) {
            ProjectRules one;
            readRuleLine(change.section, lines.at(i), QString(), &one);
            if (!one.schema.classNames.isEmpty() && one.schema.classNames.constFirst().table == change.classOf) {
                lines.removeAt(i);
                place = i;
                break;
            }
        }
    }
    if (!change.line.isEmpty())
        lines.insert(place, change.line);
    if (lines.isEmpty())
        rules.sections.erase(entry);
    // Read back line by line where the saved file will hold them: after
    // the keys, which come first and one a line whatever their values.
    const QString folder = path.isEmpty() ? QDir::currentPath() : QFileInfo(path).absolutePath();
    const QString text = QString::fromUtf8(projectText(reading.project, folder));
    const QString ruleText = rulesText(rules);
    const qsizetype before = text.left(text.size() - ruleText.size()).count(QLatin1Char('\n'));
    const QString file = path.isEmpty() ? QStringLiteral("(project not saved)") : path;
    ProjectRules reread;
    QString section;
    const QStringList ruleLines = ruleText.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < ruleLines.size(); ++i) {
        const QString line = ruleLines.at(i).trimmed();
        if (line.isEmpty())
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            section = line.mid(1, line.size() - 2);
            continue;
        }
        const QString where = QStringLiteral("%1:%2: ").arg(file).arg(before + i + 1);
        const QString problem = readRuleLine(section, line, where, &reread);
        if (!problem.isEmpty())
            reading.problems.append(where + problem);
    }
    rules = reread;
    return reading;
}

QByteArray projectText(const Project &project, const QString &folder)
{
    QString text = QStringLiteral(
            "# Tablesmith project: tablesmith-cli --project FILE runs it, File > Open Project... in the window.\n"
            "# Paths are relative to this file's folder. The password is never kept here.\n");
    QString section;
    for (const Key &k : keys()) {
        if (section != QLatin1String(k.section)) {
            section = QLatin1String(k.section);
            text += QStringLiteral("\n[%1]\n").arg(section);
        }
        // Only when on: projects written before the scaffold keep their text.
        if (k.id == ProjectKey::Application && !project.application)
            continue;
        if (k.id == ProjectKey::Tables)
            text += QStringLiteral("# Names and patterns (* and ?); empty: every table. A name in double quotes\n"
                                   "# is never a pattern (\"x,y\", \"a*\"; \"\" is a quote inside).\n");
        // No trailing blank after an empty value.
        const QString value = k.get(project, folder);
        text += QLatin1String(k.name) + (value.isEmpty() ? QStringLiteral(" =") : QStringLiteral(" = ") + value)
                + QLatin1Char('\n');
    }
    text += rulesText(project.rules);
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

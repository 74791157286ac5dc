// ordovant-db: creates and fills branch databases, as SQLite files or on a PostgreSQL server, and
// copies the workstations' settings from an INI store into a server.

#include "ordovantdb.h"

#include "branchrole.h"

#include "host/branchnumber.h"
#include "host/hosterror.h"
#include "host/standalone/config/connectionoptions.h"
#include "host/standalone/platform/odbcdrivermanager.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>

#include <cstdio>

namespace {

const QString Sqlite = QStringLiteral("QSQLITE");
const QString Postgres = QStringLiteral("QPSQL");
const QString Odbc = QStringLiteral("QODBC");
const QString Create = QStringLiteral("create");
const QString CopySettings = QStringLiteral("copy-settings");
const QString AddBranchRole = QStringLiteral("add-branch-role");
const QString CheckBranchRoles = QStringLiteral("check-branch-roles");
constexpr qint64 MaximumRandomTasks = 10'000'000;

const char *const Description =
    R"(Creates and fills branch databases for ordovant, and moves settings to a branch server.

Commands:
  create [FILE]        Make the SQLite file FILE with the tables and the rows the options give.
                       With a server (--driver QPSQL or QODBC, or a host.ini that names one) fill
                       the server's tables instead: they must exist already, made by an administrator
                       from schema/postgresql.sql or schema/mariadb.sql; this tool never creates or
                       alters a table on a
                       server. Tables that hold rows are refused unless --force, which deletes the
                       rows of absortieraufgabe and beleg first. One transaction: all or nothing.
  copy-settings STORE  Copy the values of the group [ORDOVANT/DM] of the INI settings store STORE
                       into the server's table einstellung as the rows of one branch (--filiale,
                       else [Warenabgabe] 17 of --host-ini); a key that is there already gets the
                       store's value, other rows stay. One transaction: all or nothing.
  add-branch-role ROLE On a chain's central server (schema/central-server.sql): make the login
                       role ROLE of branch --filiale N, a member of ordovant_filiale, which row-level
                       security keeps to that branch's rows. Run it as an administrator role; it
                       never takes a password and prints how to set one. A role of another branch
                       is refused unless --move-branch. Taken only when nothing lets the role out:
                       no attribute beyond LOGIN, a member of no role but ordovant_filiale (whatever
                       the membership's options; predefined pg_... roles count), the owner of
                       nothing (the database, a schema, a table, a function, anything), named
                       in no policy of its own.
  check-branch-roles   Check the group and every role of filialrolle against the same rule, and
                       find rows whose role no longer exists; one line per role. Exit 1 when
                       anything fails, 0 when all are fine: for a scheduled run.

The database: FILE, or the [Datenbank] section of --host-ini (Treiber, Pfad, Host, Port, Name,
Benutzer, Optionen, Zeitlimit); the server options below override its values, empty ones take
libpq's defaults (PGHOST, PGPORT, PGDATABASE, PGUSER). A password is never given here: libpq reads it
from ~/.pgpass, PGPASSFILE, a service file or PGPASSWORD; with QODBC, --name is a data source of
odbc.ini, which keeps the password, or a connection string with DRIVER=.)";

qint64 number(const QString &text, const QString &what)
{
    bool ok = false;
    const qint64 value = text.trimmed().toLongLong(&ok);
    if (!ok && ConnectionOptions::looksLikeSecret(text))
        throw UsageError(
            QStringLiteral("%1 is not a number and must not hold a password").arg(what).toStdString());
    if (!ok)
        throw UsageError(QStringLiteral("%1: \"%2\" is not a number").arg(what, text).toStdString());
    return value;
}

QStringList fields(const QString &value, const QString &option, int minimum, int maximum)
{
    const QStringList parts = value.split(u',');
    if (parts.size() < minimum || parts.size() > maximum)
        throw UsageError(QStringLiteral("--%1 %2: expected %3 to %4 comma-separated fields")
                             .arg(option, value, QString::number(minimum), QString::number(maximum))
                             .toStdString());
    return parts;
}

// A row the program could not read back as it was meant (a branch cut to 16 bits, a type or origin it
// does not know, a state that is neither open nor done) is a wrong command line.
qint64 numberFrom(const QString &text, const QString &what, qint64 minimum, qint64 maximum)
{
    const qint64 value = number(text, what);
    if (value < minimum || value > maximum)
        throw UsageError(QStringLiteral("%1: %2 is not %3 to %4")
                             .arg(what, text.trimmed(), QString::number(minimum), QString::number(maximum))
                             .toStdString());
    return value;
}

qint64 branchField(const QString &text)
{
    return numberFrom(text, QStringLiteral("FILIALE"), BranchNumber::Minimum, BranchNumber::Maximum);
}

qint64 doneField(const QStringList &f)
{
    return f.size() > 3 ? numberFrom(f[3], QStringLiteral("ERLEDIGT"), 0, 1) : 0;
}

Task parseTask(const QString &value)
{
    const QStringList f = fields(value, QStringLiteral("task"), 3, 4);
    return {branchField(f[0]), numberFrom(f[1], QStringLiteral("GV"), 0, 8),
            numberFrom(f[2], QStringLiteral("HERKUNFT"), 0, 53), doneField(f)};
}

BelegRow parseBeleg(const QString &value)
{
    const QStringList f = fields(value, QStringLiteral("beleg"), 3, 4);
    const QString text = f[2].trimmed();
    const QDate date = QDate::fromString(text, Qt::ISODate);
    if (!text.isEmpty() && (!date.isValid() || text.size() != 10))
        throw UsageError(
            QStringLiteral("ABLAUFDATUM: \"%1\" is not a date YYYY-MM-DD").arg(text).toStdString());
    return {branchField(f[0]), numberFrom(f[1], QStringLiteral("ART"), 0, 39), date, doneField(f)};
}

// Options are handed to libpq as they are; the program's own check: no password (it would be on the
// command line or in a file every user of the workstation reads), whole key=value words (libpq would
// quote a malformed one in its message), none of the keys the tool sets itself.
QString optionsProblem(const QString &options)
{
    const ConnectionOptions::Finding finding = ConnectionOptions::libpq(options);
    switch (finding.problem) {
    case ConnectionOptions::Problem::None:
        break;
    case ConnectionOptions::Problem::Password:
        return QStringLiteral("the options must not hold a password; libpq reads it from ~/.pgpass, "
                              "PGPASSFILE, a service file or PGPASSWORD");
    case ConnectionOptions::Problem::NotKeyValue:
        return QStringLiteral("every entry of the options must be key=value (no connection URI)");
    case ConnectionOptions::Problem::UnterminatedQuote:
        return QStringLiteral("a single-quoted value of the options is not closed");
    case ConnectionOptions::Problem::SetByHostIni:
        return QStringLiteral("the options must not set %1; use the host.ini key or the tool's own option")
            .arg(finding.key);
    case ConnectionOptions::Problem::NotAllowed:
        return QStringLiteral("the options take only the libpq keywords the manual names; %1 is not one of "
                              "them (anything else belongs in a service file)")
            .arg(finding.key);
    case ConnectionOptions::Problem::Tracing: // ODBC's findings
    case ConnectionOptions::Problem::Code:
    case ConnectionOptions::Problem::Repeated:
        break;
    }
    return {};
}

// Matches a driver name in any letter case; empty is QSQLITE, as for the program.
std::optional<QString> driverNamed(const QString &text)
{
    const QString value = text.trimmed();
    if (value.isEmpty() || value.compare(Sqlite, Qt::CaseInsensitive) == 0)
        return Sqlite;
    if (value.compare(Postgres, Qt::CaseInsensitive) == 0)
        return Postgres;
    if (value.compare(Odbc, Qt::CaseInsensitive) == 0)
        return Odbc;
    return std::nullopt;
}

// The connection options of either server driver; an ODBC data source name or connection string may
// not carry a password either.
QString connectionProblem(const BranchDatabaseSettings &settings)
{
    for (const QString *value : {&settings.host, &settings.user})
        if (ConnectionOptions::looksLikeSecret(*value))
            return QStringLiteral("the server, port, database and role must not hold a password");
    if (ConnectionOptions::holdsCredentials(settings.host, settings.user))
        return QStringLiteral("the server holds no @ and the role no : (user:password@host); a password is "
                              "never given here");
    if (settings.driver != Odbc) {
        if (ConnectionOptions::looksLikeSecret(settings.name))
            return QStringLiteral("the server, port, database and role must not hold a password");
        return optionsProblem(settings.options);
    }
    const ConnectionOptions::Finding finding = ConnectionOptions::odbc(
        settings.name, settings.options, odbcInstallation().value_or(OdbcInstallation()));
    switch (finding.problem) {
    case ConnectionOptions::Problem::Password:
        return QStringLiteral("the ODBC connection must not hold a password (PWD); it belongs in the data "
                              "source (odbc.ini) or the driver's own store");
    case ConnectionOptions::Problem::Tracing:
        return QStringLiteral("the ODBC connection must not switch on a trace or log of the driver; that "
                              "belongs in the data source (odbc.ini)");
    case ConnectionOptions::Problem::Code:
        return QStringLiteral("the ODBC connection may name a driver only as the driver manager registered "
                              "it (no path, no FILEDSN, no .dsn, no plugin directory)");
    case ConnectionOptions::Problem::NotAllowed:
        return QStringLiteral("the ODBC connection takes only the keys the manual names for its driver%1; "
                              "anything else belongs in the data source (odbc.ini)")
            .arg(finding.key.isEmpty() ? QString() : QStringLiteral(" (not %1)").arg(finding.key));
    case ConnectionOptions::Problem::Repeated:
        return QStringLiteral("the ODBC connection names %1 twice").arg(finding.key);
    default:
        break;
    }
    return {};
}

// The branch whose settings copy-settings writes: --filiale, else [Warenabgabe] 17 of --host-ini.
qint32 branchNumber(const QCommandLineParser &parser)
{
    if (parser.isSet(QStringLiteral("filiale"))) {
        const auto filiale = BranchNumber::wholeNumber(parser.value(QStringLiteral("filiale")));
        if (!filiale || !BranchNumber::isValid(*filiale))
            throw UsageError("--filiale must be a branch number from 1 to 32767");
        return qint32(*filiale);
    }
    if (!parser.isSet(QStringLiteral("host-ini")))
        throw UsageError("copy-settings and add-branch-role need the branch: --filiale N, or a host.ini with "
                         "[Warenabgabe] 17=N");
    try {
        return HostConfig(parser.value(QStringLiteral("host-ini"))).branchNumber();
    } catch (const HostError &e) {
        throw UsageError(e.what());
    }
}

// The [Datenbank] section of a host.ini, read by the program's own code.
BranchDatabaseSettings readHostIni(const QString &path)
{
    if (!QFileInfo(path).exists())
        throw ToolError(QStringLiteral("%1 does not exist").arg(path));
    BranchDatabaseSettings settings;
    try {
        settings = HostConfig(path).database();
    } catch (const HostError &e) {
        throw ToolError(QString::fromStdString(e.what()));
    }
    if (const QString problem = connectionProblem(settings); !problem.isEmpty())
        throw ToolError(QStringLiteral("%1: [Datenbank] Optionen: %2").arg(path, problem));
    return settings;
}

struct Command
{
    QString name;
    QString path; // create: the file; copy-settings: the store
    BranchDatabaseSettings database;
    bool force = false;
    bool indexes = true;
    BranchRows rows;
    qint32 filiale = 0;    // copy-settings, add-branch-role
    bool moveRole = false; // add-branch-role
};

// The database from --host-ini and the driver and server options.
BranchDatabaseSettings database(const QCommandLineParser &parser)
{
    BranchDatabaseSettings settings;
    settings.driver = Sqlite;
    if (parser.isSet(QStringLiteral("host-ini")))
        settings = readHostIni(parser.value(QStringLiteral("host-ini")));
    if (parser.isSet(QStringLiteral("driver"))) {
        const std::optional<QString> driver = driverNamed(parser.value(QStringLiteral("driver")));
        if (!driver || parser.value(QStringLiteral("driver")).trimmed().isEmpty())
            throw UsageError("--driver must be QSQLITE, QPSQL or QODBC");
        settings.driver = *driver;
    }
    bool serverOption = false;
    for (auto [option, field] :
         {std::pair{"host", &settings.host}, std::pair{"name", &settings.name},
          std::pair{"user", &settings.user}, std::pair{"options", &settings.options}}) {
        if (parser.isSet(QLatin1String(option))) {
            *field = parser.value(QLatin1String(option)).trimmed();
            serverOption = true;
        }
    }
    if (parser.isSet(QStringLiteral("port"))) {
        settings.port = int(number(parser.value(QStringLiteral("port")), QStringLiteral("--port")));
        if (settings.port < 1 || settings.port > 65535)
            throw UsageError("--port must be 1..65535");
        serverOption = true;
    }
    if (serverOption && settings.driver == Sqlite)
        throw UsageError(
            "--host, --port, --name, --user and --options are for a server: --driver QPSQL or QODBC");
    if (settings.driver == Odbc &&
        (parser.isSet(QStringLiteral("host")) || parser.isSet(QStringLiteral("port"))))
        throw UsageError("--host and --port are for QPSQL; with QODBC --name names the data source");
    if (const QString problem = connectionProblem(settings); !problem.isEmpty())
        throw UsageError((QStringLiteral("--options: ") + problem).toStdString());
    return settings;
}

void addOptions(QCommandLineParser &parser)
{
    parser.addOptions({
        {QStringLiteral("host-ini"),
         QStringLiteral("Take the database from the [Datenbank] section of this host.ini."),
         QStringLiteral("PATH")},
        {QStringLiteral("driver"),
         QStringLiteral("QSQLITE (a file, the default), QPSQL or QODBC (a server)."),
         QStringLiteral("DRIVER")},
        {QStringLiteral("host"), QStringLiteral("Server: the host name or socket directory."),
         QStringLiteral("HOST")},
        {QStringLiteral("port"), QStringLiteral("Server: the port."), QStringLiteral("PORT")},
        {QStringLiteral("name"),
         QStringLiteral("Server: the database; QODBC: the data source (DSN) or a connection string."),
         QStringLiteral("DB")},
        {QStringLiteral("user"), QStringLiteral("Server: the role."), QStringLiteral("ROLE")},
        {QStringLiteral("options"), QStringLiteral("Server: further libpq options, key=value;key=value."),
         QStringLiteral("OPTIONS")},
        {QStringLiteral("force"),
         QStringLiteral("create: replace an existing file; on a server delete the rows of absortieraufgabe "
                        "and beleg first.")},
        {QStringLiteral("no-index"),
         QStringLiteral("create, file only: make the tables without their indexes.")},
        {QStringLiteral("task"), QStringLiteral("create: add a sort-out task (repeatable)."),
         QStringLiteral("FILIALE,GV,HERKUNFT[,ERLEDIGT]")},
        {QStringLiteral("beleg"),
         QStringLiteral("create: add a document expiring on YYYY-MM-DD; an empty date is NULL (repeatable)."),
         QStringLiteral("FILIALE,ART,ABLAUFDATUM[,ERLEDIGT]")},
        {QStringLiteral("random-tasks"), QStringLiteral("create: add N generated sort-out tasks."),
         QStringLiteral("N")},
        {QStringLiteral("branches"), QStringLiteral("Generated tasks spread over branches 1..B (default 1)."),
         QStringLiteral("B"), QStringLiteral("1")},
        {QStringLiteral("open-percent"), QStringLiteral("Share of open generated tasks (default 100)."),
         QStringLiteral("P"), QStringLiteral("100")},
        {QStringLiteral("filiale"),
         QStringLiteral("copy-settings: the branch whose settings these are (default: [Warenabgabe] 17 of "
                        "--host-ini)."),
         QStringLiteral("N")},
        {QStringLiteral("seed"), QStringLiteral("Seed of the generator (default 1)."), QStringLiteral("S"),
         QStringLiteral("1")},
        {QStringLiteral("move-branch"),
         QStringLiteral("add-branch-role: a role of another branch moves to --filiale; its workstations then "
                        "see that branch's rows and no longer their own.")},
    });
}

BranchRows rows(const QCommandLineParser &parser)
{
    BranchRows rows;
    for (const QString &value : parser.values(QStringLiteral("task")))
        rows.tasks.push_back(parseTask(value));
    for (const QString &value : parser.values(QStringLiteral("beleg")))
        rows.belege.push_back(parseBeleg(value));
    if (parser.isSet(QStringLiteral("random-tasks")))
        rows.random.count =
            number(parser.value(QStringLiteral("random-tasks")), QStringLiteral("--random-tasks"));
    rows.random.branches = number(parser.value(QStringLiteral("branches")), QStringLiteral("--branches"));
    rows.random.openPercent =
        number(parser.value(QStringLiteral("open-percent")), QStringLiteral("--open-percent"));
    rows.random.seed = quint64(number(parser.value(QStringLiteral("seed")), QStringLiteral("--seed")));
    // Beyond ten million rows a file takes minutes and hundreds of megabytes: a typing slip.
    if (rows.random.count < 0 || rows.random.count > MaximumRandomTasks || rows.random.branches < 1 ||
        rows.random.branches > BranchNumber::Maximum || rows.random.openPercent < 0 ||
        rows.random.openPercent > 100)
        throw UsageError("--random-tasks must be 0..10000000, --branches 1..32767, --open-percent 0..100");
    return rows;
}

Command parse(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromUtf8(Description));
    const QCommandLineOption help = parser.addHelpOption();
    parser.addPositionalArgument(
        QStringLiteral("command"),
        QStringLiteral("create, copy-settings, add-branch-role or check-branch-roles"),
        QStringLiteral("create [FILE] | copy-settings STORE | add-branch-role ROLE | check-branch-roles"));
    addOptions(parser);
    if (!parser.parse(arguments))
        throw UsageError(parser.errorText().toStdString());
    if (parser.isSet(help))
        parser.showHelp(0);

    const QStringList positional = parser.positionalArguments();
    // SQLite opens a temporary database for an empty name, which would vanish with the tool.
    if (positional.size() == 2 && positional[1].trimmed().isEmpty())
        throw UsageError("FILE or STORE must not be empty");
    Command command;
    command.name = positional.value(0);
    if (parser.isSet(QStringLiteral("move-branch")) && command.name != AddBranchRole)
        throw UsageError("--move-branch is for add-branch-role");
    command.database = database(parser);
    const bool server = command.database.driver != Sqlite;
    if (command.name == Create && positional.size() <= 2) {
        if (positional.size() == 2 && server)
            throw UsageError("create: FILE is for an SQLite file, not for a server");
        if (positional.size() == 2)
            command.path = positional[1];
        else if (!server && parser.isSet(QStringLiteral("host-ini")))
            command.path = command.database.path;
        else if (!server)
            throw UsageError("create: give FILE, --host-ini or --driver QPSQL/QODBC");
        command.force = parser.isSet(QStringLiteral("force"));
        command.indexes = !parser.isSet(QStringLiteral("no-index"));
        if (server && !command.indexes)
            throw UsageError("--no-index is for a file: a server's tables come from the schema in schema/");
        command.rows = rows(parser);
        return command;
    }
    if (command.name == CopySettings && positional.size() == 2) {
        for (const char *option :
             {"force", "no-index", "task", "beleg", "random-tasks", "branches", "open-percent", "seed"}) {
            if (parser.isSet(QLatin1String(option)))
                throw UsageError(
                    QStringLiteral("--%1 is for create").arg(QLatin1String(option)).toStdString());
        }
        if (!server)
            throw UsageError(
                "copy-settings needs a server (--driver QPSQL or QODBC, or a host.ini that names one)");
        command.filiale = branchNumber(parser);
        command.path = positional[1];
        return command;
    }
    if (command.name == AddBranchRole && positional.size() == 2) {
        if (command.database.driver != Postgres)
            throw UsageError("add-branch-role needs a PostgreSQL server (--driver QPSQL, or a host.ini that "
                             "names one)");
        command.filiale = branchNumber(parser);
        command.moveRole = parser.isSet(QStringLiteral("move-branch"));
        command.path = positional[1];
        return command;
    }
    if (command.name == CheckBranchRoles && positional.size() == 1) {
        for (const char *option : {"force", "no-index", "task", "beleg", "random-tasks", "branches",
                                   "open-percent", "seed", "filiale"}) {
            if (parser.isSet(QLatin1String(option)))
                throw UsageError(QStringLiteral("--%1 is not for check-branch-roles")
                                     .arg(QLatin1String(option))
                                     .toStdString());
        }
        if (command.database.driver != Postgres)
            throw UsageError(
                "check-branch-roles needs a PostgreSQL server (--driver QPSQL, or a host.ini that "
                "names one)");
        return command;
    }
    throw UsageError(
        "usage: ordovant-db create [FILE] [options] | ordovant-db copy-settings STORE [options] | "
        "ordovant-db add-branch-role ROLE --filiale N [options] | ordovant-db check-branch-roles [options]; "
        "see --help");
}

int run(const Command &command)
{
    if (command.name == CheckBranchRoles) {
        const BranchRoleReport report = checkBranchRoles(command.database);
        std::fputs((report.lines.join(u'\n') + u'\n').toUtf8().constData(), stdout);
        return report.fine ? 0 : 1;
    }
    if (command.name == AddBranchRole) {
        std::fputs(addBranchRole(command.database, command.path, command.filiale, command.moveRole)
                       .toUtf8()
                       .constData(),
                   stdout);
    } else if (command.name == CopySettings) {
        const qsizetype copied = copySettings(command.path, command.database, command.filiale);
        std::printf("copied %lld values into einstellung\n", static_cast<long long>(copied));
    } else if (command.database.driver != Sqlite) {
        fillServer(command.database, command.rows, command.force);
    } else {
        createFile(command.path, command.rows, command.force, command.indexes);
    }
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ordovant-db"));
    try {
        return run(parse(app.arguments()));
    } catch (const UsageError &e) {
        std::fprintf(stderr, "ordovant-db: %s\n", e.what());
        return 2;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "ordovant-db: %s\n", e.what());
        return 1;
    }
}

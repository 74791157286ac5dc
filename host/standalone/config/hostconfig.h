#pragma once

#include "host/hosterror.h"

#include <QDate>
#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>

// Where the branch data lives: the SQLite file of the workstation or the branch's PostgreSQL server.
// The password never comes from here; libpq finds it in its own sources.
struct BranchDatabaseSettings
{
    QString driver;   // QSQLITE, QPSQL or QODBC
    QString path;     // QSQLITE
    QString host;     // QPSQL: empty for libpq's default
    int port = -1;    // QPSQL: -1 for libpq's default
    QString portList; // QPSQL: one port per host of a list (Port=5432,5433); then port is -1
    QString name;     // QPSQL: the database; QODBC: the data source or connection string
    QString user;     // QPSQL, QODBC
    QString options;  // QPSQL: further libpq options, key=value;key=value
    int timeoutSeconds = 5;
};

// The host directory and its host.ini. The environment is read when the object is made; host.ini is
// read on first use and kept. A host.ini that cannot be read fails every operation that needs it.
class HostConfig final
{
public:
    // host.ini in the host directory that ORDOVANT_HOME names.
    HostConfig();
    // The given host.ini; its folder is the host directory.
    explicit HostConfig(const QString &iniPath);

    QString hostDirectory() const { return m_hostDirectory; }
    QString iniPath() const { return m_iniPath; }
    // The users' folder: [Verzeichnisse] Daten of a trusted host.ini; else, for the installed host
    // directory, the installed users' folder, and for any other the host directory itself.
    QString dataDirectory();
    // ordovant.log in the users' folder.
    QString logPath();

    // Throws HostError when host.ini may be changed or replaced by another user, exists but cannot be
    // read, or its connection settings are unsafe or contradict themselves.
    void validate();
    // Why host.ini cannot be trusted to choose what runs; empty when it can. Looked at once.
    QString trustProblem();

    QString terminalId();
    bool parameter(const QString &name);
    QString directory(const QString &name);
    QDate businessDate();
    QString databasePath();
    BranchDatabaseSettings database();
    QString storePath();
    // True when the settings live in the table einstellung of the branch database.
    bool settingsInDatabase();
    // Throws HostError for a branch number (key 17) that is a whole number outside 1 to 32767.
    QString warenabgabeSetting(int key, const QString &defaultValue);
    // [Warenabgabe] 17; throws HostError when it is missing or no branch number.
    qint16 branchNumber();

private:
    static constexpr int BranchNumberKey = 17;

    HostError notABranch(const QString &value) const;
    const QHash<QString, QString> &values();
    std::optional<QString> text(const QString &key);
    // The value without surrounding blanks; empty when the key is missing.
    QString trimmedText(const QString &key);
    QString absolutePath(const QString &path) const;
    QString defaultDataDirectory() const;
    QString choice(const QString &key, const QStringList &allowed);
    int number(const QString &key, int defaultValue, int minimum, int maximum);
    void readPorts(BranchDatabaseSettings &settings);
    void checkOptions(const BranchDatabaseSettings &branch);
    QString odbcProblem(const BranchDatabaseSettings &branch);
    void checkForSecrets(const QString &driver);

    QString m_hostDirectory;
    QString m_iniPath;
    std::optional<QHash<QString, QString>> m_values;
    std::optional<QString> m_trustProblem;
};

#pragma once

#include "host/hostbackend.h"
#include "host/standalone/standalonehost.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

// A host directory in a temporary folder for the standalone host: ORDOVANT_HOME points at it while
// the object lives, so hosts made meanwhile read their host.ini, store, database and log from here.
class StandaloneHostHome final
{
public:
    StandaloneHostHome() { qputenv("ORDOVANT_HOME", m_dir.path().toLocal8Bit()); }
    ~StandaloneHostHome() { qunsetenv("ORDOVANT_HOME"); }
    StandaloneHostHome(const StandaloneHostHome &) = delete;
    StandaloneHostHome &operator=(const StandaloneHostHome &) = delete;

    bool isValid() const { return m_dir.isValid(); }
    QString path() const { return m_dir.path(); }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }

    bool writeFile(const QString &name, const QByteArray &content) const
    {
        QDir().mkpath(QFileInfo(filePath(name)).absolutePath());
        QFile file(filePath(name));
        return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) == content.size();
    }
    bool writeIni(const QByteArray &content) const { return writeFile(QStringLiteral("host.ini"), content); }

    QByteArray readFile(const QString &name) const
    {
        QFile file(filePath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QStringList logLines() const
    {
        return QString::fromUtf8(readFile(QStringLiteral("ordovant.log"))).split(u'\n', Qt::SkipEmptyParts);
    }

    std::unique_ptr<StandaloneHost> makeHost() const { return std::make_unique<StandaloneHost>(); }

private:
    QTemporaryDir m_dir;
};

// Installs a standalone host made in the current ORDOVANT_HOME for the object's life.
class InstalledStandaloneHost final
{
public:
    InstalledStandaloneHost() : m_previous(installHostBackend(makeStandaloneHost())) {}
    ~InstalledStandaloneHost() { installHostBackend(std::move(m_previous)); }
    InstalledStandaloneHost(const InstalledStandaloneHost &) = delete;
    InstalledStandaloneHost &operator=(const InstalledStandaloneHost &) = delete;

private:
    std::unique_ptr<HostBackend> m_previous;
};

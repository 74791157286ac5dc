#pragma once

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>

#include <utility>

// What a host directory holds before a test and the session around a run of the program in it, as
// data: a row of a table. StandaloneHostHome::prepare() makes it.
struct HostSetup
{
    // An entry beside host.ini, made in the order given, after host.ini, the store and the database.
    struct Entry
    {
        enum class Kind { File, Folder, Fifo, Link, HardLink, Sqlite, Change };
        Kind kind = Kind::File;
        QString path{};       // relative to the directory
        QByteArray content{}; // a file's bytes, a link's target as written, the statement a SQLite file runs
        int mode = -1;        // permission bits, -1: as made
        int owner = -1;       // the user and group id it is given to (root only), -1: this user's

        static Entry file(const QString &path, const QByteArray &content, int mode = -1)
        {
            return {.kind = Kind::File, .path = path, .content = content, .mode = mode};
        }
        static Entry folder(const QString &path, int mode = -1)
        {
            return {.kind = Kind::Folder, .path = path, .mode = mode};
        }
        static Entry fifo(const QString &path) { return {.kind = Kind::Fifo, .path = path}; }
        static Entry link(const QString &path, const QByteArray &target, int owner = -1)
        {
            return {.kind = Kind::Link, .path = path, .content = target, .owner = owner};
        }
        // A second name of the file `target` (relative to the directory).
        static Entry hardLink(const QString &path, const QByteArray &target)
        {
            return {.kind = Kind::HardLink, .path = path, .content = target};
        }
        // A SQLite file that holds what `statement` makes.
        static Entry sqlite(const QString &path, const QByteArray &statement)
        {
            return {.kind = Kind::Sqlite, .path = path, .content = statement};
        }
        // An entry made before, its mode or owner changed.
        static Entry change(const QString &path, int mode, int owner = -1)
        {
            return {.kind = Kind::Change, .path = path, .mode = mode, .owner = owner};
        }
    };

    // A small file system of its own, mounted before anything is written (Linux and root only).
    struct Mount
    {
        QString point{};              // relative to the directory; empty: the directory itself
        QString type{};               // tmpfs, or ext4 or vfat in an image beside the directory
        int kib = 64;                 // its size
        qint64 room = -1;             // filled up but for this many bytes at the end; -1: left empty
        bool temporaryFolder = false; // the folder for temporary files of the session
        bool beside = false;          // at the directory's path with `point` appended, outside it
    };

    // An X server of the session's own (Xvfb), in the given state.
    enum class XServer { None, Gone, Stopped, RefusesAuthorisation };

    QByteArray hostIni{}; // in the home; null: none
    QByteArray store{};   // einstellungen.ini in the home; null: none
    QStringList branch{}; // rows of "ordovant-db create filiale.db" in the directory; empty: no database
    QList<Entry> entries{};
    QList<Mount> mounts{};
    QString home{};            // ORDOVANT_HOME below the directory; empty: the directory itself
    QString temporaryFolder{}; // the session's folder for temporary files, relative; empty: as it is
    // Variables of the session, set after the defaults of a run; a null value removes one.
    QList<std::pair<QString, QString>> environment{};
    XServer xServer = XServer::None;
    bool noHostName = false;     // the machine has no host name (a namespace of its own, root only)
    bool databaseLocked = false; // a writer holds filiale.db in an exclusive transaction during a run

    // A session without a window system; with `display` one whose X server is not there.
    static QList<std::pair<QString, QString>> noDisplay(const QString &display = {})
    {
        return {{QStringLiteral("QT_QPA_PLATFORM"), {}},
                {QStringLiteral("WAYLAND_DISPLAY"), {}},
                {QStringLiteral("DISPLAY"), display}};
    }
};

Q_DECLARE_METATYPE(HostSetup)

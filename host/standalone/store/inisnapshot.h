#pragma once

#include <QByteArray>
#include <QSettings>
#include <QString>
#include <QTemporaryDir>

#include <memory>

// INI content parsed by QSettings from a private copy. QSettings keeps parsed files per path for the
// whole process and trusts an unchanged size and modification time, so a change that another process
// made to the real file within the same millisecond would go unseen, and a save would write the old
// content back over it. A copy under a fresh name is always parsed from what was read. It is a plain
// file in a fresh folder: on Windows QSettings cannot save over a file that QTemporaryFile made.
class IniSnapshot final
{
public:
    // Throws HostError when QSettings cannot parse the content; `origin` names the file in messages.
    IniSnapshot(const QByteArray &content, const QString &origin);
    IniSnapshot(const IniSnapshot &) = delete;
    IniSnapshot &operator=(const IniSnapshot &) = delete;

    QSettings &settings() { return *m_settings; }
    // Saves the changes and returns the new content of the file.
    QByteArray save();

private:
    void checkStatus() const;

    QString m_origin;
    QTemporaryDir m_directory;
    QString m_path;
    // Goes before the file it reads.
    std::unique_ptr<QSettings> m_settings;
};

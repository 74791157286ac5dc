#include "inisnapshot.h"

#include "host/hosterror.h"
#include "host/standalone/config/textfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>

namespace {

// The folder for temporary files as it is set, also where it does not exist: QDir::tempPath() is then
// empty on Unix, and a working copy would land in the current folder.
QString temporaryFolder()
{
#ifdef Q_OS_WIN
    return QDir::toNativeSeparators(QDir::tempPath());
#else
    const QString set = qEnvironmentVariable("TMPDIR");
    return set.isEmpty() ? QStringLiteral("/tmp") : set;
#endif
}

// What is wrong with the folder for temporary files, in words; empty when nothing is to be seen.
// QTemporaryDir and QFile name no folder, and give the system's English reason, or "Unknown error"
// for a folder that does not exist.
QString temporaryFolderFault(qint64 needed)
{
    const QString folder = QDir::tempPath();
    const QFileInfo info(temporaryFolder());
    if (folder.isEmpty() || !info.exists())
        return QStringLiteral("fehlt");
    if (!info.isDir())
        return QStringLiteral("ist kein Ordner");
    if (!info.isWritable())
        return QStringLiteral("ist für diesen Benutzer nicht beschreibbar");
    const QStorageInfo storage(folder);
    if (storage.isReadOnly())
        return QStringLiteral("liegt auf einem schreibgeschützten Dateisystem");
    // A new file takes at least a block, and a folder for it another.
    if (storage.isValid() && storage.bytesAvailable() < needed + 2 * qMax(storage.blockSize(), 4096))
        return QStringLiteral("ist voll");
    return {};
}

// `failure` is the first half of a sentence, ending before the colon.
QString temporaryFolderMessage(const QString &failure, const QString &fault)
{
#ifdef Q_OS_WIN
    const QString variable = QStringLiteral("TMP und TEMP");
#else
    const QString variable = QStringLiteral("TMPDIR");
#endif
    return QStringLiteral("%1: der Ordner für temporäre Dateien %2 %3 (festgelegt durch %4).")
        .arg(failure, temporaryFolder(), fault, variable);
}

QString noWorkingCopy(const QString &origin)
{
    return QStringLiteral("Für %1 kann keine Arbeitskopie angelegt werden").arg(origin);
}

// The folder of the working copy, below the folder for temporary files.
QString workingFolderTemplate(const QString &origin)
{
    const QString folder = QDir::tempPath();
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
        const QString fault = temporaryFolderFault(0);
        throw HostError(temporaryFolderMessage(
            noWorkingCopy(origin), fault.isEmpty() ? QStringLiteral("ist nicht benutzbar") : fault));
    }
    return QDir(folder).filePath(QStringLiteral("ordovant-XXXXXX"));
}

} // namespace

IniSnapshot::IniSnapshot(const QByteArray &content, const QString &origin)
    : m_origin(origin), m_directory(workingFolderTemplate(origin)),
      m_path(m_directory.filePath(QStringLiteral("kopie.ini")))
{
    // QSettings reads past a byte order mark, as Notepad writes it, but its save then fails with a
    // format error; the mark means nothing to it, so the copy goes without.
    const QByteArrayView text = TextFile::withoutByteOrderMark(content);
    QFile copy(m_path);
    if (!m_directory.isValid() || !copy.open(QIODevice::WriteOnly) ||
        copy.write(text.data(), text.size()) != text.size() || !copy.flush()) {
        if (const QString fault = temporaryFolderFault(text.size()); !fault.isEmpty())
            throw HostError(temporaryFolderMessage(noWorkingCopy(m_origin), fault));
        const QString reason = m_directory.isValid() ? copy.errorString() : m_directory.errorString();
        throw HostError(QStringLiteral("%1: %2").arg(noWorkingCopy(m_origin), reason));
    }
    copy.close();
    m_settings = std::make_unique<QSettings>(m_path, QSettings::IniFormat);
    checkStatus();
}

void IniSnapshot::checkStatus() const
{
    switch (m_settings->status()) {
    case QSettings::NoError:
        return;
    case QSettings::AccessError:
        // The working copy is written in the folder for temporary files.
        if (const QString fault = temporaryFolderFault(QFileInfo(m_path).size()); !fault.isEmpty())
            throw HostError(temporaryFolderMessage(
                QStringLiteral("Die Datei %1 kann nicht verarbeitet werden").arg(m_origin), fault));
        throw HostError(QStringLiteral("Die Datei %1 kann nicht verarbeitet werden.").arg(m_origin));
    case QSettings::FormatError:
        throw HostError(QStringLiteral("Die Datei %1 ist beschädigt.").arg(m_origin));
    }
}

QByteArray IniSnapshot::save()
{
    m_settings->sync();
    checkStatus();
    QFile saved(m_path);
    if (!saved.open(QIODevice::ReadOnly))
        throw HostError(QStringLiteral("Die Arbeitskopie von %1 kann nicht gelesen werden.").arg(m_origin));
    return saved.readAll();
}

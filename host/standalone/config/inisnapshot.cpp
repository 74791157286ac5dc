#include "inisnapshot.h"

#include "byteordermark.h"
#include "host/hosterror.h"

#include <QDir>
#include <QFile>

IniSnapshot::IniSnapshot(const QByteArray &content, const QString &origin)
    : m_origin(origin), m_directory(QDir(QDir::tempPath()).filePath(QStringLiteral("ordovant-XXXXXX"))),
      m_path(m_directory.filePath(QStringLiteral("kopie.ini")))
{
    // QSettings reads past a byte order mark, as Notepad writes it, but its save then fails with a
    // format error; the mark means nothing to it, so the copy goes without.
    const QByteArrayView text = IniFile::withoutByteOrderMark(content);
    QFile copy(m_path);
    if (!m_directory.isValid() || !copy.open(QIODevice::WriteOnly) ||
        copy.write(text.data(), text.size()) != text.size() || !copy.flush())
        throw HostError(QStringLiteral("Für %1 kann keine Arbeitskopie angelegt werden: %2")
                            .arg(m_origin, copy.errorString()));
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

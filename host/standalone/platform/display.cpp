#include "display.h"

#include <QGuiApplication>
#include <QScreen>

namespace {

const QString Offscreen = QStringLiteral("offscreen");

QString &recordedMissing()
{
    static QString missing;
    return missing;
}

// What the command line or QT_QPA_PLATFORM asks for, the way Qt reads them: the last "-platform" (or
// "--platform") with a value wins over the variable. `source` gets where it came from.
QString askedPlatforms(const QStringList &arguments, QString &source)
{
    QString asked = qEnvironmentVariable("QT_QPA_PLATFORM");
    source = QStringLiteral("QT_QPA_PLATFORM");
    for (qsizetype i = 1; i + 1 < arguments.size(); ++i) {
        if (arguments[i] == QLatin1String("-platform") || arguments[i] == QLatin1String("--platform")) {
            asked = arguments[++i];
            source = QStringLiteral("-platform");
        }
    }
    return asked;
}

QString nameOf(const QString &entry)
{
    return entry.section(u':', 0, 0).trimmed();
}

} // namespace

SessionDisplay::SessionDisplay(const QStringList &arguments)
{
    QString source;
    QStringList entries = askedPlatforms(arguments, source).split(u';', Qt::SkipEmptyParts);
    for (QString &entry : entries)
        entry = entry.trimmed();
    entries.removeAll(QString());
    if (entries.isEmpty())
        entries = DisplayPlatform::byDefault();
    if (nameOf(entries.first()) == Offscreen) {
        m_offscreenAsked = true;
        m_windowSystems = {entries.first()};
        return;
    }
    const QStringList allowed = DisplayPlatform::allowed();
    for (const QString &entry : std::as_const(entries)) {
        const QString name = nameOf(entry);
        // Tried last anyway, as the run without a window system.
        if (name == Offscreen)
            continue;
        if (!allowed.contains(name)) {
            m_leftOut << QStringLiteral("\"%1\" aus %2 ist kein Fenstersystem, das dieses Programm nutzt "
                                        "(zugelassen: %3)")
                             .arg(name, source, allowed.join(QStringLiteral(", ")));
            continue;
        }
        if (const QString why = DisplayPlatform::cannotStart(name); !why.isEmpty()) {
            m_leftOut << why;
            continue;
        }
        m_windowSystems << entry;
    }
}

QString SessionDisplay::platformList() const
{
    if (m_offscreenAsked)
        return m_windowSystems.join(u';');
    return (m_windowSystems + QStringList{Offscreen}).join(u';');
}

QString SessionDisplay::missing() const
{
    if (m_offscreenAsked)
        return {};
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return whyNone();
    // "offscreen" as the last resort, or on Windows a platform the command line forced on Qt.
    const QString started = QGuiApplication::platformName();
    if (!DisplayPlatform::allowed().contains(started))
        return whyNone();
    if (!QGuiApplication::primaryScreen())
        return QStringLiteral("das Fenstersystem \"%1\" hat keinen Bildschirm (%2)")
            .arg(started, DisplayPlatform::session());
    return {};
}

QString SessionDisplay::whyNone() const
{
    QStringList why = m_leftOut;
    if (!m_windowSystems.isEmpty() || why.isEmpty()) {
        QStringList tried;
        for (const QString &entry : m_windowSystems)
            tried << nameOf(entry);
        why << QStringLiteral("kein Fenstersystem ließ sich starten (versucht: %1; %2)")
                   .arg(tried.isEmpty() ? QStringLiteral("keines") : tried.join(QStringLiteral(", ")),
                        DisplayPlatform::session());
    }
    return why.join(QStringLiteral("; "));
}

void SessionDisplay::record(const QString &missing)
{
    recordedMissing() = missing;
}

QString SessionDisplay::recorded()
{
    return recordedMissing();
}

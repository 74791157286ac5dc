#include "hostlog.h"

#include <QDateTime>
#include <QFile>

#include <cstdio>

namespace {

// A report must stay one line, whatever the message holds.
QString oneLine(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    text.replace(u'\n', u' ');
    text.replace(u'\r', u' ');
    return text;
}

} // namespace

QString HostLog::line(const QString &terminal, const QString &label, const QString &message)
{
    return QStringLiteral("%1 %2 %3: %4")
        .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")), oneLine(terminal),
             oneLine(label), oneLine(message));
}

void HostLog::write(const QString &terminal, const QString &label, const QString &message,
                    bool toStandardError) const noexcept
{
    try {
        const QByteArray text = (line(terminal, label, message) + u'\n').toUtf8();
        QFile file(m_path);
        if (file.open(QIODevice::WriteOnly | QIODevice::Append))
            file.write(text);
        if (toStandardError) {
            std::fputs(text.constData(), stderr);
            std::fflush(stderr);
        }
    } catch (...) {
        // The log is the last resort of error reporting: a failure here has nowhere to go.
    }
}

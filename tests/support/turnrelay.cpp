#include "turnrelay.h"

#include <QStringList>

namespace {

constexpr int AnswerWithinMs = 15000;

QString readLine(QProcess &process)
{
    while (!process.canReadLine()) {
        if (!process.waitForReadyRead(AnswerWithinMs))
            return {};
    }
    return QString::fromLatin1(process.readLine()).trimmed();
}

} // namespace

TurnRelay::TurnRelay(const QString &server)
{
    const QStringList to = server.startsWith(u'/')
                               ? QStringList{QStringLiteral("--to-socket"), server}
                               : QStringList{QStringLiteral("--to"), QStringLiteral("127.0.0.1:") + server};
    m_process.start(QStringLiteral(TURN_PROXY),
                    to + QStringList{QStringLiteral("--seconds"), QStringLiteral("600")});
    const QStringList words = readLine(m_process).split(u' ');
    if (words.size() == 2 && words.first() == QLatin1String("port"))
        m_port = words.last();
}

TurnRelay::~TurnRelay()
{
    m_process.closeWriteChannel();
    if (!m_process.waitForFinished(AnswerWithinMs))
        m_process.kill();
}

int TurnRelay::turns()
{
    m_process.write("report\n");
    // "turns T connections C open O"
    const QStringList words = readLine(m_process).split(u' ');
    if (words.size() != 6 || words.at(0) != QLatin1String("turns") || words.at(5) != QLatin1String("0"))
        return -1;
    bool ok = false;
    const int turns = words.at(1).toInt(&ok);
    return ok ? turns : -1;
}

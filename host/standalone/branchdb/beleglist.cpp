#include "beleglist.h"

#include "host/hosterror.h"

#include <algorithm>
#include <limits>

void BelegList::setBelege(QVector<Beleg> belege)
{
    QVector<qint64> rowEnds;
    rowEnds.reserve(belege.size());
    qint64 rows = 0;
    for (const Beleg &beleg : std::as_const(belege)) {
        rows += std::max<qint64>(beleg.anzahl, 0);
        rowEnds.append(rows);
    }
    // The list's interface counts rows in int.
    if (rows > std::numeric_limits<int>::max())
        throw HostError(
            QStringLiteral("Die Belegliste hätte %1 Zeilen, mehr als sie fassen kann.").arg(rows));
    m_belege = std::move(belege);
    m_rowEnds = std::move(rowEnds);
    m_abgelaufenShown = false;
}

const Beleg &BelegList::belegAt(int row) const
{
    if (row < 0 || row >= GetRowCount())
        throw HostError(QStringLiteral("Die Belegliste hat keine Zeile %1 (%2 Zeilen).")
                            .arg(QString::number(row), QString::number(GetRowCount())));
    const auto end = std::upper_bound(m_rowEnds.cbegin(), m_rowEnds.cend(), qint64(row));
    return m_belege[end - m_rowEnds.cbegin()];
}

bool BelegList::GetCellValueAsBoolean(int row, int column) const
{
    const Beleg &beleg = belegAt(row);
    switch (column) {
    case 1:
        return beleg.filiale != 0;
    case 2:
        return beleg.art != 0;
    case 3:
        return beleg.hatAblaufdatum;
    case 0:
    case 4:
    case 5:
    case 6:
    case 7:
        return false;
    case AbgelaufenColumn:
        return m_abgelaufenShown && beleg.abgelaufen;
    default:
        throw HostError(QStringLiteral("Die Belegliste hat keine Spalte %1.").arg(column));
    }
}

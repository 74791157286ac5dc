#include "beleglist.h"

#include "host/hosterror.h"

void BelegList::setBelege(QVector<Beleg> belege)
{
    m_belege = std::move(belege);
    m_abgelaufenShown = false;
}

void BelegList::checkRow(int row) const
{
    if (row < 0 || row >= m_belege.size())
        throw HostError(
            QStringLiteral("Die Belegliste hat keine Zeile %1 (%2 Zeilen).").arg(row).arg(m_belege.size()));
}

bool BelegList::GetCellValueAsBoolean(int row, int column) const
{
    checkRow(row);
    const Beleg &beleg = m_belege[row];
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

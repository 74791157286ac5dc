#pragma once

#include "branchdatabase.h"
#include "host/vrlist.h"

#include <QVector>

// The document list of the standalone document selection, a row per document. Columns: 1 branch,
// 2 kind, 3 expiry date, 8 expired; 0 (the id) and 4 to 7 are fields the branch database does not
// keep (read as false).
class BelegList final : public TVRList
{
public:
    static constexpr int ColumnCount = 9;
    static constexpr int AbgelaufenColumn = 8;

    // The documents as loaded, with their expiry worked out; column 8 reads false until shown.
    void setBelege(QVector<Beleg> belege);
    void showAbgelaufen() { m_abgelaufenShown = true; }

    int GetRowCount() const override { return m_rowEnds.isEmpty() ? 0 : int(m_rowEnds.last()); }
    bool GetCellValueAsBoolean(int row, int column) const override;

private:
    const Beleg &belegAt(int row) const;

    QVector<Beleg> m_belege;
    // The row after the last of each entry of m_belege: an entry stands for `anzahl` rows.
    QVector<qint64> m_rowEnds;
    bool m_abgelaufenShown = false;
};

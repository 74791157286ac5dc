#pragma once

#include <QListWidget>
#include <QString>
#include <QStringList>

// A check list written as text: "A B+ C" holds three items whose attached codes are A, B and C, in
// this order; "+" marks a checked item. Items are made as the options dialog makes them.
inline void fillCheckList(QListWidget &list, const QString &text)
{
    list.clear();
    const QStringList tokens = text.split(u' ', Qt::SkipEmptyParts);
    for (const QString &token : tokens) {
        const bool checked = token.endsWith(u'+');
        const QString code = checked ? token.chopped(1) : token;
        auto *item = new QListWidgetItem(QStringLiteral("Eintrag ") + code, &list);
        item->setData(Qt::UserRole, code);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
    }
}

inline QString checkListText(const QListWidget &list)
{
    QStringList tokens;
    for (int row = 0; row < list.count(); ++row) {
        const QListWidgetItem *item = list.item(row);
        tokens << item->data(Qt::UserRole).toString() + (item->checkState() == Qt::Checked ? "+" : "");
    }
    return tokens.join(u' ');
}

// The row of the selected item, -1 when none is selected.
inline int selectedRow(const QListWidget &list)
{
    const QList<QListWidgetItem *> selected = list.selectedItems();
    return selected.isEmpty() ? -1 : list.row(selected.first());
}

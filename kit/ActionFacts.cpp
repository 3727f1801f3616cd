#include "kit/ActionFacts.h"

#include <QAbstractItemView>
#include <QItemSelectionModel>

#include <algorithm>

int SelectionSize(const QItemSelectionModel *selection)
{
    if (!selection)
        return 0;
    int rows = 0;
    for (const QItemSelectionRange &range : selection->selection()) {
        // Ranges of one row in several columns count once; ranges never overlap.
        if (range.left() != 0)
            continue;
        rows += range.height();
        if (rows > 1)
            return 2;
    }
    return rows;
}

std::vector<int> SelectedRows(const QItemSelectionModel *selection)
{
    std::vector<int> rows;
    if (!selection)
        return rows;
    for (const QItemSelectionRange &range : selection->selection())
        for (int r = range.top(); r <= range.bottom(); ++r)
            rows.push_back(r);
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

int FirstSelectedRow(const QItemSelectionModel *selection)
{
    int first = -1;
    if (selection)
        for (const QItemSelectionRange &range : selection->selection())
            if (first < 0 || range.top() < first)
                first = range.top();
    return first;
}

#include "app/forms/ActionFacts.h"

#include "catalogue/ChannelTree.h"

#include <QAbstractItemView>
#include <QItemSelectionModel>

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

ChannelNode *SelectedNode(const QAbstractItemView *view, const ChannelTree &tree)
{
    const QItemSelectionModel *selection = view ? view->selectionModel() : nullptr;
    if (!selection || selection->model() != &tree)
        return nullptr;
    const QItemSelection ranges = selection->selection();
    for (const QItemSelectionRange &range : ranges)
        if (range.isValid())
            return tree.nodeFromIndex(range.topLeft());
    return nullptr;
}

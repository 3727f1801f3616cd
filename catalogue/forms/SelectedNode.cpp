#include "catalogue/forms/SelectedNode.h"

#include "catalogue/ChannelTree.h"

#include <QAbstractItemView>
#include <QItemSelectionModel>

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

#pragma once

#include <vector>

class ChannelNode;
class QItemSelectionModel;

// The cheap facts that every action's enabled state is computed from, gathered once per
// pass when some state has changed.
struct ActionFacts
{
    const ChannelNode *node = nullptr; // the selected tree node
    int headerSelection = 0;           // selected header rows: 0, 1 or 2 meaning "many"
    int headerRows = 0;
    int treeCount = 0;
    bool archiveView = false;
    bool syncAllRunning = false;
    bool updateBusy = false;
};

// 0, 1 or 2 ("more than one"), summed over the selection's ranges: no list of rows is built,
// so a selection of 100,000 rows costs as little as one of a single row.
int SelectionSize(const QItemSelectionModel *selection);

// The selected rows in list order, and the first of them (-1 when none), read from the
// selection's ranges.
std::vector<int> SelectedRows(const QItemSelectionModel *selection);
int FirstSelectedRow(const QItemSelectionModel *selection);

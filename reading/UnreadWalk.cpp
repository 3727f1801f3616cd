#include "reading/UnreadWalk.h"

#include "catalogue/ChannelTree.h"

std::vector<UnreadStop> ChannelsFrom(const ChannelTree &tree, const ChannelNode *from,
                                     bool forward)
{
    const QList<ChannelNode *> nodes = tree.nodesInPreOrder();
    const int n = int(nodes.size());
    int start = tree.absoluteIndex(from);
    if (start < 0)
        start = forward ? -1 : n;
    std::vector<UnreadStop> stops;
    // Every node once, beginning after `from`; `from` itself comes last.
    for (int step = 1; step <= n; ++step) {
        const int raw = forward ? start + step : start - step;
        const bool wrapped = raw < 0 || raw >= n;
        const int at = ((raw % n) + n) % n;
        ChannelNode *node = nodes.at(at);
        if (node->isChannel())
            stops.push_back({node, wrapped});
    }
    return stops;
}

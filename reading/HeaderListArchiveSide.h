#pragma once

// The archive's part in the header list, which shows archive rows in the same list. The
// archive controller implements it and hands it to the header-list controller.
class IHeaderListArchiveSide
{
public:
    virtual ~IHeaderListArchiveSide() = default;
    // True while the list shows archive rows (the archive query is open).
    virtual bool archiveViewShown() const = 0;
    // A channel is about to be shown: the archive view ends (the query closes).
    virtual void closeArchiveView() = 0;
    // The filter changed in the archive view: show the whole archive when "Całe archiwum" is
    // ticked, else the archive of the channel selected in the archive channel list.
    virtual void refillArchive() = 0;
};

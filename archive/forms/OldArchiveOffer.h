#pragma once

#include <QString>

class ArchiveStore;
class IMessageBoxes;
class QWidget;

// Tells the user, once, that the older program's archive was moved to `movedFile` and the
// program starts with an empty archive. Where `mdbExport` (mdbtools) is given, the message
// asks whether to copy the old rows in, and does so when the answer is Yes; a failed copy
// adds nothing and says why.
void OfferOldArchive(const QString &movedFile, const QString &mdbExport, ArchiveStore &store,
                     IMessageBoxes &boxes, QWidget *window);

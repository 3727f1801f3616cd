#pragma once

#include <QString>

class XmlDocument;

// The updater's view of the channel on show: the document that holds its cache file, with
// the rules for writing it back and for reloading it once the file has been replaced.
class IShownDocument
{
public:
    virtual ~IShownDocument() = default;
    virtual XmlDocument &document() = 0;
    // The read marks go back to the file before anything else reads it; a failure costs
    // only those marks and is not raised.
    virtual void writeBack() = 0;
    // The file `cacheFile` is about to be replaced: when it is the one on show, the
    // document lets go of it.
    virtual void beginReplace(const QString &cacheFile) = 0;
    // `cacheFile` was replaced or the attempt has ended: when it is on show, the document
    // reads it again and listeners refresh. Never raises.
    virtual void endReplace(const QString &cacheFile) = 0;
};

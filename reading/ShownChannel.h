#pragma once

#include "sync/ShownDocument.h"

#include <QObject>

#include <memory>

// The channel on show: the one shared document `xmlDocument` that holds its cache file
// while the header list and the item view read it and the read marks change it. It is
// written back when another channel is shown, at the end of a fill, before an update and
// at closing. It also reads the tree file once at start-up.
class ShownChannel : public QObject, public IShownDocument
{
    Q_OBJECT
public:
    explicit ShownChannel(QObject *parent = nullptr);
    ~ShownChannel() override;

    XmlDocument &document() override { return *m_document; }
    const XmlDocument &document() const { return *m_document; }
    // True when `cacheFile` is the file on show.
    bool shows(const QString &cacheFile) const;

    void writeBack() override;
    void beginReplace(const QString &cacheFile) override;
    void endReplace(const QString &cacheFile) override;

signals:
    // True while the file on show is being replaced (the header list is disabled), false
    // once it has been read again.
    void replacing(bool replacing);
    // The file on show was read again: the item view refreshes.
    void reloaded();

private:
    std::unique_ptr<XmlDocument> m_document;
};

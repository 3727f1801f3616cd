#include "reading/ShownChannel.h"

#include "reading/ReadingLog.h"
#include "xml/XmlDocument.h"

#include <exception>

ShownChannel::ShownChannel(QObject *parent)
    : QObject(parent), m_document(std::make_unique<XmlDocument>())
{
}

ShownChannel::~ShownChannel() = default;

bool ShownChannel::shows(const QString &cacheFile) const
{
    return !cacheFile.isEmpty() && m_document->fileName() == cacheFile;
}

void ShownChannel::writeBack()
{
    if (!m_document->active())
        return;
    try {
        m_document->save();
    } catch (const std::exception &e) {
        qCWarning(lcReading, "writing back the channel on show: %s", e.what());
    }
}

void ShownChannel::beginReplace(const QString &cacheFile)
{
    if (!shows(cacheFile))
        return;
    m_document->setActive(false);
    emit replacing(true);
}

void ShownChannel::endReplace(const QString &cacheFile)
{
    if (!shows(cacheFile))
        return;
    emit replacing(false);
    try {
        m_document->setActive(true);
        emit reloaded();
    } catch (const std::exception &e) {
        // The header list shows what it can; the next selection reads the file again.
        qCWarning(lcReading, "reading the channel on show again: %s", e.what());
    }
}

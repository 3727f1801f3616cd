#pragma once

#include "archive/ArchiveRecord.h"

#include <QString>

// A stored row with every text field distinct, for checking that each lands in its column.
inline ArchiveRecord archiveRow(const QString &guid, const QString &channelGuid,
                                const QString &title, const QString &description = QString(),
                                const QString &channelName = QStringLiteral("Kanał"))
{
    ArchiveRecord r;
    r.sGUID = guid;
    r.sChGUID = channelGuid;
    r.sTitle = title;
    r.sDescription = description;
    r.sAuthor = QStringLiteral("Autor ") + title;
    r.sDate = QStringLiteral("2024-03-01");
    r.sLink = QStringLiteral("http://example.org/") + guid;
    r.sChannelName = channelName;
    r.sChannelLink = QStringLiteral("http://example.org/");
    r.sChannelImage = QStringLiteral("http://example.org/logo.png");
    return r;
}

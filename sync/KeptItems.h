#pragma once

#include <QDate>
#include <QSet>
#include <QString>

class XmlDocument;

// Items a channel has dropped from its document, kept in its cache file with their read
// marks until they are `days` old: their date (pubDate or dc:date) tells their age, and an
// item without one counts from the day it was first kept, which it carries in its
// attribute "dropped" (yyyy-MM-dd).
//
// Appends to the element that holds the items of `document` (the channel's new document) a
// copy of every item of the old cache file `oldFile` whose title, compared without regard
// to letter case, is not in `presentTitles` (case-folded) and that is younger than `days`
// on `today`. Each gets a fresh GUID. Gives the number kept; an old file that cannot be read keeps none and
// raises nothing.
int KeepDroppedItems(const QString &oldFile, XmlDocument &document,
                     const QSet<QString> &presentTitles, int days, const QDate &today);

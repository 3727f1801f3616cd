#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The channel a web page announces: the first <link rel="alternate"> in document order
// whose type is RSS, RDF, Atom or JSON Feed, its href resolved against the page's <base>
// and address. Only http and https results count; empty when the page announces none.
QString DiscoverFeedAddress(const QByteArray &page, const QString &pageAddress);

// The icons a web page names for its site, best first: <link rel="icon"> (also "shortcut
// icon") in document order, then "apple-touch-icon", resolved as above; vector pictures are
// left out. Empty when the page names none.
QStringList DiscoverIconAddresses(const QByteArray &page, const QString &pageAddress);

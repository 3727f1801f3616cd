#pragma once

#include <QByteArray>
#include <QString>

// The channel a web page announces: the first <link rel="alternate"> in document order
// whose type is RSS, RDF, Atom or JSON Feed, its href resolved against the page's <base>
// and address. Only http and https results count; empty when the page announces none.
QString DiscoverFeedAddress(const QByteArray &page, const QString &pageAddress);

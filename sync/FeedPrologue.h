#pragma once

#include <QByteArray>

// Prepares a downloaded channel document for the cache: puts `<?xml version="1.0"?>` in
// front when it has no "<?xml" anywhere, then inserts the style-sheet instruction right
// after the first "?>". A document that starts with a UTF-16 byte-order mark is edited in
// UTF-16 of the same byte order; anything else byte for byte (a UTF-8 byte-order mark stays
// first).
QByteArray InsertStyleSheetInstruction(const QByteArray &document);

extern const char *const kStyleSheetInstruction;

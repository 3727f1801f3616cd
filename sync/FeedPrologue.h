#pragma once

#include <QByteArray>

// Prepares a downloaded channel document for the cache: inserts the style-sheet instruction
// right after the XML declaration at the very start of the document, or puts
// `<?xml version="1.0"?>` and the instruction in front when the document does not start with
// a declaration. The feed's own style-sheet instructions, which then come after this one, are
// the caller's to drop once the document is parsed. A document that starts with a UTF-16
// byte-order mark is edited in UTF-16 of the same byte order; anything else byte for byte (a
// UTF-8 byte-order mark stays first).
QByteArray InsertStyleSheetInstruction(const QByteArray &document);

extern const char *const StyleSheetInstruction;

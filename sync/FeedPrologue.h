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

// A downloaded document read from its file with room in front of it, so that the
// style-sheet instruction goes in where it belongs without moving the document: only the
// XML declaration, a few dozen bytes, moves aside. An 8 MB channel is thus read once into one
// buffer sized up front, rather than copied and shifted.
class FeedBuffer
{
public:
    // False when the file cannot be read.
    bool read(const QString &path);
    // The document as it stands: as read, as replaced, or with the instruction. A view into
    // the buffer, valid until the next call that changes it.
    QByteArray text() const;
    // Another document instead, such as the RSS that Atom was converted to.
    void replace(const QByteArray &document);
    // InsertStyleSheetInstruction's result, in place for 8-bit documents.
    void insertStyleSheetInstruction();
    void clear();

private:
    QByteArray m_buffer;
    qsizetype m_begin = 0; // where the document starts in the buffer
    qsizetype m_size = 0;
};

extern const char *const StyleSheetInstruction;

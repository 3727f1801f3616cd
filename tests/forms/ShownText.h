#pragma once

#include <QLabel>
#include <QString>
#include <QTextDocument>

// What a label or a tool tip shows of its text: Qt reads a text that looks like markup as
// rich text unless it is told the text is plain.
inline QString ShownText(const QString &text, Qt::TextFormat format = Qt::AutoText)
{
    if (format == Qt::PlainText || (format == Qt::AutoText && !Qt::mightBeRichText(text)))
        return text;
    QTextDocument document;
    document.setHtml(text);
    return document.toPlainText();
}

inline QString ShownText(const QLabel *label)
{
    return ShownText(label->text(), label->textFormat());
}

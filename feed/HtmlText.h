#pragma once

#include <QString>

// Item texts as a browser reads them. An item's description is HTML, but many channels
// send text without a single tag (WordPress excerpts, converted Atom text); the item view
// and the find must agree on which is which, so both use these.
namespace HtmlText {

// True when the text holds markup as a browser's tokenizer reads it: a "<" followed by an
// ASCII letter, "/", "!" or "?". "3 < 5" is text; "<p>" and "<!-- -->" are markup.
bool HasMarkup(const QString &text);

// Character references ("&#8222;", "&#x201E;") and the HTML entities ("&quot;", "&hellip;")
// replaced by their characters, as a browser shows them. Anything else stays as it is, so a
// lone "&" is kept.
QString DecodeReferences(const QString &text);

// What the reader sees of a description: for markup, the text with tags, comments, scripts
// and styles left out; references decoded; blanks folded to single spaces.
QString VisibleText(const QString &description);

// Whether the visible text of `description` holds `keyword`, letter case ignored and runs
// of blanks taken as one. A keyword of blanks only is found in every text.
bool VisibleTextContains(const QString &description, const QString &keyword);

// HTML with the relative addresses of its links, pictures and media (href, src, poster,
// srcset) resolved against `base`; everything else is left byte for byte. `html` itself
// when `base` is empty.
QString ResolveAddresses(const QString &html, const QString &base);

// `text` for a tool tip, where Qt reads anything that looks like markup as rich text: shown
// as it stands, tags and all, on one line per line of the text.
QString PlainToolTip(const QString &text);

} // namespace HtmlText

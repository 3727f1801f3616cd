#pragma once

#include <QString>
#include <QUrl>

// Links of items handed to the desktop. Items are hostile input: only web pages and mail
// addresses go to the system, never a file, a script or another program's scheme.
bool IsOpenableLink(const QUrl &url);
// An item's link as the address to hand to the desktop: what a browser would percent-encode
// (blanks, "|", "^", "{}", a "%" that starts no escape) is encoded, blanks around it are
// dropped. Empty when the link is no http, https or mailto address.
QUrl OpenableLink(const QString &link);
// A new message for the user's mail program: no recipient, the item's title as subject and
// its link as body, percent-encoded so that "&", "?" and "#" stay text.
QUrl MailtoUrl(const QString &subject, const QString &body);

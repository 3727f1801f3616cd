#pragma once

#include <QString>

#include <stdexcept>

class ChannelNode;
class ChannelTree;

// Raised for a file that is not an OPML outline list; the message says why, in Polish, for
// the user.
class OpmlError : public std::runtime_error
{
public:
    explicit OpmlError(const QString &message) : std::runtime_error(message.toStdString()) {}
    QString message() const { return QString::fromStdString(what()); }
};

struct OpmlImportResult
{
    int channels = 0;   // channels added
    int groups = 0;     // groups added
    int duplicates = 0; // addresses already subscribed (or twice in the file), skipped
    int notChannels = 0; // addresses no channel can have (javascript:, file:, relative ...), skipped
};

// Adds the outlines of an OPML file (1.0 or 2.0, as other readers write it) under `parent`:
// an outline with an http or https xmlUrl becomes a channel (enabled, alerts on, a new GUID;
// any other address is skipped, its children still come in), one without
// becomes a group; nesting is kept to any depth. The whole file is read before the tree is
// touched, so a bad file changes nothing. Raises OpmlError.
OpmlImportResult ImportOpml(const QString &file, ChannelTree &tree, ChannelNode *parent);

// The whole tree as OPML 2.0: the root's name as the title, groups as outlines, channels as
// type="rss" outlines. Credentials are never written. Replaces `file` atomically. Raises
// FileError.
void ExportOpml(const ChannelTree &tree, const QString &file);
// The bytes ExportOpml writes.
QByteArray OpmlBytes(const ChannelTree &tree);

// The user's message after an import.
QString OpmlImportSummary(const OpmlImportResult &result);

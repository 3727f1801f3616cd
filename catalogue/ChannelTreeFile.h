#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>

class ChannelNode;
class ChannelTree;
class XmlDocument;

struct TreeLoadResult
{
    // false: the file is missing or is not well-formed XML; nothing was loaded and the
    // tree is as it was.
    bool ok = false;
    QString error;
    // Entries that broke the file's rules and how each was kept (one line each).
    QStringList warnings;
};

// Replaces the tree's content by the tree file at `path`, read through `xmlDocument` (which
// holds the file afterwards, or nothing after a failure). `status` gets the status-bar
// texts. Pending events are processed before each entry. Raises nothing.
TreeLoadResult LoadChannelTree(ChannelTree &tree, XmlDocument &xmlDocument, const QString &path,
                               const std::function<void(const QString &)> &status = {});

// Writes the whole tree to `path` as UTF-16 LE with a byte-order mark, replacing the file
// atomically and leaving it readable by the user alone. Raises FileError.
void SaveChannelTree(const ChannelTree &tree, const QString &path);
// Moves a tree file that could not be loaded aside, to "<path>.damaged-<yyyy-MM-dd>" (with
// "-2", "-3"... when that name is taken), so that its channels can still be recovered by
// hand before the default tree takes its place. Gives the new name; empty when there was no
// file or it could not be moved.
QString KeepDamagedTreeFile(const QString &path);
// The file's bytes as SaveChannelTree writes them.
QByteArray ChannelTreeFileBytes(const ChannelTree &tree);

// The text of one block, lines joined by CR LF, without the final line end; a group's text
// ends with CR LF, which gives the empty line after it.
QString WriteGroupNode(const ChannelTree &tree, const ChannelNode *node);
QString WriteChannelNode(const ChannelTree &tree, const ChannelNode *node);

// `lastupdate` as the file holds it: "yyyy-MM-dd HH:mm:ss", only the date at exactly
// midnight, empty for a null value.
QString LastUpdateToText(const QDateTime &value);
// Reads that form, and also the system's and Polish regional short date + long time forms
// and ISO 8601; a null QDateTime for a text that none of them converts.
QDateTime LastUpdateFromText(const QString &text);

#pragma once

#include <QString>

// The Tiny Tiny RSS account the program keeps its subscriptions and read marks with. It is
// kept in a file of its own, readable by the user alone, as the channels' passwords are.
struct AccountSettings
{
    QString server; // the address of tt-rss itself, e.g. "https://example.org/tt-rss/"
    QString user;
    QString password;

    // An account is used once its address and user are given.
    bool isSet() const { return !server.trimmed().isEmpty() && !user.trimmed().isEmpty(); }
    // The group of the tree that holds the account's channels: "user@host".
    QString groupName() const;

    // A missing or unreadable file reads as no account.
    static AccountSettings read(const QString &path);
    // Replaces the file once the new content is written in full. Raises FileError.
    void write(const QString &path) const;

    bool operator==(const AccountSettings &o) const
    {
        return server == o.server && user == o.user && password == o.password;
    }
};

#pragma once

#include <QString>
#include <QStringList>

// What the program was asked to do on its command line. The first argument chooses a tool
// ("--check-tree", "--fetch", "--sync"), the help or the version; otherwise the window
// starts, hidden with "hid" as the first argument, and an address among the arguments is
// handed to the new channel wizard.
struct CommandLine
{
    enum class Mode { Window, Help, Version, UsageError, CheckTree, Fetch, Sync,
                      ImportOpml, ExportOpml };

    Mode mode = Mode::Window;
    bool startHidden = false;   // first argument exactly "hid"
    QString subscribeAddress;   // an http(s) or feed: address to subscribe to
    QString badArgument;        // for UsageError: the argument that was not understood
    QStringList toolArguments;  // for the tools: the arguments after the tool's name
};

// `args` without the program name. Qt's own window options (-platform, -style, ...) are
// left to Qt.
CommandLine ParseCommandLine(const QStringList &args);
// The same for a program's main(): its arguments after the program's name.
CommandLine ParseCommandLine(int argc, char **argv);

// The address a user handed over, as the program fetches it: "feed://host/x" and
// "feed:https://host/x" become plain http(s) addresses. Empty when `text` is no http, https
// or feed address with a host.
QString SubscribeAddressFrom(const QString &text);

// The help of `kolvani --help`: one line for each parameter and command, in Polish.
QString CommandLineHelp();

// "Kolvani " + the version, as `kolvani --version` prints it.
QString VersionText();

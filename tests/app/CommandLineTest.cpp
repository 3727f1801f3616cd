#include "app/CommandLine.h"
#include "support/ProgramRun.h"

#include <gtest/gtest.h>

namespace {

CommandLine parse(const QStringList &args)
{
    return ParseCommandLine(args);
}

} // namespace

TEST(CommandLine, ToolsTakeTheArgumentsAfterTheirName)
{
    const CommandLine fetch = parse({"--fetch", "http://a/x", "out.xml", "--user", "jan"});
    EXPECT_EQ(fetch.mode, CommandLine::Mode::Fetch);
    EXPECT_EQ(fetch.toolArguments, QStringList({"http://a/x", "out.xml", "--user", "jan"}));
    // Their own options are theirs to judge, also ones the window does not know.
    EXPECT_EQ(parse({"--check-tree", "t.xml", "--save", "o.xml"}).mode,
              CommandLine::Mode::CheckTree);
    EXPECT_EQ(parse({"--sync", "--whatever"}).mode, CommandLine::Mode::Sync);
    // A tool's name later on the line is not a tool.
    EXPECT_EQ(parse({"hid", "--sync"}).mode, CommandLine::Mode::UsageError);
}

TEST(CommandLine, HelpVersionAndUnknownOptions)
{
    EXPECT_EQ(parse({"--help"}).mode, CommandLine::Mode::Help);
    EXPECT_EQ(parse({"-h"}).mode, CommandLine::Mode::Help);
    EXPECT_EQ(parse({"hid", "--help"}).mode, CommandLine::Mode::Help);
    EXPECT_EQ(parse({"--version"}).mode, CommandLine::Mode::Version);

    const CommandLine bad = parse({"--hid"});
    EXPECT_EQ(bad.mode, CommandLine::Mode::UsageError);
    EXPECT_EQ(bad.badArgument, "--hid");
    EXPECT_EQ(parse({"-x"}).mode, CommandLine::Mode::UsageError);
    EXPECT_EQ(parse({"--platformx"}).mode, CommandLine::Mode::UsageError);

    // Qt's own window options pass, with their values, which are not taken for addresses.
    const CommandLine qt = parse({"-platform", "offscreen", "-style=fusion", "--reverse",
                                  "-qwindowtitle", "http://not.an/address"});
    EXPECT_EQ(qt.mode, CommandLine::Mode::Window);
    EXPECT_TRUE(qt.subscribeAddress.isEmpty());

    EXPECT_TRUE(CommandLineHelp().contains("--fetch ADRES PLIK"));
    EXPECT_TRUE(CommandLineHelp().contains("uruchamia program ukryty"));
    EXPECT_TRUE(VersionText().startsWith("Kolvani "));
}

TEST(CommandLine, HiddenStartAndAddressToSubscribe)
{
    EXPECT_TRUE(parse({"hid"}).startHidden);
    // Only the exact word, first.
    EXPECT_FALSE(parse({"HID"}).startHidden);
    EXPECT_FALSE(parse({"/hid"}).startHidden);
    EXPECT_FALSE(parse({"x", "hid"}).startHidden);
    EXPECT_EQ(parse({"/hid"}).mode, CommandLine::Mode::Window);

    const CommandLine both = parse({"hid", "https://example.org/rss.xml"});
    EXPECT_TRUE(both.startHidden);
    EXPECT_EQ(both.subscribeAddress, "https://example.org/rss.xml");
    EXPECT_EQ(parse({"http://a.pl/f?x=1&y=2"}).subscribeAddress, "http://a.pl/f?x=1&y=2");
}

TEST(CommandLine, OnlyWebAndFeedAddressesAreSubscribed)
{
    EXPECT_EQ(SubscribeAddressFrom("feed://example.org/rss"), "http://example.org/rss");
    EXPECT_EQ(SubscribeAddressFrom("feed:https://example.org/rss"), "https://example.org/rss");
    EXPECT_EQ(SubscribeAddressFrom("FEED://example.org/rss"), "http://example.org/rss");
    EXPECT_EQ(SubscribeAddressFrom(" http://example.org/ "), "http://example.org/");
    for (const char *refused : {"file:///etc/passwd", "javascript:alert(1)", "http://",
                                "example.org/rss", "ftp://example.org/x", "feed:", "",
                                "http://exa mple.org/"})
        EXPECT_TRUE(SubscribeAddressFrom(refused).isEmpty()) << refused;
}

// The built program answers --help, --version and a wrong option without a display.
TEST(CommandLineProcess, HelpVersionAndAWrongOptionNeedNoDisplay)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    const auto run = [&env](const QStringList &args) {
        return runProgram(KolvaniProgram, args, 30000, env);
    };
    ProgramRun help = run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.out, CommandLineHelp());
    for (const char *line : {"hid ", "--sync ", "--fetch ", "--check-tree ", "--version "})
        EXPECT_TRUE(help.out.contains(QLatin1String(line))) << line;

    const ProgramRun version = run({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, VersionText() + "\n");

    const ProgramRun wrong = run({"--bez-sensu"});
    EXPECT_EQ(wrong.exitCode, 2);
    EXPECT_TRUE(wrong.out.isEmpty());
    EXPECT_TRUE(wrong.err.contains("--bez-sensu"));
    EXPECT_TRUE(wrong.err.contains(CommandLineHelp()));
}

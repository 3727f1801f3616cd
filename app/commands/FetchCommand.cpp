#include "app/commands/FetchCommand.h"

#include "base/AppFolder.h"
#include "base/AppSettings.h"
#include "base/SettingsFile.h"
#include "base/UserFolder.h"
#include "app/commands/ConsoleLines.h"
#include "feed/DocumentDownloader.h"
#include "base/ProxySettings.h"
#include "feed/ReportSink.h"

#include <QCoreApplication>
#include <QStandardPaths>
#include <QStringList>

#include <cstdio>
#include <unistd.h>

namespace {

void writeLine(FILE *stream, const QString &text)
{
    WriteConsoleLine(stream, text);
}

// Status texts as lines; on a terminal the transfer shows as a running byte count.
class ConsoleUi : public IDownloadUi
{
public:
    void setStatusText(const QString &text) override
    {
        endProgressLine();
        writeLine(stdout, text);
    }
    void progressBegin(qint64 expectedBytes) override
    {
        m_expected = expectedBytes;
        m_shown = false;
    }
    void progressWork(qint64 bytesSoFar) override
    {
        if (!m_terminal)
            return;
        std::fprintf(stderr, "\r%lld / %lld", static_cast<long long>(bytesSoFar),
                     static_cast<long long>(m_expected));
        std::fflush(stderr);
        m_shown = true;
    }
    void progressEnd() override { endProgressLine(); }

private:
    void endProgressLine()
    {
        if (m_shown)
            std::fputc('\n', stderr);
        m_shown = false;
    }

    const bool m_terminal = isatty(fileno(stderr)) != 0;
    qint64 m_expected = 0;
    bool m_shown = false;
};

class ConsoleReport : public IReportSink
{
public:
    void ReportProblem(const QString &line) override { writeLine(stderr, line); }
};

ProxySettings proxyFromSettingsFile()
{
    const UserFolder folder(
        AppFolderPath(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation),
                      QCoreApplication::applicationDirPath()));
    return AppSettings::read(SettingsFile(folder.configFile())).proxy();
}

int usage()
{
    writeLine(stderr,
              QStringLiteral("Użycie: kolvani --fetch ADRES PLIK [--user NAZWA --password HASŁO]"));
    return 1;
}

} // namespace

int runFetchCommand(const QStringList &args)
{
    QStringList positional;
    QString user;
    // From the environment unless given: a password on the command line is seen by every
    // user of the machine in the process list.
    QString password = qEnvironmentVariable("KOLVANI_PASSWORD");
    for (int i = 0; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        if (arg == QLatin1String("--user") || arg == QLatin1String("--password")) {
            if (i + 1 >= args.size())
                return usage();
            (arg == QLatin1String("--user") ? user : password) = args.at(++i);
        } else if (arg.startsWith(QLatin1String("--user="))) {
            user = arg.mid(7);
        } else if (arg.startsWith(QLatin1String("--password="))) {
            password = arg.mid(11);
        } else if (arg.startsWith(QLatin1String("--"))) {
            return usage();
        } else {
            positional.append(arg);
        }
    }
    if (positional.size() != 2)
        return usage();

    ConsoleUi ui;
    ConsoleReport report;
    DocumentDownloader downloader;
    downloader.setReportSink(&report);
    downloader.setProxyProvider(proxyFromSettingsFile);
    const int result =
        downloader.DownloadDocument(positional.at(0), positional.at(1), &ui, user, password);
    return result == 0 ? 0 : 1;
}

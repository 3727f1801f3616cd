#include "feed/FetchCommand.h"

#include "feed/DocumentDownloader.h"
#include "sync/ReportSink.h"

#include <QFile>
#include <QHash>
#include <QStandardPaths>
#include <QStringList>

#include <cstdio>
#include <unistd.h>

namespace {

void writeLine(FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
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

// The few keys of the settings file this command needs, read the way the program reads
// its INI file: section and key names without regard to case, values trimmed.
class IniValues
{
public:
    explicit IniValues(const QString &path)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
            return;
        QString section;
        const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
        for (const QString &raw : lines) {
            const QString line = raw.trimmed();
            if (line.isEmpty() || line.startsWith(QLatin1Char(';')))
                continue;
            if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
                section = line.mid(1, line.size() - 2).trimmed().toLower();
                continue;
            }
            const int equals = line.indexOf(QLatin1Char('='));
            if (equals <= 0)
                continue;
            const QString key = section + QLatin1Char('/') + line.left(equals).trimmed().toLower();
            if (!m_values.contains(key))
                m_values.insert(key, line.mid(equals + 1).trimmed());
        }
    }

    QString text(const QString &section, const QString &key, const QString &fallback) const
    {
        return m_values.value(section.toLower() + QLatin1Char('/') + key.toLower(), fallback);
    }

    bool flag(const QString &section, const QString &key, bool fallback) const
    {
        bool valid = false;
        const int number = text(section, key, QString()).toInt(&valid);
        return valid ? number != 0 : fallback;
    }

private:
    QHash<QString, QString> m_values;
};

ProxySettings proxyFromSettingsFile()
{
    const QString path = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                         QStringLiteral("/Kolvani/data/config.ini");
    const IniValues ini(path);
    const QString section = QStringLiteral("config");
    ProxySettings proxy;
    proxy.enabled = ini.flag(section, QStringLiteral("cbEnableProxy"), false);
    proxy.server = ini.text(section, QStringLiteral("edProxyServer"), QString());
    proxy.port = ini.text(section, QStringLiteral("edProxyPort"), QStringLiteral("0"));
    proxy.user = ini.text(section, QStringLiteral("edProxyUser"), QString());
    proxy.password = ini.text(section, QStringLiteral("edProxyPassword"), QString());
    return proxy;
}

int usage()
{
    writeLine(stderr, QStringLiteral(
                          "Użycie: kolvani --fetch ADRES PLIK [--user NAZWA --password HASŁO]"));
    return 1;
}

} // namespace

int runFetchCommand(const QStringList &args)
{
    QStringList positional;
    QString user;
    QString password;
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

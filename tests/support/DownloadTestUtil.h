#pragma once

#include "base/DownloadUi.h"
#include "feed/ReportSink.h"

#include <QByteArray>
#include <QFile>
#include <QStringList>

#include <string>

// Records what a download shows, in order: "status:<text>", "begin:<max>", "work:<n>", "end".
class RecordingUi : public IDownloadUi
{
public:
    QStringList events;

    void setStatusText(const QString &text) override { events << QStringLiteral("status:") + text; }
    void progressBegin(qint64 expectedBytes) override
    {
        events << QStringLiteral("begin:%1").arg(expectedBytes);
    }
    void progressWork(qint64 bytesSoFar) override
    {
        events << QStringLiteral("work:%1").arg(bytesSoFar);
    }
    void progressEnd() override { events << QStringLiteral("end"); }

    QStringList statuses() const
    {
        QStringList texts;
        for (const QString &event : events)
            if (event.startsWith(QLatin1String("status:")))
                texts << event.mid(7);
        return texts;
    }
    QString lastStatus() const
    {
        const QStringList texts = statuses();
        return texts.isEmpty() ? QString() : texts.last();
    }
};

class RecordingSink : public IReportSink
{
public:
    QStringList lines;
    void ReportProblem(const QString &line) override { lines << line; }
};

// Byte texts as std::string, so that a failing comparison prints readable text.
inline std::string readWholeFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : "<missing>";
}

inline std::string joined(const QStringList &lines)
{
    return lines.join(QLatin1Char('\n')).toStdString();
}

inline void writeWholeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
}

// The request head the client sends for a GET, with its lines in order.
inline std::string expectedHead(const QByteArray &target, const QByteArray &host,
                                const QByteArray &extraAfterUserAgent = QByteArray(),
                                bool contentType = false)
{
    QByteArray head = "GET " + target + " HTTP/1.1\r\n";
    if (contentType)
        head += "Content-Type: text/html\r\n";
    head += "Host: " + host + "\r\n";
    head += "Accept: text/html, */*\r\n";
    head += "Accept-Encoding: gzip, deflate\r\n";
    head += "User-Agent: Mozilla/3.0 (compatible; Indy Library)\r\n";
    head += extraAfterUserAgent;
    head += "\r\n";
    return head.toStdString();
}

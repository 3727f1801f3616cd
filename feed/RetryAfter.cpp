#include "feed/RetryAfter.h"

#include <algorithm>

QDateTime RetryAfterTime(const QByteArray &value, const QDateTime &now)
{
    const QByteArray text = value.trimmed();
    if (text.isEmpty())
        return QDateTime();
    QDateTime until;
    if (std::all_of(text.cbegin(), text.cend(), [](char c) { return c >= '0' && c <= '9'; })) {
        bool ok = false;
        const qint64 seconds = text.size() > 12 ? MaxRetryAfterSeconds : text.toLongLong(&ok);
        until = now.addSecs(qMin(seconds, MaxRetryAfterSeconds));
        if (seconds == 0)
            return QDateTime();
    } else {
        // HTTP dates are RFC 1123 in GMT; the obsolete forms are not worth a parser.
        QString date = QString::fromLatin1(text);
        if (date.endsWith(QLatin1String(" GMT")) || date.endsWith(QLatin1String(" UTC")))
            date = date.chopped(3) + QStringLiteral("+0000");
        until = QDateTime::fromString(date, Qt::RFC2822Date);
        if (!until.isValid())
            return QDateTime();
        until = std::min(until.toLocalTime(), now.addSecs(MaxRetryAfterSeconds));
    }
    return until > now ? until.toLocalTime() : QDateTime();
}

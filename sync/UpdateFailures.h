#pragma once

#include <QHash>
#include <QObject>
#include <QString>

// The channels whose last update failed, each with the line that said why, by channel GUID.
// An update that succeeds clears its channel; one refused (another update ran) changes
// nothing. Held for this run of the program only, as the report window's lines are: after a
// restart every channel starts clean until its next update.
class UpdateFailures : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    void failed(const QString &guid, const QString &line);
    void succeeded(const QString &guid);
    // The channel left the tree.
    void forget(const QString &guid) { succeeded(guid); }

    bool failing(const QString &guid) const { return m_lines.contains(guid); }
    // Why the last update failed; empty while the channel is not failing.
    QString line(const QString &guid) const { return m_lines.value(guid); }

signals:
    void changed(const QString &guid);

private:
    QHash<QString, QString> m_lines;
};

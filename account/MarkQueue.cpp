#include "account/MarkQueue.h"

#include "base/FileReplace.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

bool MarkQueue::load()
{
    m_marks.clear();
    QFile file(m_path);
    if (!file.exists())
        return true;
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return false;
    const QJsonObject o = doc.object();
    for (const QJsonValue &v : o.value(QLatin1String("read")).toArray())
        if (v.toInt() > 0)
            m_marks.insert(v.toInt(), false);
    for (const QJsonValue &v : o.value(QLatin1String("unread")).toArray())
        if (v.toInt() > 0)
            m_marks.insert(v.toInt(), true);
    return true;
}

void MarkQueue::save() const
{
    QJsonArray read;
    QJsonArray unread;
    for (int id : ids(false))
        read.append(id);
    for (int id : ids(true))
        unread.append(id);
    const QJsonObject o{{QStringLiteral("read"), read}, {QStringLiteral("unread"), unread}};
    WriteFileAtomically(m_path, QJsonDocument(o).toJson(QJsonDocument::Compact));
}

void MarkQueue::remove(const QList<int> &ids)
{
    for (int id : ids)
        m_marks.remove(id);
}

QList<int> MarkQueue::ids(bool unread) const
{
    QList<int> result;
    for (auto it = m_marks.begin(); it != m_marks.end(); ++it)
        if (it.value() == unread)
            result.append(it.key());
    std::sort(result.begin(), result.end());
    return result;
}

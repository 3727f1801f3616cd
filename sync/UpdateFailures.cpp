#include "sync/UpdateFailures.h"

void UpdateFailures::failed(const QString &guid, const QString &line)
{
    if (guid.isEmpty())
        return;
    auto it = m_lines.find(guid);
    if (it != m_lines.end() && it.value() == line)
        return;
    m_lines.insert(guid, line);
    emit changed(guid);
}

void UpdateFailures::succeeded(const QString &guid)
{
    if (m_lines.remove(guid))
        emit changed(guid);
}

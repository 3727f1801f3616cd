#include "base/LiveSettings.h"

namespace {

bool same(const AppSettings &a, const AppSettings &b)
{
    return a.interval == b.interval && a.updates == b.updates && a.balloon == b.balloon &&
           a.autorun == b.autorun && a.closeAction == b.closeAction &&
           a.enableProxy == b.enableProxy && a.proxyServer == b.proxyServer &&
           a.proxyPort == b.proxyPort && a.proxyUser == b.proxyUser &&
           a.proxyPassword == b.proxyPassword && a.dontShow == b.dontShow &&
           a.descendingSort == b.descendingSort && a.columnToSort == b.columnToSort &&
           a.channelsListUrl == b.channelsListUrl && a.remoteContent == b.remoteContent &&
           a.groupShowsItems == b.groupShowsItems && a.hostConnections == b.hostConnections &&
           a.keepItems == b.keepItems && a.keepDays == b.keepDays;
}

} // namespace

LiveSettings::LiveSettings(QObject *parent) : QObject(parent)
{
}

LiveSettings::LiveSettings(const AppSettings &values, QObject *parent)
    : QObject(parent), m_values(values)
{
}

void LiveSettings::set(const AppSettings &values)
{
    if (same(values, m_values))
        return;
    m_values = values;
    emit changed();
}

int LiveSettings::updateInterval() const
{
    return m_values.updates ? UpdateTimerInterval(m_values.interval) : 0;
}

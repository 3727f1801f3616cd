#include "app/WindowPlacement.h"

#include <QSettings>
#include <QStringList>

namespace {

const QString KeyShowCmd = QStringLiteral("ShowCmd");
const QString KeyFlags = QStringLiteral("Flags");
const QString KeyPixelsPerInch = QStringLiteral("PixelsPerInch");
const QString KeyMinMaxPos = QStringLiteral("MinMaxPos");
const QString KeyNormPos = QStringLiteral("NormPos");
const QString KeyLeftPanelWidth = QStringLiteral("pcLeftPanel_Width");
const QString KeyTopHeight = QStringLiteral("pnTop_Height");

bool readInt(QSettings &store, const QString &key, int *value)
{
    bool ok = false;
    const int v = store.value(key).toString().trimmed().toInt(&ok);
    if (ok)
        *value = v;
    return ok;
}

bool fourInts(const QString &text, int out[4])
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 4)
        return false;
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        out[i] = parts[i].trimmed().toInt(&ok);
        if (!ok)
            return false;
    }
    return true;
}

} // namespace

std::unique_ptr<QSettings> OpenWindowPlacementStore()
{
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                       QStringLiteral("Velmar"), QStringLiteral("RSS Quorrel 1.0"));
}

QString PlacementPointsText(const QPoint &first, const QPoint &second)
{
    return QStringLiteral("%1,%2,%3,%4")
        .arg(first.x())
        .arg(first.y())
        .arg(second.x())
        .arg(second.y());
}

QString PlacementRectText(const QRect &rect)
{
    return QStringLiteral("%1,%2,%3,%4")
        .arg(rect.left())
        .arg(rect.top())
        .arg(rect.left() + rect.width())
        .arg(rect.top() + rect.height());
}

WindowPlacement ReadWindowPlacement(QSettings &store)
{
    WindowPlacement p;
    store.beginGroup(WindowPlacementGroup);
    int v[4];
    if (fourInts(store.value(KeyNormPos).toString(), v) && v[2] > v[0] && v[3] > v[1]) {
        p.normalRect = QRect(QPoint(v[0], v[1]), QSize(v[2] - v[0], v[3] - v[1]));
        p.valid = true;
        readInt(store, KeyShowCmd, &p.showCmd);
        readInt(store, KeyFlags, &p.flags);
        readInt(store, KeyPixelsPerInch, &p.pixelsPerInch);
        if (fourInts(store.value(KeyMinMaxPos).toString(), v)) {
            p.minPosition = QPoint(v[0], v[1]);
            p.maxPosition = QPoint(v[2], v[3]);
        }
    }
    int size = 0;
    if (readInt(store, KeyLeftPanelWidth, &size) && size >= 0)
        p.leftPanelWidth = size;
    if (readInt(store, KeyTopHeight, &size) && size >= 0)
        p.topPanelHeight = size;
    store.endGroup();
    return p;
}

void WriteWindowPlacement(QSettings &store, const WindowPlacement &p)
{
    store.beginGroup(WindowPlacementGroup);
    store.setValue(KeyShowCmd, p.showCmd);
    store.setValue(KeyFlags, p.flags);
    store.setValue(KeyPixelsPerInch, p.pixelsPerInch);
    store.setValue(KeyMinMaxPos, PlacementPointsText(p.minPosition, p.maxPosition));
    store.setValue(KeyNormPos, PlacementRectText(p.normalRect));
    if (p.leftPanelWidth >= 0)
        store.setValue(KeyLeftPanelWidth, p.leftPanelWidth);
    if (p.topPanelHeight >= 0)
        store.setValue(KeyTopHeight, p.topPanelHeight);
    store.endGroup();
    store.sync();
}

QSize ReadWindowSize(QSettings &store, const QString &group)
{
    store.beginGroup(group);
    const QStringList parts = store.value(QStringLiteral("Size")).toString().split(QLatin1Char(','));
    store.endGroup();
    if (parts.size() != 2)
        return QSize();
    bool okW = false, okH = false;
    const QSize size(parts[0].trimmed().toInt(&okW), parts[1].trimmed().toInt(&okH));
    return okW && okH && size.width() > 0 && size.height() > 0 ? size : QSize();
}

void WriteWindowSize(QSettings &store, const QString &group, const QSize &size)
{
    if (!size.isValid())
        return;
    store.beginGroup(group);
    store.setValue(QStringLiteral("Size"),
                   QStringLiteral("%1,%2").arg(size.width()).arg(size.height()));
    store.endGroup();
    store.sync();
}

QRect FirstStartPlace(const QRect &area, const QSize &least, const QMargins &frame)
{
    if (!area.isValid())
        return QRect(QPoint(0, 0), least);
    const QSize room(qMax(1, area.width() - frame.left() - frame.right()),
                     qMax(1, area.height() - frame.top() - frame.bottom()));
    const QSize wanted = QSize(area.width() * 3 / 4, area.height() * 3 / 4).expandedTo(least);
    const QSize size = wanted.boundedTo(room.expandedTo(least));
    const QPoint centre = area.center();
    QRect place(QPoint(0, 0), size);
    place.moveCenter(centre);
    // The title bar must stay on the screen.
    place.moveTop(qMax(place.top(), area.top() + frame.top()));
    place.moveLeft(qMax(place.left(), area.left() + frame.left()));
    return place;
}

QRect FitOnScreens(const QRect &rect, const QMargins &frame, const QList<QRect> &areas,
                   const QRect &primary)
{
    if (areas.isEmpty() || !rect.isValid())
        return rect;
    const QRect outer = rect.marginsAdded(frame);
    QRect area;
    qint64 best = 0;
    for (const QRect &candidate : areas) {
        const QRect common = candidate.intersected(outer);
        const qint64 size = common.isEmpty() ? 0 : qint64(common.width()) * common.height();
        if (size > best) {
            best = size;
            area = candidate;
        }
    }
    if (best == 0)
        area = primary.isValid() ? primary : areas.first();

    QRect fitted = outer;
    fitted.setWidth(qMin(outer.width(), area.width()));
    fitted.setHeight(qMin(outer.height(), area.height()));
    fitted.moveLeft(qBound(area.left(), fitted.left(), area.right() - fitted.width() + 1));
    fitted.moveTop(qBound(area.top(), fitted.top(), area.bottom() - fitted.height() + 1));
    return fitted.marginsRemoved(frame);
}

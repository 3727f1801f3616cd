#include "reading/forms/ItemLookController.h"

#include "base/AppSettings.h"
#include "base/FileReplace.h"
#include "base/SettingsFile.h"
#include "kit/UiLook.h"
#include "kit/WebBrowser.h"
#include "reading/ItemLook.h"
#include "reading/ReadingLog.h"

#include <QAction>
#include <QEvent>
#include <QWidget>

ItemLookController::ItemLookController(const Widgets &widgets, ItemLook &look,
                                       const QString &settingsFile, QObject *parent)
    : QObject(parent), m_w(widgets), m_look(look), m_settingsFile(settingsFile)
{
    setObjectName(QStringLiteral("ItemLookController"));
    const auto action = [this](const char *name, const QString &caption,
                               const QList<QKeySequence> &keys, void (ItemLookController::*slot)()) {
        auto *a = new QAction(caption, this);
        a->setObjectName(QString::fromLatin1(name));
        a->setShortcuts(keys);
        a->setShortcutContext(Qt::WindowShortcut);
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    // Ctrl+= is Ctrl++ without Shift on most keyboards.
    m_acZoomIn = action("acZoomIn", QStringLiteral("&Powiększ"),
                        {QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal)},
                        &ItemLookController::acZoomInExecute);
    m_acZoomOut = action("acZoomOut", QStringLiteral("Po&mniejsz"),
                         {QKeySequence(Qt::CTRL | Qt::Key_Minus)},
                         &ItemLookController::acZoomOutExecute);
    m_acZoomReset = action("acZoomReset", QStringLiteral("&Rzeczywisty rozmiar"),
                           {QKeySequence(Qt::CTRL | Qt::Key_0)},
                           &ItemLookController::acZoomResetExecute);
    m_w.window->addActions({m_acZoomIn, m_acZoomOut, m_acZoomReset});
    if (!m_settingsFile.isEmpty())
        m_look.zoomPercent = ItemZoom::Bounded(AppSettings::read(SettingsFile(m_settingsFile)).itemZoom);
    m_w.wbContent->setZoom(m_look.zoomPercent / 100.0);
    m_w.window->installEventFilter(this);
    m_look.dark = UiLook::isDark(m_w.window->palette());
    m_w.wbContent->setPageBackground(m_w.window->palette().color(QPalette::Base));
    updateActions();
}

int ItemLookController::zoomPercent() const
{
    return m_look.zoomPercent;
}

bool ItemLookController::dark() const
{
    return m_look.dark;
}

void ItemLookController::acZoomInExecute()
{
    setZoom(ItemZoom::StepIn(m_look.zoomPercent));
}

void ItemLookController::acZoomOutExecute()
{
    setZoom(ItemZoom::StepOut(m_look.zoomPercent));
}

void ItemLookController::acZoomResetExecute()
{
    setZoom(ItemZoom::Normal);
}

void ItemLookController::setZoom(int percent)
{
    percent = ItemZoom::Bounded(percent);
    if (percent == m_look.zoomPercent)
        return;
    m_look.zoomPercent = percent;
    m_w.wbContent->setZoom(percent / 100.0);
    updateActions();
    if (m_settingsFile.isEmpty())
        return;
    try {
        SettingsFile(m_settingsFile).writeInt(SettingsKeys::ConfigSection, SettingsKeys::ItemZoom,
                                              percent);
    } catch (const FileError &e) {
        // The zoom holds for this run; the next start takes the one stored before.
        qCWarning(lcReading, "the item view's zoom could not be stored: %s", e.what());
    }
}

void ItemLookController::updateActions()
{
    m_acZoomIn->setEnabled(m_look.zoomPercent < ItemZoom::Most);
    m_acZoomOut->setEnabled(m_look.zoomPercent > ItemZoom::Least);
    m_acZoomReset->setEnabled(m_look.zoomPercent != ItemZoom::Normal);
}

void ItemLookController::followPalette()
{
    const QPalette palette = m_w.window->palette();
    m_w.wbContent->setPageBackground(palette.color(QPalette::Base));
    const bool dark = UiLook::isDark(palette);
    if (dark == m_look.dark)
        return;
    m_look.dark = dark;
    emit darkChanged(dark);
}

bool ItemLookController::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_w.window &&
        (event->type() == QEvent::PaletteChange ||
         event->type() == QEvent::ApplicationPaletteChange || event->type() == QEvent::StyleChange))
        followPalette();
    return QObject::eventFilter(watched, event);
}

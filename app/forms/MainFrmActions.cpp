// The main window's action list, its menus, the tray menu and the enabling rules.

#include "kit/ActionFacts.h"
#include "app/forms/MainFrmUnit.h"
#include "kit/UiLook.h"
#include "kit/WebBrowser.h"
#include "archive/forms/ArchiveController.h"
#include "catalogue/ChannelTree.h"
#include "catalogue/forms/SelectedNode.h"
#include "catalogue/forms/TreeEditingController.h"
#include "reading/forms/GatheredListController.h"
#include "reading/forms/ItemCommandsController.h"
#include "reading/forms/ReadingKeysController.h"
#include "sync/forms/SyncRunsController.h"

#include <QAction>
#include <QCursor>
#include <QItemSelectionModel>
#include <QMenu>
#include <QMenuBar>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>

namespace {

QIcon icon(const char *name)
{
    return UiLook::svgIcon(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(name)));
}

// A button that runs an action under its own caption and follows the action's enabled state.
void bindButton(QToolButton *button, QAction *action, const QString &caption)
{
    button->setText(caption);
    button->setIcon(action->icon());
    const QString hint = action->statusTip().isEmpty() ? caption : action->statusTip();
    button->setToolTip(hint);
    button->setStatusTip(hint);
    button->setEnabled(action->isEnabled());
    QObject::connect(button, &QToolButton::clicked, action, [action] {
        if (action->isEnabled())
            action->trigger();
    });
    QObject::connect(action, &QAction::enabledChanged, button, &QToolButton::setEnabled);
}

// A menu entry that stands for an action under another caption or shortcut.
QAction *aliasOf(QAction *action, const char *name, const QString &caption,
                 const QKeySequence &shortcut, QObject *parent)
{
    auto *alias = new QAction(action->icon(), caption, parent);
    alias->setObjectName(QString::fromLatin1(name));
    alias->setShortcut(shortcut);
    alias->setStatusTip(action->statusTip());
    alias->setEnabled(action->isEnabled());
    QObject::connect(alias, &QAction::triggered, action, [action] {
        if (action->isEnabled())
            action->trigger();
    });
    QObject::connect(action, &QAction::enabledChanged, alias, &QAction::setEnabled);
    return alias;
}

} // namespace

QAction *TfmMainFrm::makeAction(const char *name, const QString &caption, const QString &hint,
                                const QKeySequence &shortcut)
{
    auto *action = new QAction(caption, this);
    action->setObjectName(QString::fromLatin1(name));
    if (!hint.isEmpty()) {
        action->setStatusTip(hint);
        action->setToolTip(hint);
    }
    if (!shortcut.isEmpty()) {
        action->setShortcut(shortcut);
        action->setShortcutContext(Qt::WindowShortcut);
    }
    m_actions.append(action);
    return action;
}

void TfmMainFrm::buildActions()
{
    const QKeySequence none;
    acChannelsAdd = makeAction("acChannelsAdd", QStringLiteral("Dodaj nowy &kanał"),
                               QStringLiteral("Dodaj nowy kanał"),
                               QKeySequence(QStringLiteral("Ctrl+Shift+N")));
    acChannelsGroupAdd = makeAction("acChannelsGroupAdd", QStringLiteral("&Dodaj nową grupę"),
                                    QStringLiteral("Dodaj nową grupę"), none);
    acRemoveTreeItem = makeAction("acRemoveTreeItem", QString(), QStringLiteral("Usuń"), none);
    acChannelsEdit =
        makeAction("acChannelsEdit", QString(), QStringLiteral("Edytuj/zmień nazwę"), none);
    acChannelsEditChanel = makeAction("acChannelsEditChanel", QStringLiteral("&Edytuj kanał"),
                                      QStringLiteral("Edytuj kanał"), none);
    acChannelsGetSelected = makeAction("acChannelsGetSelected", QString(),
                                       QStringLiteral("Pobierz wybrany kanał"), none);
    acOpenInNewWindow =
        makeAction("acOpenInNewWindow", QStringLiteral("&Otwórz w nowym oknie"), QString(), none);
    acCopyToClipBoard = makeAction("acCopyToClipBoard", QStringLiteral("&Kopiuj"), QString(),
                                   QKeySequence(QStringLiteral("Ctrl+C")));
    acMarkAsRead =
        makeAction("acMarkAsRead", QStringLiteral("Oznacz jako przeczytane"), QString(), none);
    acMarkAsUnread = makeAction("acMarkAsUnread", QStringLiteral("Oznacz jako nieprzeczytane"),
                                QString(), QKeySequence(QStringLiteral("Ctrl+U")));
    acSendAsMail = makeAction("acSendAsMail", QStringLiteral("Wyślij pocztą"), QString(), none);
    acCopyLink =
        makeAction("acCopyLink", QStringLiteral("Kopiuj link do schowka"), QString(), none);
    acOpenLink =
        makeAction("acOpenLink", QStringLiteral("Otwórz link w nowym oknie"), QString(), none);
    acSyncAll = makeAction("acSyncAll", QStringLiteral("&Synchronizuj wszystkie"), QString(), none);
    acAddToArchive = makeAction("acAddToArchive", QStringLiteral("&Dodaj do archiwum"), QString(),
                                QKeySequence(QStringLiteral("Ctrl+Shift+A")));
    acArchiveDelete =
        makeAction("acArchiveDelete", QStringLiteral("&Usuń z archiwum"), QString(), none);
    acSelectAll = makeAction("acSelectAll", QStringLiteral("&Zaznacz wszystkie"), QString(),
                             QKeySequence(QStringLiteral("Ctrl+A")));
    acFind = makeAction("acFind", QStringLiteral("&Wyszukaj..."), QString(),
                        QKeySequence(QStringLiteral("Ctrl+F")));
    acSyncSelected =
        makeAction("acSyncSelected", QStringLiteral("&Synchronizuj kanał"), QString(), none);
    acSaveToFile = makeAction("acSaveToFile", QStringLiteral("Ek&sportuj wiadomość do pliku XML"),
                              QString(), QKeySequence(QStringLiteral("Ctrl+E")));
    acPrintHeader = makeAction("acPrintHeader", QStringLiteral("&Drukuj"), QString(),
                               QKeySequence(QStringLiteral("Ctrl+P")));
    acChannelsSendChannel =
        makeAction("acChannelsSendChannel", QStringLiteral("&Poleć znajomemu"), QString(), none);

    const std::pair<QAction *, const char *> pictures[] = {
        {acChannelsAdd, "add"},
        {acChannelsGroupAdd, "add_group"},
        {acRemoveTreeItem, "delete"},
        {acChannelsEdit, "edit"},
        {acChannelsEditChanel, "edit"},
        {acChannelsGetSelected, "sync"},
        {acOpenInNewWindow, "new_window"},
        {acCopyToClipBoard, "copy"},
        {acMarkAsRead, "read"},
        {acMarkAsUnread, "unread"},
        {acSendAsMail, "mail"},
        {acCopyLink, "link"},
        {acOpenLink, "web"},
        {acSyncAll, "sync_all"},
        {acAddToArchive, "archive_add"},
        {acArchiveDelete, "archive_delete"},
        {acFind, "find"},
        {acSyncSelected, "sync"},
        {acSaveToFile, "export"},
        {acPrintHeader, "print"},
        {acChannelsSendChannel, "mail"},
    };
    for (const auto &[action, picture] : pictures)
        action->setIcon(icon(picture));

    // Shortcuts work wherever the focus is in the window, also for actions that stand in no
    // menu of the menu bar.
    addActions(m_actions);

    bindButton(spAddChannel, acChannelsAdd, QStringLiteral("Dodaj nowy kanał"));
    bindButton(spRefresh, acSyncSelected, QStringLiteral("Synchronizuj kanał"));
    bindButton(spRefreshAll, acSyncAll, QStringLiteral("Synchronizuj wszystkie"));
    bindButton(sbChannelsDelete, acRemoveTreeItem, QString());
    bindButton(SpeedButton1, acChannelsEdit, QString());
    bindButton(spNewWindow, acOpenInNewWindow, QStringLiteral("Otwórz w nowym oknie"));
    bindButton(sbAddToArchive, acAddToArchive, QStringLiteral("Dodaj do archiwum"));
    bindButton(sbArchiveDelete, acArchiveDelete, QStringLiteral("Usuń z archiwum"));
}

void TfmMainFrm::buildMenus()
{
    QMenuBar *bar = menuBar();
    bar->setObjectName(QStringLiteral("mnMainMenu"));

    Koniecpracy1 = new QAction(icon("exit"), QStringLiteral("&Koniec pracy"), this);
    Koniecpracy1->setObjectName(QStringLiteral("Koniecpracy1"));
    connect(Koniecpracy1, &QAction::triggered, this, &TfmMainFrm::Koniecpracy1Click);
    mnPlik = bar->addMenu(QStringLiteral("&Plik"));
    mnPlik->setObjectName(QStringLiteral("mnPlik"));
    mnPlik->addActions({acChannelsAdd, acChannelsGroupAdd});
    mnPlik->addSeparator();
    mnPlik->addActions({acSaveToFile, acPrintHeader});
    mnPlik->addSeparator();
    mnPlik->addAction(Koniecpracy1);

    Konfiguracja1 = new QAction(icon("settings"), QStringLiteral("&Konfiguracja"), this);
    Konfiguracja1->setObjectName(QStringLiteral("Konfiguracja1"));
    connect(Konfiguracja1, &QAction::triggered, this, &TfmMainFrm::Konfiguracja1Click);
    mnNarzedzia = bar->addMenu(QStringLiteral("&Narzędzia"));
    mnNarzedzia->setObjectName(QStringLiteral("mnNarzedzia"));
    mnNarzedzia->addActions({acSyncAll, acSyncSelected});
    mnNarzedzia->addSeparator();
    mnNarzedzia->addAction(acChannelsEditChanel);
    mnNarzedzia->addSeparator();
    mnNaglowek = mnNarzedzia->addMenu(QStringLiteral("Nagłówek"));
    mnNaglowek->setObjectName(QStringLiteral("mnNaglowek"));
    mnNaglowek->addActions({acMarkAsRead, acMarkAsUnread, acCopyLink, acSendAsMail});
    mnNarzedzia->addSeparator();
    mnNarzedzia->addAction(Konfiguracja1);

    Oprogramie1 = new QAction(icon("about"), QStringLiteral("&O programie"), this);
    Oprogramie1->setObjectName(QStringLiteral("Oprogramie1"));
    connect(Oprogramie1, &QAction::triggered, this, &TfmMainFrm::Oprogramie1Click);
    KolvaniwInternecie1 = new QAction(icon("web"), QStringLiteral("&Kolvani w Internecie"), this);
    KolvaniwInternecie1->setObjectName(QStringLiteral("KolvaniwInternecie1"));
    connect(KolvaniwInternecie1, &QAction::triggered, this, &TfmMainFrm::KolvaniwInternecie1Click);
    mnPomoc = bar->addMenu(QStringLiteral("&Pomo&c"));
    mnPomoc->setObjectName(QStringLiteral("mnPomoc"));
    mnPomoc->addAction(Oprogramie1);
    mnPomoc->addSeparator();
    mnPomoc->addAction(KolvaniwInternecie1);

    mnChannelsAdd = new QMenu(this);
    mnChannelsAdd->setObjectName(QStringLiteral("mnChannelsAdd"));
    mnChannelsAdd->addActions({acChannelsAdd, acChannelsGroupAdd});

    Zmienazw1 = new QAction(icon("edit"), QStringLiteral("&Zmień nazwę"), this);
    Zmienazw1->setObjectName(QStringLiteral("Zmienazw1"));
    Usun1 = aliasOf(acRemoveTreeItem, "Usun1", QStringLiteral("&Usuń"),
                    QKeySequence(Qt::Key_Delete), this);
    Usun1->setShortcutContext(Qt::WidgetShortcut);
    tvChannels->addAction(Usun1);
    mnChannels = new QMenu(this);
    mnChannels->setObjectName(QStringLiteral("mnChannels"));
    mnChannels->addActions({acChannelsAdd, acChannelsGroupAdd});
    mnChannels->addSeparator();
    mnChannels->addActions({acChannelsEditChanel, acChannelsSendChannel});
    mnChannels->addSeparator();
    mnChannels->addAction(acSyncAll);
    mnChannels->addSeparator();
    mnChannels->addActions({Zmienazw1, Usun1});
    connect(tvChannels, &QTreeView::customContextMenuRequested, this, [this](const QPoint &pos) {
        // A right click selects the node under the mouse first.
        const QModelIndex index = tvChannels->indexAt(pos);
        if (index.isValid())
            tvChannels->setCurrentIndex(index);
        UpdateActions();
        mnChannels->popup(tvChannels->viewport()->mapToGlobal(pos));
    });

    Usunzarchiwum1 = aliasOf(acArchiveDelete, "Usunzarchiwum1", acArchiveDelete->text(),
                             QKeySequence(Qt::Key_Delete), this);
    Usunzarchiwum1->setShortcutContext(Qt::WidgetShortcut);
    lvHeaders->addAction(Usunzarchiwum1);
    mnHeaders = new QMenu(this);
    mnHeaders->setObjectName(QStringLiteral("mnHeaders"));
    mnHeaders->addAction(acOpenLink);
    mnHeaders->setDefaultAction(acOpenLink);
    mnHeaders->addSeparator();
    mnHeaders->addActions({acMarkAsRead, acMarkAsUnread});
    mnHeaders->addSeparator();
    mnHeaders->addAction(acSelectAll);
    mnHeaders->addSeparator();
    mnHeaders->addActions({acPrintHeader, acSaveToFile});
    mnHeaders->addSeparator();
    mnHeaders->addActions({acSendAsMail, acCopyLink});
    mnHeaders->addSeparator();
    mnHeaders->addActions({acAddToArchive, Usunzarchiwum1});
    connect(lvHeaders, &QTreeView::customContextMenuRequested, this, [this](const QPoint &pos) {
        UpdateActions();
        mnHeaders->popup(lvHeaders->viewport()->mapToGlobal(pos));
    });
}

void TfmMainFrm::buildTray()
{
    Pokazprogram1 = new QAction(QStringLiteral("Pokaż program"), this);
    Pokazprogram1->setObjectName(QStringLiteral("Pokazprogram1"));
    connect(Pokazprogram1, &QAction::triggered, this, &TfmMainFrm::ctTrayIconClick);
    Konfiguracjaprogramu1 =
        new QAction(icon("settings"), QStringLiteral("Konfiguracja programu"), this);
    Konfiguracjaprogramu1->setObjectName(QStringLiteral("Konfiguracjaprogramu1"));
    connect(Konfiguracjaprogramu1, &QAction::triggered, this, &TfmMainFrm::Konfiguracja1Click);
    Koniecpracy2 = new QAction(icon("exit"), QStringLiteral("&Koniec pracy"), this);
    Koniecpracy2->setObjectName(QStringLiteral("Koniecpracy2"));
    connect(Koniecpracy2, &QAction::triggered, this, &TfmMainFrm::Koniecpracy1Click);

    mnTray = new QMenu(this);
    mnTray->setObjectName(QStringLiteral("mnTray"));
    mnTray->addAction(Pokazprogram1);
    mnTray->setDefaultAction(Pokazprogram1);
    mnTray->addAction(Konfiguracjaprogramu1);
    mnTray->addSeparator();
    mnTray->addAction(acSyncAll);
    mnTray->addSeparator();
    mnTray->addAction(Koniecpracy2);
    connect(mnTray, &QMenu::aboutToShow, this, &TfmMainFrm::UpdateActions);

    ctTrayIcon = new QSystemTrayIcon(UiLook::svgIcon(QStringLiteral(":/icons/tray.svg")), this);
    ctTrayIcon->setObjectName(QStringLiteral("ctTrayIcon"));
    ctTrayIcon->setToolTip(QStringLiteral("Kolvani - praca w tle"));
    ctTrayIcon->setContextMenu(mnTray);
    connect(ctTrayIcon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                switch (reason) {
                case QSystemTrayIcon::Trigger:
                    // The menu opens on a left click too; its bold entry shows the program.
                    UpdateActions();
                    mnTray->popup(QCursor::pos());
                    break;
                case QSystemTrayIcon::DoubleClick:
                case QSystemTrayIcon::MiddleClick:
                    ctTrayIconClick();
                    break;
                default:
                    break;
                }
            });
    if (m_options.showTrayIcon)
        ctTrayIcon->show();
}

// --- enabling rules ---

ActionFacts TfmMainFrm::actionFacts() const
{
    ActionFacts f;
    if (ChannelTree *tree = channelTree()) {
        f.node = SelectedNode(tvChannels, *tree);
        f.treeCount = tree->count();
    }
    f.headerSelection = SelectionSize(lvHeaders->selectionModel());
    f.headerRows = lvHeaders->model() ? lvHeaders->model()->rowCount() : 0;
    f.archiveView = m_archive && m_archive->archiveViewShown();
    f.syncAllRunning = syncAllRunning();
    f.updateBusy = channelUpdateBusy();
    return f;
}

void TfmMainFrm::applyActionFacts(const ActionFacts &f)
{
    if (m_syncRuns)
        m_syncRuns->updateActions(f); // acSyncAllUpdate, acChannelsGetSelectedUpdate
    if (m_treeEditing) // acRemoveTreeItemUpdate, acChannelsEditUpdate, acChannelsEditChanelUpdate
        m_treeEditing->updateActions(f);
    if (m_itemCommands) // acMarkAsReadUpdate, acMarkAsUnreadUpdate, acSelectAllUpdate ...
        m_itemCommands->updateActions(f);
    if (m_readingKeys) // acNextUnread, acPreviousUnread, acMarkChannelRead
        m_readingKeys->updateActions(f);
    if (m_archive) // acAddToArchiveUpdate, acArchiveDeleteUpdate
        m_archive->updateActions(f.headerSelection);
    if (m_gatheredList)
        m_gatheredList->updateActions(f);
}

void TfmMainFrm::UpdateActions()
{
    applyActionFacts(actionFacts());
}

void TfmMainFrm::scheduleActionUpdate()
{
    if (m_actionUpdate && !m_actionUpdate->isActive())
        m_actionUpdate->start();
}

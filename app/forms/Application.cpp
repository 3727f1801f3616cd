#include "app/forms/Application.h"

#include "account/forms/AccountPage.h"
#include "account/forms/AccountPageController.h"
#include "app/CommandLine.h"
#include "app/SingleInstance.h"
#include "app/StartTrace.h"
#include "app/forms/AboutFrmUnit.h"
#include "app/forms/ConfigUnit.h"
#include "app/forms/KolvaniApplication.h"
#include "app/forms/MainFrmUnit.h"
#include "kit/MessageBoxes.h"
#include "kit/ProgramStyle.h"
#include "kit/UiLook.h"
#include "catalogue/ChannelTree.h"
#include "catalogue/forms/EditChannelUnit.h"
#include "feed/forms/NewChanellUnit.h"
#include "reading/forms/FindUnit.h"
#include "sync/forms/UpdateProgressUnit.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QHelpEvent>
#include <QLibraryInfo>
#include <QLocale>
#include <QLoggingCategory>
#include <QQuickWindow>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QMenu>
#include <QMenuBar>
#include <QSystemTrayIcon>
#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>
#include <QTranslator>
#include <QTreeView>

#include <csignal>
#include <memory>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_signalPipe[2] = {-1, -1};

void onTerminationSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_signalPipe[1], &byte, 1);
}

// A termination request from the system (logout, kill) saves like "&Koniec pracy".
void watchTerminationSignals(TfmMainFrm *mainFrm)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) != 0)
        return;
    auto *notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, mainFrm);
    QObject::connect(notifier, &QSocketNotifier::activated, mainFrm, [mainFrm, notifier] {
        char byte;
        [[maybe_unused]] const ssize_t got = ::read(g_signalPipe[0], &byte, 1);
        notifier->setEnabled(false);
        mainFrm->ApplicationEvents1Message();
    });
    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

// For a picture of the tree with a channel whose update failed: the second channel of the
// sample tree is updated from a closed port, another channel is selected, and the failing
// one's tooltip shows why.
void showFailingChannel(TfmMainFrm *mainFrm)
{
    auto *tree = mainFrm->findChild<QTreeView *>(QStringLiteral("tvChannels"));
    const QList<ChannelNode *> channels = mainFrm->channelTree()->channelsInPreOrder();
    if (!tree || channels.size() < 2)
        return;
    const QModelIndex failing = mainFrm->channelTree()->indexOf(channels.at(1));
    tree->setCurrentIndex(failing);
    mainFrm->UpdateActions();
    if (auto *sync = mainFrm->findChild<QAction *>(QStringLiteral("acSyncSelected")))
        sync->trigger();
    tree->setCurrentIndex(mainFrm->channelTree()->indexOf(channels.at(0)));
    QTimer::singleShot(500, tree, [tree, failing] {
        const QPoint at = tree->visualRect(failing).center();
        QHelpEvent help(QEvent::ToolTip, at, tree->viewport()->mapToGlobal(at));
        QCoreApplication::sendEvent(tree->viewport(), &help);
    });
}

// The first group's items in one list, for its picture; only the unread ones when asked.
void showGroupItems(TfmMainFrm *mainFrm, bool unreadOnly)
{
    auto *tree = mainFrm->findChild<QTreeView *>(QStringLiteral("tvChannels"));
    for (ChannelNode *node : mainFrm->channelTree()->nodesInPreOrder()) {
        if (!node->isGroup() || !node->parent())
            continue;
        tree->setCurrentIndex(mainFrm->channelTree()->indexOf(node));
        break;
    }
    if (auto *unread = mainFrm->findChild<QCheckBox *>(QStringLiteral("cbUnreadOnly")))
        unread->setChecked(unreadOnly);
    mainFrm->UpdateActions();
    if (auto *show = mainFrm->findChild<QAction *>(QStringLiteral("acShowGroupItems")))
        show->trigger();
}

// A search across all channels, its dialog answered as a user would.
void searchAllChannels(TfmMainFrm *mainFrm, const QString &what)
{
    auto *find = mainFrm->findChild<TfmFindFrm *>(QStringLiteral("fmFindFrm"));
    auto *action = mainFrm->findChild<QAction *>(QStringLiteral("acFindInChannels"));
    if (!find || !action)
        return;
    QTimer::singleShot(300, find, [find, what] {
        if (auto *edit = find->findChild<QLineEdit *>(QStringLiteral("edWhat")))
            edit->setText(what);
        if (auto *title = find->findChild<QRadioButton *>(QStringLiteral("cbTit")))
            title->setChecked(true);
        find->btOKClick();
    });
    action->trigger();
}

// Opens one window right after start, for pictures of the program (KOLVANI_SCREENSHOT).
void openWindowForScreenshot(TfmMainFrm *mainFrm, const MainFrmWindows &windows)
{
    const QByteArray which = qgetenv("KOLVANI_SCREENSHOT");
    if (which.isEmpty())
        return;
    TfmConfigFrm *config = windows.config;
    TfmAboutFrm *about = windows.about;
    TfmUpdateProgressFrm *report = windows.updateProgress;
    TfmNewChannelFrm *wizard = windows.newChannel;
    TfmEditChannelFrm *properties = windows.editChannel;
    QTimer::singleShot(1500, mainFrm, [=] {
        if (which == "wizard-list") {
            wizard->show();
        } else if (which == "wizard-address") {
            wizard->setStartAddress(QStringLiteral("https://lwn.net/headlines/rss"));
            wizard->show();
        } else if (which == "wizard-duplicate") {
            // A channel of the sample tree under another spelling of its address.
            wizard->setStartAddress(QStringLiteral("HTTP://127.0.0.1:9/kraj.xml/"));
            wizard->show();
            QTimer::singleShot(500, wizard, [wizard] { wizard->btNextClick(); });
        } else if (which == "wizard-error") {
            // An address not in the tree whose server is not there: the box says why.
            wizard->setStartAddress(QStringLiteral("http://127.0.0.1:9/inny.xml"));
            wizard->show();
            QTimer::singleShot(500, wizard, [wizard] { wizard->btNextClick(); });
        } else if (which == "menu-reading") {
            // The reading menu open: its entries with their keys.
            if (auto *menu = mainFrm->findChild<QMenu *>(QStringLiteral("mnCzytanie")))
                mainFrm->menuBar()->setActiveAction(menu->menuAction());
        } else if (which == "tree-menu") {
            // The tree's menu over its first group, with "Oznacz kanał jako przeczytany".
            auto *tree = mainFrm->findChild<QTreeView *>(QStringLiteral("tvChannels"));
            const QList<ChannelNode *> nodes = mainFrm->channelTree()->nodesInPreOrder();
            if (tree && nodes.size() > 1) {
                const QRect place = tree->visualRect(mainFrm->channelTree()->indexOf(nodes.at(1)));
                emit tree->customContextMenuRequested(place.center());
            }
        } else if (which == "tree-failing") {
            showFailingChannel(mainFrm);
        } else if (which == "channel") {
            const QList<ChannelNode *> channels = mainFrm->channelTree()->channelsInPreOrder();
            if (!channels.isEmpty())
                properties->fill(*channels.first());
            properties->show();
        } else if (which == "dark" || which == "menu-view") {
            // The item on show with the view menu open over it.
            if (auto *view = mainFrm->findChild<QMenu *>(QStringLiteral("mnWidok")))
                mainFrm->menuBar()->setActiveAction(view->menuAction());
        } else if (which == "group-items" || which == "unread-view") {
            showGroupItems(mainFrm, which == "unread-view");
        } else if (which == "search-results") {
            searchAllChannels(mainFrm, QStringLiteral("a"));
        } else if (which == "config")
            config->show();
        else if (which == "config-account") {
            config->pcPages->setCurrentIndex(config->pcPages->count() - 1);
            config->show();
        }
        else if (which == "about")
            about->show();
        else if (which == "restore") {
            // After the day's copy, which the window makes two seconds after its start on
            // this same thread, so the list shows it.
            QTimer::singleShot(1500, mainFrm, [mainFrm] {
                if (QAction *restore =
                        mainFrm->findChild<QAction *>(QStringLiteral("acRestoreBackup")))
                    restore->trigger();
            });
        }
        else if (which == "report") {
            report->AddReportLine(QStringLiteral("Uaktualniono Wiadomości"), 1);
            report->AddReportLine(
                QStringLiteral("Nie można pobrać nowych nagłówków z Przykładowy kanał"), 0);
            report->show();
        } else if (which == "run-errors" || which == "report-run") {
            // A real run over the sample channels, whose server is not there.
            if (QAction *syncAll = mainFrm->findChild<QAction *>(QStringLiteral("acSyncAll")))
                syncAll->trigger();
            if (which == "report-run") {
                report->resize(720, 300);
                report->show(); // as a click on the status bar does
            }
        }
    });
}

// The browser engine reports its start-up parameters, GPU trouble and pages' script
// messages on standard error; started from a terminal or cron that is only noise. Standard
// error stays for the program's own messages unless KOLVANI_DEBUG asks for everything.
// Rules of QT_LOGGING_RULES still win over these.
void quietenBrowserEngine()
{
    if (!qEnvironmentVariableIsEmpty("KOLVANI_DEBUG"))
        return;
    QLoggingCategory::setFilterRules(QStringLiteral("qt.webenginecontext.debug=false\n"
                                                    "qt.webenginecontext.info=false\n"
                                                    "qt.webenginecontext.warning=false\n"
                                                    "js.debug=false\n"
                                                    "js.info=false\n"
                                                    "js.warning=false\n"));
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    if (!flags.contains("--log-level"))
        flags += (flags.isEmpty() ? "" : " ") + QByteArray("--log-level=3");
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags);
}

// The item view draws in software: a channel's item needs no graphics card, while the OpenGL
// context the browser engine makes with the application (Mesa's compiler, where no card
// driver is) costs a tenth of a second and tens of megabytes before the window can appear.
// QT_QUICK_BACKEND, or the scene graph's own QSG_RHI_BACKEND, still chooses the graphics
// card. Either way one renderer process serves the item view: a page reached by a link
// takes the place of the item's. Returns true when it switched OpenGL off for the start.
bool chooseBrowserDrawing()
{
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    if (!flags.contains("--renderer-process-limit"))
        flags += " --renderer-process-limit=1";
    bool glOff = false;
    if (qEnvironmentVariableIsEmpty("QT_QUICK_BACKEND") &&
        qEnvironmentVariableIsEmpty("QSG_RHI_BACKEND")) {
        QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
        if (!flags.contains("--disable-gpu"))
            flags += " --disable-gpu";
        if (qEnvironmentVariableIsEmpty("QT_XCB_GL_INTEGRATION")) {
            qputenv("QT_XCB_GL_INTEGRATION", "none");
            glOff = true;
        }
    } else {
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    }
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags.trimmed());
    return glOff;
}

QtMessageHandler g_previousMessageHandler = nullptr;

// Without OpenGL the platform and the browser engine each say so once: the program chose it.
void dropNoOpenGlNotices(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type == QtWarningMsg &&
        (text.startsWith(QLatin1String("QXcbIntegration: Cannot create platform OpenGL")) ||
         text.trimmed() == QLatin1String("No suitable graphics backend found")))
        return;
    g_previousMessageHandler(type, context, text);
}

// The program as users start it: `kolvani` beside this window program, which it hands the
// window to. Autostart names it, and one instance runs per installed program.
QString programFile()
{
    const QFileInfo launcher(QCoreApplication::applicationDirPath() + QStringLiteral("/kolvani"));
    if (launcher.isFile() && launcher.isExecutable())
        return launcher.absoluteFilePath();
    return QCoreApplication::applicationFilePath();
}

} // namespace

int runApplication(int argc, char **argv, const CommandLine &commandLine)
{
    StartMark("main");
    const bool startHidden = commandLine.startHidden;
    quietenBrowserEngine();
    const bool glOff = chooseBrowserDrawing();
    if (glOff)
        g_previousMessageHandler = qInstallMessageHandler(dropNoOpenGlNotices);
    KolvaniApplication app(argc, argv);
    // Programs started from here (a link's web browser) choose their own drawing.
    if (glOff)
        qunsetenv("QT_XCB_GL_INTEGRATION");
    StartMark("application made");
    UiLook::ensureResources();
    ProgramStyle::install();
    // A compact dialog font, as the windows were laid out for.
    QFont font = QApplication::font();
    if (font.pointSizeF() > 9.0) {
        font.setPointSizeF(9.0);
        QApplication::setFont(font);
    }
    // Qt's own dialogs (printing, standard buttons) speak Polish like the rest.
    auto *qtTranslations = new QTranslator(&app);
    if (qtTranslations->load(QLocale(QLocale::Polish), QStringLiteral("qtbase"),
                             QStringLiteral("_"),
                             QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qtTranslations);
    // The application title. Not set as the display name too: Qt would append that to every
    // caption it hands the window manager ("Pytanie: — Kolvani"); the display name falls
    // back to this one.
    QApplication::setApplicationName(QStringLiteral("Kolvani"));
    QApplication::setWindowIcon(UiLook::svgIcon(QStringLiteral(":/icons/kolvani.svg")));
    // The program lives on in the tray when its window closes.
    QApplication::setQuitOnLastWindowClosed(false);

    // One instance per executable: a second start brings the first to the front and ends.
    SingleInstance instance(programFile());
    if (!instance.tryBecomeFirst(commandLine.subscribeAddress))
        return 0;

    // Pictures of the dark look get the palette a dark desktop gives.
    if (qgetenv("KOLVANI_SCREENSHOT") == "dark")
        QApplication::setPalette(UiLook::darkPalette());
    MainFrmOptions options;
    options.executableDir = QCoreApplication::applicationDirPath() + QLatin1Char('/');
    options.startHidden = startHidden;
    options.trayAvailable = QSystemTrayIcon::isSystemTrayAvailable();
    StartMark("main window to make");
    TfmMainFrm mainFrm(options);
    StartMark("main window made");
    if (mainFrm.startupFailed())
        return 1;
    const auto activate = [&mainFrm] {
        // A first instance hidden in the tray stays hidden.
        if (mainFrm.isVisible())
            mainFrm.ctTrayIconClick();
    };
    QObject::connect(&instance, &SingleInstance::activationRequested, &mainFrm, activate);
    // Queued: the wizard's own event loop must not run inside the socket's handler.
    QObject::connect(&instance, &SingleInstance::subscribeRequested, &mainFrm,
                     &TfmMainFrm::subscribeTo, Qt::QueuedConnection);

    // The other windows, once each, in their order. The find dialog comes before the wizard
    // with its part of the program; the notification window after the About box.
    // No per-user folder: no settings file; the windows read defaults and write nothing.
    const QString configPath =
        mainFrm.userFolder().isEmpty() ? QString() : mainFrm.userFolder().configFile();
    TfmNewChannelFrm newChannel(mainFrm.newChannelEnv(), &mainFrm);
    TfmEditChannelFrm editChannel(&mainFrm);
    TfmUpdateProgressFrm updateProgress(mainFrm.liveSettings(), &mainFrm);
    TfmConfigFrm config(mainFrm.liveSettings(), configPath, programFile(), &mainFrm);
    auto *accountPage = new AccountPage;
    config.addPage(accountPage, QStringLiteral("Synchronizacja"));
    AccountPageController accountController(*accountPage, mainFrm.account(), &config);
    accountController.attachTo(config);
    TfmAboutFrm about(options.executableDir, &mainFrm);
    MainFrmWindows windows;
    windows.updateProgress = &updateProgress;
    windows.config = &config;
    windows.about = &about;
    windows.newChannel = &newChannel;
    windows.editChannel = &editChannel;
    mainFrm.attachWindows(windows);
    StartMark("other windows made");

    QObject::connect(&app, &QGuiApplication::commitDataRequest, &mainFrm,
                     [&mainFrm](QSessionManager &) { mainFrm.FormCloseQuery(); });
    watchTerminationSignals(&mainFrm);
    openWindowForScreenshot(&mainFrm, windows);

    StartMark("to show");
    if (!startHidden)
        mainFrm.show();
    else if (!options.trayAvailable)
        mainFrm.showMinimized();
    if (!commandLine.subscribeAddress.isEmpty())
        QTimer::singleShot(0, &mainFrm, [&mainFrm, address = commandLine.subscribeAddress] {
            mainFrm.subscribeTo(address);
        });
    return app.exec();
}

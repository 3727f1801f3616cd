#include "reading/forms/ReadingKeysController.h"

#include "base/ChannelFiles.h"
#include "catalogue/ChannelTree.h"
#include "catalogue/forms/SelectedNode.h"
#include "feed/ReportSink.h"
#include "kit/ActionFacts.h"
#include "kit/MainStatusBar.h"
#include "kit/UiLook.h"
#include "kit/WebBrowser.h"
#include "reading/ChannelMarks.h"
#include "reading/RowsOnShow.h"
#include "reading/ShownChannel.h"
#include "reading/UnreadCounts.h"
#include "reading/UnreadWalk.h"

#include <QAction>
#include <QPointer>
#include <QShortcut>
#include <QTreeView>
#include <QWebEngineScript>

const QString ReadingKeysController::NoUnreadText =
    QStringLiteral("Brak dalszych nieprzeczytanych wiadomości.");
const QString ReadingKeysController::WrappedForwardText =
    QStringLiteral("Koniec listy kanałów: dalej od początku.");
const QString ReadingKeysController::WrappedBackwardText =
    QStringLiteral("Początek listy kanałów: dalej od końca.");

namespace {

// True when the page is already at its end (nothing scrolled); otherwise a page on, less a
// few lines that stay in sight.
const QString ScrollDown = QStringLiteral(
    "(function () {"
    " var e = document.scrollingElement || document.documentElement;"
    " if (!e || e.scrollTop + window.innerHeight >= e.scrollHeight - 2) return true;"
    " window.scrollBy(0, Math.max(40, window.innerHeight - 40)); return false;"
    "})()");
const QString ScrollUp = QStringLiteral(
    "(function () { window.scrollBy(0, -Math.max(40, window.innerHeight - 40)); return false; })()");

QAction *makeAction(QWidget *window, const char *name, const QString &caption,
                    const QKeySequence &shortcut, const char *picture)
{
    auto *action = new QAction(caption, window);
    action->setObjectName(QString::fromLatin1(name));
    action->setShortcut(shortcut);
    action->setShortcutContext(Qt::WindowShortcut);
    action->setIcon(UiLook::svgIcon(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(picture))));
    // Shortcuts work wherever the focus is in the window.
    window->addAction(action);
    return action;
}

} // namespace

ReadingKeysController::ReadingKeysController(const Widgets &widgets, ChannelTree &tree,
                                             ShownChannel &shown, RowsOnShow &rows,
                                             UnreadCounts &counts, const IChannelFiles &files,
                                             IReportSink &report, QObject *parent)
    : QObject(parent), m_w(widgets), m_tree(tree), m_shown(shown), m_rows(rows),
      m_counts(counts), m_files(files), m_report(report)
{
    m_acNextUnread = makeAction(m_w.window, "acNextUnread",
                                QStringLiteral("Następna nieprzeczytana"),
                                QKeySequence(QStringLiteral("Ctrl+N")), "forward");
    m_acPreviousUnread = makeAction(m_w.window, "acPreviousUnread",
                                    QStringLiteral("Poprzednia nieprzeczytana"),
                                    QKeySequence(QStringLiteral("Ctrl+B")), "back");
    m_acMarkChannelRead = makeAction(m_w.window, "acMarkChannelRead",
                                     QStringLiteral("Oznacz kanał jako przeczytany"),
                                     QKeySequence(QStringLiteral("Ctrl+R")), "read");
    connect(m_acNextUnread, &QAction::triggered, this, &ReadingKeysController::acNextUnreadExecute);
    connect(m_acPreviousUnread, &QAction::triggered, this,
            &ReadingKeysController::acPreviousUnreadExecute);
    connect(m_acMarkChannelRead, &QAction::triggered, this,
            &ReadingKeysController::acMarkChannelReadExecute);

    // The list's own keys: Space pages through the item, Enter opens the row's link.
    const auto listKey = [this](const QKeySequence &key, auto slot) {
        auto *shortcut = new QShortcut(key, m_w.lvHeaders, nullptr, nullptr, Qt::WidgetShortcut);
        connect(shortcut, &QShortcut::activated, this, slot);
    };
    listKey(QKeySequence(Qt::Key_Space), [this] { scrollItemOrNextUnread(true); });
    listKey(QKeySequence(Qt::SHIFT | Qt::Key_Space), [this] { scrollItemOrNextUnread(false); });
    listKey(QKeySequence(Qt::Key_Return), [this] { rowActivated(); });
    listKey(QKeySequence(Qt::Key_Enter), [this] { rowActivated(); });
    connect(m_w.lvHeaders, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex &index) {
                if (index.isValid())
                    rowActivated();
            });

    // In the item itself Space does the same; a web page reached by a link keeps its own
    // Space (its forms take it).
    m_browserSpace = new QShortcut(QKeySequence(Qt::Key_Space), m_w.wbContent, nullptr, nullptr,
                                   Qt::WidgetWithChildrenShortcut);
    m_browserShiftSpace = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_Space), m_w.wbContent,
                                        nullptr, nullptr, Qt::WidgetWithChildrenShortcut);
    connect(m_browserSpace, &QShortcut::activated, this, [this] { scrollItemOrNextUnread(true); });
    connect(m_browserShiftSpace, &QShortcut::activated, this,
            [this] { scrollItemOrNextUnread(false); });
    m_browserSpace->setEnabled(false);
    m_browserShiftSpace->setEnabled(false);
    connect(m_w.wbContent, &QWebEngineView::urlChanged, this, [this](const QUrl &url) {
        const bool item = !url.isEmpty() && !WebPage::scriptsAllowedFor(url);
        m_browserSpace->setEnabled(item);
        m_browserShiftSpace->setEnabled(item);
    });
}

void ReadingKeysController::updateActions(const ActionFacts &f)
{
    const bool somewhere = f.headerRows > 0 || (!f.archiveView && f.treeCount > 1);
    m_acNextUnread->setEnabled(somewhere);
    m_acPreviousUnread->setEnabled(somewhere);
    // An update rewrites cache files: nothing else writes them meanwhile.
    m_acMarkChannelRead->setEnabled(f.node && !f.archiveView && !f.syncAllRunning &&
                                    !f.updateBusy);
}

void ReadingKeysController::acNextUnreadExecute()
{
    goToUnread(true);
}

void ReadingKeysController::acPreviousUnreadExecute()
{
    goToUnread(false);
}

int ReadingKeysController::currentRow() const
{
    const QModelIndex current = m_w.lvHeaders->currentIndex();
    return current.isValid() ? current.row() : -1;
}

bool ReadingKeysController::channelOnShow(const ChannelNode *node) const
{
    const TtvChannel *channel = node ? node->channel() : nullptr;
    return channel && m_rows.shows(m_shown) && m_shown.shows(m_files.cacheFile(channel->GUID));
}

bool ReadingKeysController::selectUnreadRow(int from, bool forward, int skip)
{
    QAbstractItemModel *model = m_w.lvHeaders->model();
    if (!model)
        return false;
    const int row = NextUnreadRow(
        model->rowCount(), from, forward,
        [this, model](int r) {
            const HeaderRow *header = m_rows.rowAt(model->index(r, 0));
            return header && header->unread;
        },
        skip);
    if (row < 0)
        return false;
    const QModelIndex index = model->index(row, 0);
    m_w.lvHeaders->selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_w.lvHeaders->scrollTo(index);
    return true;
}

void ReadingKeysController::goToUnread(bool forward)
{
    const int from = currentRow();
    if (selectUnreadRow(from, forward))
        return;
    if (m_rows.archiveView()) {
        status(NoUnreadText);
        return;
    }
    ChannelNode *start = SelectedNode(m_w.tvChannels, m_tree);
    if (!start)
        start = m_tree.nodeFromIndex(m_w.tvChannels->currentIndex());
    for (const UnreadStop &stop : ChannelsFrom(m_tree, start, forward)) {
        const bool found = [&] {
            if (stop.channel == start && channelOnShow(start))
                // Its rows are on show: those on the other side of the row being read.
                return selectUnreadRow(-1, forward, from);
            const TtvChannel *channel = stop.channel->channel();
            if (!channel || m_counts.count(channel->GUID) <= 0)
                return false;
            const QModelIndex node = m_tree.indexOf(stop.channel);
            m_w.tvChannels->setCurrentIndex(node); // shows its headers
            m_w.tvChannels->scrollTo(node);
            // The keyword filter may hide every unread row: the walk goes on.
            return selectUnreadRow(-1, forward);
        }();
        if (found) {
            if (stop.wrapped)
                status(forward ? WrappedForwardText : WrappedBackwardText);
            return;
        }
    }
    status(NoUnreadText);
}

void ReadingKeysController::scrollItemOrNextUnread(bool forward)
{
    // Nothing shown yet: nothing to page through.
    if (m_w.wbContent->LocationURL().isEmpty()) {
        if (forward)
            goToUnread(true);
        return;
    }
    const quint64 asked = ++m_scrollAsked;
    QPointer<ReadingKeysController> self(this);
    m_w.wbContent->webPage()->runJavaScript(
        forward ? ScrollDown : ScrollUp, QWebEngineScript::ApplicationWorld,
        [self, asked, forward](const QVariant &atEnd) {
            // A later Space, or another item, has taken over.
            if (!self || asked != self->m_scrollAsked)
                return;
            if (forward && atEnd.toBool())
                self->goToUnread(true);
        });
}

void ReadingKeysController::rowActivated()
{
    // The fact itself, not the action's state: a double click comes before the actions are
    // computed again for the click that selected the row.
    if (SelectionSize(m_w.lvHeaders->selectionModel()) == 1)
        emit openLinkRequested();
}

void ReadingKeysController::acMarkChannelReadExecute()
{
    ChannelNode *node = SelectedNode(m_w.tvChannels, m_tree);
    if (!node || !m_acMarkChannelRead->isEnabled())
        return;
    status(QStringLiteral("Chwileczkę... "));
    const ChannelsMarked marked = MarkChannelsRead(*node, m_shown, m_rows, m_counts, m_files);
    for (const QString &failure : marked.failures)
        m_report.ReportProblem(QStringLiteral("Nie można oznaczyć kanału jako przeczytanego (") +
                               failure + QStringLiteral(")"));
    for (const QString &file : marked.rewritten)
        emit cacheFileRewritten(file);
    status(QStringLiteral("Gotowe."));
    emit stateChanged();
}

void ReadingKeysController::status(const QString &text)
{
    if (m_w.sbStatus)
        m_w.sbStatus->setPanelText(0, text);
}

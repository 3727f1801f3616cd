#include "reading/forms/ItemCommandsController.h"

#include "base/UserFolder.h"
#include "kit/ActionFacts.h"
#include "kit/MainStatusBar.h"
#include "kit/MessageBoxes.h"
#include "kit/WebBrowser.h"
#include "feed/HtmlText.h"
#include "reading/HeaderListModel.h"
#include "reading/ItemExport.h"
#include "reading/ItemLinks.h"
#include "reading/ItemSource.h"
#include "reading/RowsOnShow.h"
#include "reading/forms/FindUnit.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QTimer>
#include <QTreeView>

#include <exception>

namespace {
constexpr int DelayedMarkMs = 2000;

} // namespace

ItemCommandsController::ItemCommandsController(const Widgets &widgets, const Actions &actions,
                                               RowsOnShow &rows, const UserFolder &folder,
                                               IMessageBoxes &boxes, QObject *parent)
    : QObject(parent), m_w(widgets), m_a(actions), m_onShow(rows), m_rows(rows.model()),
      m_folder(folder), m_boxes(boxes)
{
    m_tmMarkAsUnread = new QTimer(this);
    m_tmMarkAsUnread->setObjectName(QStringLiteral("tmMarkAsUnread"));
    m_tmMarkAsUnread->setSingleShot(true);
    connect(m_tmMarkAsUnread, &QTimer::timeout, this, &ItemCommandsController::tmMarkAsUnreadTimer);
    m_open = [](const QUrl &url) { return QDesktopServices::openUrl(url); };
    m_askExportName = [this] {
        QFileDialog *dialog = sdExportXML();
        return dialog->exec() == QDialog::Accepted ? dialog->selectedFiles().value(0) : QString();
    };
}

void ItemCommandsController::updateActions(const ActionFacts &f)
{
    const bool any = f.headerSelection > 0;
    const bool one = f.headerSelection == 1;
    for (QAction *a : {m_a.acMarkAsRead, m_a.acMarkAsUnread})
        if (a)
            a->setEnabled(any);
    for (QAction *a : {m_a.acCopyLink, m_a.acOpenLink, m_a.acSendAsMail, m_a.acSaveToFile,
                       m_a.acPrintHeader, m_a.acOpenInNewWindow})
        if (a)
            a->setEnabled(one);
    if (m_a.acSelectAll)
        m_a.acSelectAll->setEnabled(f.headerRows > 0);
}

void ItemCommandsController::acMarkAsReadExecute()
{
    markRows(false);
}

void ItemCommandsController::acMarkAsUnreadExecute()
{
    // Its own image changes are list changes that would start the delayed mark again.
    m_tmMarkAsUnread->stop();
    markRows(true);
    m_tmMarkAsUnread->stop();
}

XmlNode ItemCommandsController::itemNode(const HeaderRow &row)
{
    IItemSource *source = m_onShow.source();
    return source ? source->itemNode(row) : XmlNode();
}

void ItemCommandsController::markRows(bool unread)
{
    IItemSource *source = m_onShow.source();
    const bool archive = m_onShow.archiveView();
    const std::vector<int> rows = SelectedRows(m_w.lvHeaders->selectionModel());
    m_w.sbStatus->setPanelText(0, QStringLiteral("Chwileczkę... "));
    if (!rows.empty())
        m_w.sbStatus->showProgress(0, int(rows.size()));
    QString databaseError, storeError;
    QElapsedTimer sinceRepaint;
    sinceRepaint.start();
    int done = 0;
    bool changed = false;
    for (int r : rows) {
        ++done;
        if (sinceRepaint.elapsed() >= 50) { // often enough to show progress, not per row
            m_w.sbStatus->showProgress(done, int(rows.size()));
            if (m_w.window)
                m_w.window->repaint();
            sinceRepaint.restart();
        }
        // The repaint serves events: the rows may have gone meanwhile.
        if (!source || m_onShow.source() != source)
            break;
        if (r >= m_rows.rowCount() || m_rows.row(r).unread == unread)
            continue;
        const HeaderRow row = m_rows.row(r);
        try {
            // The store first: the list never shows a mark its source does not hold.
            if (!source->setUnread(row, unread))
                continue;
            if (!archive)
                changed = true;
            m_rows.setUnread(r, unread);
        } catch (const std::exception &e) {
            if (archive && databaseError.isEmpty())
                databaseError = QString::fromUtf8(e.what());
        }
    }
    // A source that writes each file once does so now; rows whose mark did not reach their
    // file go back, so the list shows only what is stored.
    if (source && m_onShow.source() == source) {
        const MarksStored stored = source->storeMarks();
        if (!stored.failed.isEmpty())
            for (int r : rows)
                if (r < m_rows.rowCount() && stored.failed.contains(m_rows.row(r).guid))
                    m_rows.setUnread(r, !unread);
        if (!stored.problem.isEmpty())
            storeError = stored.problem;
    }
    m_w.sbStatus->hideProgress();
    m_w.sbStatus->setPanelText(0, QStringLiteral("Gotowe."));
    if (!storeError.isEmpty())
        m_boxes.error(m_w.window,
                      QStringLiteral("Nie można zapisać oznaczenia wiadomości: ") + storeError,
                      MessageCaptions::Error);
    if (changed)
        emit marksChanged();
    if (!databaseError.isEmpty())
        m_boxes.error(m_w.window, QStringLiteral("Nie można zapisać oznaczenia w archiwum: ") + databaseError,
                      MessageCaptions::Error);
}

void ItemCommandsController::tmMarkAsUnreadTimer()
{
    m_tmMarkAsUnread->stop();
    const int first = firstSelectedRow();
    if (first >= 0 && first < m_rows.rowCount() && m_rows.row(first).unread)
        acMarkAsReadExecute();
}

void ItemCommandsController::startDelayedMark()
{
    if (!m_tmMarkAsUnread->isActive())
        m_tmMarkAsUnread->start(DelayedMarkMs);
}

void ItemCommandsController::stopDelayedMark()
{
    m_tmMarkAsUnread->stop();
    m_tmMarkAsUnread->setInterval(0);
}

int ItemCommandsController::firstSelectedRow() const
{
    return FirstSelectedRow(m_w.lvHeaders->selectionModel());
}

QString ItemCommandsController::firstSelectedLink()
{
    const int first = firstSelectedRow();
    if (first < 0 || first >= m_rows.rowCount())
        return QString();
    XmlNode item = itemNode(m_rows.row(first));
    if (!item)
        return QString();
    const XmlNode link = item.findChild(QStringLiteral("link"));
    return link ? link.text().trimmed() : QString();
}

void ItemCommandsController::acCopyLinkExecute()
{
    const QString link = firstSelectedLink();
    if (!link.isEmpty())
        QApplication::clipboard()->setText(link);
}

void ItemCommandsController::acOpenLinkExecute()
{
    const QString link = firstSelectedLink();
    // Items are hostile: a file, a script or another program's address never leaves.
    const QUrl url = OpenableLink(link);
    if (url.isEmpty()) {
        m_boxes.information(m_w.window,
                            QStringLiteral("Ta wiadomość nie ma odnośnika do strony WWW."),
                            MessageCaptions::Information);
        return;
    }
    if (m_open && !m_open(url))
        ReportUnopenedLink(m_boxes, m_w.window, link);
}

void ItemCommandsController::acSendAsMailExecute()
{
    const int first = firstSelectedRow();
    if (first < 0 || first >= m_rows.rowCount())
        return;
    const QString title = m_rows.row(first).title;
    if (m_open && !m_open(MailtoUrl(title, firstSelectedLink())))
        ReportNoMailProgram(m_boxes, m_w.window);
}

QFileDialog *ItemCommandsController::sdExportXML()
{
    if (!m_sdExportXML) {
        m_sdExportXML = new QFileDialog(m_w.window, QStringLiteral("Eksportuj..."));
        m_sdExportXML->setObjectName(QStringLiteral("sdExportXML"));
        m_sdExportXML->setAcceptMode(QFileDialog::AcceptSave);
        m_sdExportXML->setFileMode(QFileDialog::AnyFile);
        m_sdExportXML->setNameFilter(QStringLiteral("Dokument XML (*.xml)"));
        // "wynik" means wynik.xml, and the question about an existing one comes for that
        // name; the desktop's own dialogs skip the suffix before they ask.
        m_sdExportXML->setDefaultSuffix(QStringLiteral("xml"));
        m_sdExportXML->setOption(QFileDialog::DontUseNativeDialog);
    }
    return m_sdExportXML;
}

bool ItemCommandsController::mayReplace(const QString &file)
{
    if (!QFileInfo::exists(file))
        return true;
    return m_boxes.question(m_w.window,
                            QStringLiteral("Plik %1 już istnieje. Czy chcesz go zastąpić?")
                                .arg(QDir::toNativeSeparators(file)),
                            MessageCaptions::Question);
}

void ItemCommandsController::acSaveToFileExecute()
{
    const int first = firstSelectedRow();
    IItemSource *source = m_onShow.source();
    if (first < 0 || first >= m_rows.rowCount() || !source || !m_askExportName)
        return;
    const QString chosen = m_askExportName();
    if (chosen.isEmpty())
        return;
    const QString exportName = ExportFileName(chosen);
    // The dialog asked about the name it gave; a name we changed, and the style sheet beside,
    // are asked about here, before anything is written.
    if ((exportName != chosen && !mayReplace(exportName)) ||
        !mayReplace(ExportStyleSheetName(exportName)))
        return;
    try {
        // The dialog served events: the rows may have gone meanwhile.
        if (m_onShow.source() != source || first >= m_rows.rowCount())
            return;
        source->exportItem(m_rows.row(first), exportName);
    } catch (const std::exception &e) {
        m_boxes.error(m_w.window,
                      QStringLiteral("Nie można wyeksportować wiadomości do pliku ") + exportName + QStringLiteral(" (")
                          + QString::fromUtf8(e.what()) + QStringLiteral(")."),
                      MessageCaptions::Error);
        return;
    }
    CopyExportStyleSheet(m_folder.itemStyleSheet(), exportName);
    m_w.sbStatus->setPanelText(0, QStringLiteral("Gotowe. Wiadomość zapisana w pliku ") +
                                      QDir::toNativeSeparators(exportName) + QLatin1Char('.'));
}

void ItemCommandsController::acPrintHeaderExecute()
{
    m_w.wbContent->PrintPage();
}

void ItemCommandsController::acCopyToClipBoardExecute()
{
    m_w.wbContent->CopySelection();
}

void ItemCommandsController::acSelectAllExecute()
{
    m_w.lvHeaders->selectAll();
}

void ItemCommandsController::acFindExecute()
{
    TfmFindFrm *dialog = m_w.fmFindFrm;
    if (!dialog || dialog->exec() != QDialog::Accepted)
        return;
    const QString what = dialog->what();
    if (what.trimmed().isEmpty())
        return;
    const int field = static_cast<int>(dialog->field());
    if (dialog->searchArchive()) {
        emit archiveFindRequested(field, what);
        return;
    }
    if (dialog->searchAllChannels()) {
        emit channelsFindRequested(field, what);
        return;
    }
    if (!findInList(field, what))
        m_boxes.information(m_w.window, TfmFindFrm::notFoundMessage(what),
                            MessageCaptions::Information);
}

void ItemCommandsController::acFindInChannelsExecute()
{
    if (m_w.fmFindFrm)
        m_w.fmFindFrm->setSearchAllChannels(true);
    acFindExecute();
}

bool ItemCommandsController::findInList(int field, const QString &text)
{
    const auto wanted = static_cast<TfmFindFrm::Field>(field);
    const QAbstractItemModel *view = m_w.lvHeaders->model(); // the rows, maybe behind a proxy
    QItemSelection matches;
    int first = -1, runStart = -1, runEnd = -1;
    auto closeRun = [&] {
        if (runStart >= 0)
            matches.append(QItemSelectionRange(view->index(runStart, 0),
                                               view->index(runEnd, view->columnCount() - 1)));
        runStart = -1;
    };
    for (int r = 0; r < m_rows.rowCount(); ++r) {
        const HeaderRow &row = m_rows.row(r);
        bool found = false;
        if (wanted == TfmFindFrm::Field::Title) {
            found = row.title.contains(text, Qt::CaseInsensitive);
        } else if (wanted == TfmFindFrm::Field::Author) {
            found = row.author.contains(text, Qt::CaseInsensitive);
        } else {
            // What the reader sees of the description: tags left out, references decoded.
            try {
                const XmlNode item = itemNode(row);
                const XmlNode description = item ? item.findChild(QStringLiteral("description")) : XmlNode();
                found = description && HtmlText::VisibleTextContains(description.text(), text);
            } catch (const std::exception &) {
                found = false;
            }
        }
        if (!found) {
            closeRun();
            continue;
        }
        if (first < 0)
            first = r;
        if (runStart < 0)
            runStart = r;
        runEnd = r;
    }
    closeRun();
    if (first < 0)
        return false;
    QItemSelectionModel *selection = m_w.lvHeaders->selectionModel();
    const QModelIndex firstIndex = view->index(first, 0);
    selection->setCurrentIndex(firstIndex, QItemSelectionModel::NoUpdate);
    selection->select(matches, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_w.lvHeaders->scrollTo(firstIndex);
    return true;
}

// The item commands at size, on a real header list in an offscreen window: marking 10,000
// selected rows read and unread, the find over a 10,000-item channel in each field, and the
// find over a 100,000-row archive, in the archive view and through the archive store with
// "Przeszukuj archiwum".
// Targets: under 0.3 s each.
#include "BenchData.h"
#include "base/UserFolder.h"
#include "kit/MainStatusBar.h"
#include "kit/MessageBoxes.h"
#include "archive/ArchiveItemDocument.h"
#include "archive/ArchiveStore.h"
#include "archive/ArchiveView.h"
#include "archive/forms/ArchiveController.h"
#include "catalogue/ChannelTree.h"
#include "feed/ReportSink.h"
#include "reading/HeaderListModel.h"
#include "reading/RowsOnShow.h"
#include "reading/ShownChannel.h"
#include "reading/forms/FindUnit.h"
#include "reading/forms/ItemCommandsController.h"
#include "xml/XmlDocument.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMainWindow>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <stdexcept>

namespace {

constexpr int Rounds = 5;
constexpr int ChannelItems = 10000;
constexpr int ArchiveRows = 100000;
const QString ChannelGuid = QStringLiteral("{0000BE4C-0000-4000-8000-000000000001}");

class StderrReport : public IReportSink
{
public:
    void ReportProblem(const QString &line) override
    {
        std::fprintf(stderr, "report: %s\n", qPrintable(line));
    }
};

// Counts the boxes instead of showing them: a find without a match says so in one.
class CountedBoxes : public IMessageBoxes
{
public:
    bool question(QWidget *, const QString &, const QString &) override { return false; }
    void information(QWidget *, const QString &, const QString &) override { ++shown; }
    void error(QWidget *, const QString &, const QString &text) override
    {
        std::fprintf(stderr, "error: %s\n", qPrintable(text));
        ++shown;
    }
    int shown = 0;
};

// Best wall time of `Rounds` runs, in milliseconds; `prepare` runs before each, untimed.
double bestMs(const std::function<void()> &prepare, const std::function<void()> &run)
{
    double best = 1e300;
    for (int i = 0; i < Rounds; ++i) {
        prepare();
        QElapsedTimer timer;
        timer.start();
        run();
        best = std::min(best, timer.nsecsElapsed() / 1e6);
    }
    return best;
}

void print(const char *what, double ms, const QString &note = QString())
{
    // Padded by letters, not bytes: the labels hold Polish ones.
    std::printf("  %s %8.1f ms  %s%s\n",
                qPrintable(QString::fromUtf8(what).leftJustified(52)), ms,
                ms < 300 ? "" : "OVER 0.3 s  ", qPrintable(note));
}

// The window part the commands need: the header list, the status bar, the find dialog.
class Bench
{
public:
    Bench() : m_folder(m_dir.path() + QLatin1Char('/'))
    {
        QDir().mkpath(m_dir.path() + QStringLiteral("/data"));
        m_window.resize(800, 600);
        m_lvHeaders = new QTreeView(&m_window);
        m_lvHeaders->setSelectionMode(QAbstractItemView::ExtendedSelection);
        m_lvHeaders->setSelectionBehavior(QAbstractItemView::SelectRows);
        m_lvHeaders->setUniformRowHeights(true);
        m_lvHeaders->setRootIsDecorated(false);
        m_lvHeaders->setModel(&m_rows);
        m_window.setCentralWidget(m_lvHeaders);
        m_sbStatus = new MainStatusBar(&m_window);
        m_window.setStatusBar(m_sbStatus);
        m_find = new TfmFindFrm(&m_window);
        ItemCommandsController::Widgets w;
        w.lvHeaders = m_lvHeaders;
        w.sbStatus = m_sbStatus;
        w.fmFindFrm = m_find;
        w.window = &m_window;
        m_commands = new ItemCommandsController(w, {}, m_onShow, m_folder, m_boxes, &m_window);
        QObject::connect(m_commands, &ItemCommandsController::archiveFindRequested,
                         [this](int field, const QString &text) {
                             if (m_archiveSide)
                                 m_archiveSide->findInArchive(field, text);
                         });
        m_window.show();
    }

    void showChannel()
    {
        if (!writeAll(m_folder.cacheFile(ChannelGuid), BenchCacheFile(ChannelItems, true)))
            throw std::runtime_error("cannot write the cache file");
        HeaderFill fill = m_shown.fillHeaders(ChannelGuid, QStringLiteral("Kanał"), QString(),
                                              false, m_folder, m_report);
        if (fill.outcome != HeaderFill::Outcome::Filled)
            throw std::runtime_error("the cache file did not fill the list");
        m_onShow.showChannel(m_shown, std::move(fill.rows));
    }

    void benchMarks()
    {
        showChannel();
        std::printf("read marks: %d rows of a channel, all selected\n", m_rows.rowCount());
        m_lvHeaders->selectAll();
        const double read =
            bestMs([this] { m_commands->acMarkAsUnreadExecute(); },
                   [this] { m_commands->acMarkAsReadExecute(); });
        print("mark as read (every row unread before)", read,
              QStringLiteral("%1 unread after").arg(unreadRows()));
        const double unread =
            bestMs([this] { m_commands->acMarkAsReadExecute(); },
                   [this] { m_commands->acMarkAsUnreadExecute(); });
        print("mark as unread (every row read before)", unread,
              QStringLiteral("%1 unread after").arg(unreadRows()));
    }

    // One find through the dialog, answered as a user would: the text, the field, OK.
    double find(const QString &text, const char *field, bool archive, int *selected)
    {
        const double ms = bestMs([] {},
                      [&] {
                          QTimer::singleShot(0, m_find, [&] {
                              m_find->findChild<QLineEdit *>(QStringLiteral("edWhat"))
                                  ->setText(text);
                              m_find->findChild<QRadioButton *>(QString::fromLatin1(field))
                                  ->setChecked(true);
                              m_find->findChild<QCheckBox *>(QStringLiteral("cbArch"))
                                  ->setChecked(archive);
                              m_find->btOKClick();
                          });
                          m_commands->acFindExecute();
                      });
        *selected = selectedRows();
        return ms;
    }

    void benchChannelFind()
    {
        showChannel();
        std::printf("find in the list: a channel of %d items\n", m_rows.rowCount());
        int selected = 0;
        double ms = find(QStringLiteral("ŁÓDŹ"), "cbTit", false, &selected);
        print("title, \"ŁÓDŹ\" in any letter case", ms, QStringLiteral("%1 rows").arg(selected));
        ms = find(QStringLiteral("gdańsk"), "cbAut", false, &selected);
        print("author, \"gdańsk\"", ms, QStringLiteral("%1 rows").arg(selected));
        ms = find(QStringLiteral("Żółw Sejm"), "cbDesc", false, &selected);
        print("description, \"Żółw Sejm\"", ms, QStringLiteral("%1 rows").arg(selected));
        const int before = m_boxes.shown;
        ms = find(QStringLiteral("nigdzie-nie-ma"), "cbDesc", false, &selected);
        print("description, no match", ms,
              QStringLiteral("%1 messages in %2 finds").arg(m_boxes.shown - before).arg(Rounds));
    }

    void benchArchiveFind()
    {
        const QString path = m_dir.path() + QStringLiteral("/data/archive.mdb");
        ArchiveStore::create(path);
        std::unique_ptr<ArchiveStore> store = ArchiveStore::open(path);
        std::vector<ArchiveRecord> records;
        records.reserve(ArchiveRows);
        for (int i = 0; i < ArchiveRows; ++i)
            records.push_back(BenchArchiveRow(i, QStringLiteral("0")));
        store->archiveTable().insert(records);
        records.clear();

        // The archive view of everything, as the header list shows it.
        ArchiveItemDocument items;
        ArchiveView view(*store, items, m_folder);
        m_onShow.showArchive(view, view.open(QString(), QString()));
        std::printf("find in the archive: %d rows, 200 channels\n", m_rows.rowCount());
        int selected = 0;
        double ms = find(QStringLiteral("NUMER 4242"), "cbTit", false, &selected);
        print("archive view, title, \"NUMER 4242\"", ms, QStringLiteral("%1 rows").arg(selected));
        ms = find(QStringLiteral("redakcja 7"), "cbAut", false, &selected);
        print("archive view, author, \"redakcja 7\"", ms, QStringLiteral("%1 rows").arg(selected));

        // "Przeszukuj archiwum": the archive controller's find through the store, one column,
        // a bound value; the rows it found fill the archive view.
        QToolButton showAll, addToArchive, archiveDelete;
        QTreeView categories;
        QCheckBox allArchiveFilter;
        QLineEdit keyWord;
        QAction acAddToArchive(nullptr), acArchiveDelete(nullptr);
        ChannelTree tree;
        ArchiveController::Widgets aw{&m_window,     &showAll,        &categories,
                                      &allArchiveFilter, &keyWord,    m_lvHeaders,
                                      &acAddToArchive, &acArchiveDelete, &addToArchive,
                                      &archiveDelete};
        ArchiveController archiveSide(aw, tree, m_onShow, *m_sbStatus, m_boxes, nullptr);
        archiveSide.setArchive(store.get(), &view);
        m_archiveSide = &archiveSide;
        ms = find(QStringLiteral("żółwiem"), "cbDesc", true, &selected);
        print("archive, description, \"żółwiem\"", ms,
              QStringLiteral("%1 rows listed").arg(m_rows.rowCount()));
        ms = find(QStringLiteral("REDAKCJA 36"), "cbAut", true, &selected);
        print("archive, author, \"REDAKCJA 36\"", ms,
              QStringLiteral("%1 rows listed").arg(m_rows.rowCount()));
        ms = find(QStringLiteral("numer 99999:"), "cbTit", true, &selected);
        print("archive, title, \"numer 99999:\"", ms,
              QStringLiteral("%1 rows listed").arg(m_rows.rowCount()));
        m_archiveSide = nullptr;
        m_onShow.clear();
    }

private:
    static bool writeAll(const QString &path, const QByteArray &bytes)
    {
        QFile file(path);
        return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
               file.write(bytes) == bytes.size();
    }
    int unreadRows() const
    {
        int n = 0;
        for (int r = 0; r < m_rows.rowCount(); ++r)
            n += m_rows.row(r).unread;
        return n;
    }
    int selectedRows() const
    {
        int n = 0;
        for (const QItemSelectionRange &range : m_lvHeaders->selectionModel()->selection())
            n += range.height();
        return n;
    }

    QTemporaryDir m_dir;
    UserFolder m_folder;
    QMainWindow m_window;
    QTreeView *m_lvHeaders = nullptr;
    MainStatusBar *m_sbStatus = nullptr;
    TfmFindFrm *m_find = nullptr;
    RowsOnShow m_onShow;
    HeaderListModel &m_rows = m_onShow.model();
    ShownChannel m_shown;
    StderrReport m_report;
    CountedBoxes m_boxes;
    ItemCommandsController *m_commands = nullptr;
    ArchiveController *m_archiveSide = nullptr;
};

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    try {
        Bench bench;
        bench.benchMarks();
        bench.benchChannelFind();
        bench.benchArchiveFind();
    } catch (const std::exception &e) {
        std::fprintf(stderr, "bench_commands: %s\n", e.what());
        return 1;
    }
    return 0;
}

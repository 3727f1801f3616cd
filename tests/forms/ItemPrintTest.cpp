// "Drukuj" as the reader gets it on paper: an item shown through the shipped style sheet and
// printed to a PDF file, read back with poppler's tools (package poppler-utils).

#include "ItemPageShow.h"
#include "SignalWait.h"
#include "base/UserFolder.h"
#include "kit/WebBrowser.h"
#include "reading/ItemDisplay.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace {

const QString ChannelGuid = QStringLiteral("{C0C0C0C0-1111-2222-3333-444444444444}");
const QString GuidA = QStringLiteral("{11111111-2222-3333-4444-555555555555}");

QByteArray itemDocument(const QByteArray &text)
{
    QByteArray escaped = text;
    escaped.replace('&', "&amp;").replace('<', "&lt;").replace('>', "&gt;");
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<?xml-stylesheet type=\"text/xsl\" href=\"rss_xslt.xsl\"?>\n"
           "<rss version=\"2.0\"><channel><title>Kanał</title><link>http://127.0.0.1:9/</link>"
           "<item GUID=\"" +
           GuidA.toLatin1() +
           "\"><title>Długa wiadomość</title><link>http://127.0.0.1:9/art</link><description>" +
           escaped + "</description><unread>1</unread></item></channel></rss>\n";
}

// What a poppler tool prints for the file; empty when it could not run.
QString poppler(const QString &tool, const QStringList &arguments)
{
    QProcess process;
    process.start(tool, arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return QString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

class ItemPrint : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        for (const char *tool : {"pdfinfo", "pdftotext"})
            ASSERT_FALSE(QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
                << tool << " missing: scripts/install-deps.sh installs poppler-utils";
        m_folder = UserFolder(m_dir.path());
        QDir().mkpath(m_folder.dataFolder());
        QFile::copy(QStringLiteral(KV_SOURCE_DIR "/data/") + ItemDisplay::Rss2Sheet,
                    m_folder.dataFolder() + ItemDisplay::Rss2Sheet);
        m_browser = std::make_unique<WebBrowser>();
        m_browser->resize(800, 600);
        m_browser->show();
    }

    // Shows the item and prints it as "Drukuj" does, the print dialog's choice being a PDF
    // file; the file's path, empty when printing failed.
    QString print(const QByteArray &text, const QString &name)
    {
        if (!writeAll(m_folder.cacheFile(ChannelGuid), itemDocument(text)) ||
            !ShowItemInPage(*m_browser, m_pages, m_folder, m_folder.cacheFile(ChannelGuid),
                            ItemDisplay::Rss2Sheet, GuidA,
                            ItemDisplay::ChannelItemAddress(m_folder, ChannelGuid, GuidA)))
            return QString();
        const QString pdf = m_dir.filePath(name);
        auto printer = std::make_shared<QPrinter>(QPrinter::HighResolution);
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(pdf);
        SignalCounter finished(m_browser.get(), &QWebEngineView::printFinished);
        m_browser->PrintTo(printer);
        // Laying out and printing the page takes the engine long on a busy machine.
        return finished.wait(90000) ? pdf : QString();
    }

    int pages(const QString &pdf)
    {
        const QRegularExpressionMatch m =
            QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(poppler("pdfinfo", {pdf}));
        return m.hasMatch() ? m.captured(1).toInt() : -1;
    }

    QTemporaryDir m_dir;
    UserFolder m_folder;
    std::unique_ptr<WebBrowser> m_browser;
    ItemPageRenderer m_pages;
};

TEST_F(ItemPrint, ALongItemPrintsEveryPageAsText)
{
    QByteArray text;
    for (int i = 1; i <= 120; ++i)
        text += "<p>Akapit " + QByteArray::number(i) +
                ": zażółć gęślą jaźń, a tekst płynie dalej przez kolejne strony wydruku.</p>";
    const QString pdf = print(text, QStringLiteral("dluga.pdf"));
    ASSERT_FALSE(pdf.isEmpty());
    EXPECT_GT(pages(pdf), 1);
    const QString printed = poppler("pdftotext", {pdf, QStringLiteral("-")});
    for (const char *expected : {"Długa wiadomość", "Akapit 1:", "Akapit 60:", "Akapit 120:"})
        EXPECT_TRUE(printed.contains(QString::fromUtf8(expected))) << expected;
}

TEST_F(ItemPrint, AShortItemGivesASmallPdfOfText)
{
    const QString pdf = print("<p>Krótka treść do druku.</p>", QStringLiteral("krotka.pdf"));
    ASSERT_FALSE(pdf.isEmpty());
    EXPECT_EQ(pages(pdf), 1);
    EXPECT_TRUE(poppler("pdftotext", {pdf, QStringLiteral("-")})
                    .contains(QStringLiteral("Krótka treść do druku.")));
    EXPECT_LT(QFileInfo(pdf).size(), 100 * 1024);
}

// For scripts/reading_shots.sh: prints the first item of the one channel in the per-user
// folder KV_PRINT_FOLDER to the PDF file KV_PRINT_PDF.
TEST(ItemPrintHelper, DISABLED_PrintFirstItem)
{
    const UserFolder folder(qEnvironmentVariable("KV_PRINT_FOLDER"));
    const QStringList caches =
        QDir(folder.dataFolder()).entryList({QStringLiteral("{*}.xml")}, QDir::Files);
    ASSERT_EQ(caches.size(), 1) << caches.join(' ').toStdString();
    const QString cache = folder.dataFolder() + caches.first();
    const QRegularExpressionMatch guid =
        QRegularExpression(QStringLiteral("GUID=\"(\\{[0-9A-F-]+\\})\""))
            .match(QString::fromUtf8(readAll(cache)));
    ASSERT_TRUE(guid.hasMatch());
    WebBrowser browser;
    browser.resize(1024, 768);
    browser.show();
    ItemPageRenderer pages;
    ASSERT_TRUE(ShowItemInPage(browser, pages, folder, cache, ItemDisplay::Rss2Sheet,
                               guid.captured(1), cache + QLatin1Char('#') + guid.captured(1)));
    auto printer = std::make_shared<QPrinter>(QPrinter::HighResolution);
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(qEnvironmentVariable("KV_PRINT_PDF"));
    SignalCounter finished(&browser, &QWebEngineView::printFinished);
    browser.PrintTo(printer);
    ASSERT_TRUE(finished.wait(90000));
}

} // namespace

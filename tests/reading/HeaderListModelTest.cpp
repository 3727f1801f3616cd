#include "reading/HeaderListModel.h"

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QItemSelectionModel>
#include <QPersistentModelIndex>
#include <QSignalSpy>

namespace {

HeaderRow makeRow(const QString &title, const QString &date, const QString &author, int id,
                  bool unread = false)
{
    HeaderRow row;
    row.title = title;
    row.date = date;
    row.author = author;
    row.id = id;
    row.guid = QStringLiteral("{G%1}").arg(id);
    row.chGuid = QStringLiteral("{CH}");
    row.version = QStringLiteral("2.0");
    row.chName = QStringLiteral("Kanał");
    row.unread = unread;
    return row;
}

std::vector<HeaderRow> sampleRows()
{
    return {makeRow(QStringLiteral("żaba"), QStringLiteral("2024-03-01"), QStringLiteral("Ola"), 0),
            makeRow(QStringLiteral("Ćma"), QStringLiteral("2023-12-31"), QStringLiteral("b.d."), 1),
            makeRow(QStringLiteral("ala"), QStringLiteral("Mon, 05 Jan 2004"), QStringLiteral("Zenon"), 2, true),
            makeRow(QStringLiteral("Zebra"), QStringLiteral("2024-01-15"), QStringLiteral("adam"), 3),
            makeRow(QStringLiteral("cebula"), QStringLiteral("b.d."), QStringLiteral("Łucja"), 4)};
}

QStringList column(const HeaderListModel &model, int c)
{
    QStringList texts;
    for (int r = 0; r < model.rowCount(); ++r)
        texts << model.index(r, c).data().toString();
    return texts;
}

QList<int> headerImages(const HeaderListModel &model)
{
    QList<int> images;
    for (int c = 0; c < model.columnCount(); ++c)
        images << model.headerData(c, Qt::Horizontal, HeaderListModel::ImageIndexRole).toInt();
    return images;
}

// What the model tester complains about; it reports through warnings.
QStringList testerFailures;
void collectFailures(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type != QtDebugMsg && message.contains(QLatin1String("FAIL")))
        testerFailures << message;
}

class HeaderListModelTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        testerFailures.clear();
        previousHandler = qInstallMessageHandler(collectFailures);
        model.setLocale(QLocale(QLocale::Polish, QLocale::Poland));
        tester = std::make_unique<QAbstractItemModelTester>(
            &model, QAbstractItemModelTester::FailureReportingMode::Warning);
    }
    void TearDown() override
    {
        tester.reset();
        qInstallMessageHandler(previousHandler);
        EXPECT_TRUE(testerFailures.isEmpty()) << qPrintable(testerFailures.join('\n'));
    }
    QtMessageHandler previousHandler = nullptr;
    HeaderListModel model;
    std::unique_ptr<QAbstractItemModelTester> tester;
};

TEST_F(HeaderListModelTest, ShowsEightColumnsWithCaptionsImagesAndHiddenKeys)
{
    model.setRows(sampleRows());
    ASSERT_EQ(model.columnCount(), 8);
    QStringList captions;
    for (int c = 0; c < 8; ++c)
        captions << model.headerData(c, Qt::Horizontal).toString();
    EXPECT_EQ(captions, (QStringList{"Tytuł:", "Data publikacji:", "Autor:", "ID", "GUID",
                                     "chGUID", "sVersion", "CHName"}));
    const int ala = column(model, ColTitle).indexOf("ala");
    ASSERT_GE(ala, 0);
    EXPECT_EQ(model.index(ala, ColTitle).data(HeaderListModel::ImageIndexRole).toInt(), 3);
    EXPECT_EQ(model.index(ala, ColId).data().toString(), "2");
    EXPECT_EQ(model.index(ala, ColGuid).data().toString(), "{G2}");
    EXPECT_EQ(model.index(ala, ColChGuid).data().toString(), "{CH}");
    EXPECT_EQ(model.index(ala, ColVersion).data().toString(), "2.0");
    EXPECT_EQ(model.index(ala, ColChName).data().toString(), "Kanał");
    EXPECT_EQ(model.index((ala + 1) % 5, ColTitle).data(HeaderListModel::ImageIndexRole).toInt(), 4);
    EXPECT_TRUE(model.flags(model.index(0, 0)) & Qt::ItemIsSelectable);
    EXPECT_FALSE(model.flags(model.index(0, 0)) & Qt::ItemIsEditable);
}

// Letters with diacritics sort where Polish puts them, whatever their case.
TEST_F(HeaderListModelTest, AFillSortsByTheStoredColumnInLocaleOrderIgnoringCase)
{
    model.setRows(sampleRows());
    EXPECT_EQ(column(model, ColTitle), (QStringList{"ala", "cebula", "Ćma", "Zebra", "żaba"}));
    EXPECT_EQ(headerImages(model), (QList<int>{6, -1, -1, -1, -1, -1, -1, -1}));

    model.setSortState(ColAuthor, true);
    model.setRows(sampleRows());
    EXPECT_EQ(column(model, ColAuthor), (QStringList{"Zenon", "Ola", "Łucja", "b.d.", "adam"}));
}

TEST_F(HeaderListModelTest, ColumnClicksFollowTheDirectionRules)
{
    model.setRows(sampleRows());
    QSignalSpy sorts(&model, &HeaderListModel::sortChanged);
    // Two clicks on the date column, starting from the title ascending.
    model.columnClicked(ColDate);
    EXPECT_EQ(model.sortColumn(), ColDate);
    EXPECT_FALSE(model.sortDescending());
    // Compared as text: year-month-day dates come in time order, other forms by their letters.
    EXPECT_EQ(column(model, ColDate), (QStringList{"2023-12-31", "2024-01-15", "2024-03-01",
                                                   "b.d.", "Mon, 05 Jan 2004"}));
    EXPECT_EQ(headerImages(model), (QList<int>{-1, 6, -1, -1, -1, -1, -1, -1}));
    model.columnClicked(ColDate);
    EXPECT_TRUE(model.sortDescending());
    EXPECT_EQ(column(model, ColDate), (QStringList{"Mon, 05 Jan 2004", "b.d.", "2024-03-01",
                                                   "2024-01-15", "2023-12-31"}));
    EXPECT_EQ(headerImages(model), (QList<int>{-1, 5, -1, -1, -1, -1, -1, -1}));
    // Another column keeps the direction, and image 5 moves there.
    model.columnClicked(ColAuthor);
    EXPECT_TRUE(model.sortDescending());
    EXPECT_EQ(headerImages(model), (QList<int>{-1, -1, 5, -1, -1, -1, -1, -1}));
    EXPECT_EQ(column(model, ColAuthor).first(), "Zenon");
    ASSERT_EQ(sorts.size(), 3);
    EXPECT_EQ(sorts.last().at(0).toInt(), int(ColAuthor));
    EXPECT_TRUE(sorts.last().at(1).toBool());
    // A stored column out of range falls back to the title.
    model.setSortState(12, false);
    EXPECT_EQ(model.sortColumn(), 0);
}

// Descending flips the comparison, not the order of equal rows: they stay in document order.
TEST_F(HeaderListModelTest, EqualRowsKeepDocumentOrderInBothDirections)
{
    std::vector<HeaderRow> rows;
    const QStringList dates{"2024-01-02", "2024-01-01", "2024-01-02", "2024-01-01", "2024-01-02"};
    for (int id = 0; id < dates.size(); ++id)
        rows.push_back(makeRow(QStringLiteral("t%1").arg(id), dates[id], QString(), id));
    for (const bool descending : {false, true}) {
        model.setSortState(ColDate, descending);
        model.setRows(rows);
        EXPECT_EQ(column(model, ColId), descending ? QStringList({"0", "2", "4", "1", "3"})
                                                   : QStringList({"1", "3", "0", "2", "4"}))
            << descending;
    }
}

// IDs are texts too: "10" comes before "9".
TEST_F(HeaderListModelTest, HiddenColumnsSortAsText)
{
    std::vector<HeaderRow> rows;
    for (int id : {9, 10, 100, 2})
        rows.push_back(makeRow(QStringLiteral("t"), QString(), QString(), id));
    model.setSortState(ColId, false);
    model.setRows(rows);
    EXPECT_EQ(column(model, ColId), (QStringList{"10", "100", "2", "9"}));
}

TEST_F(HeaderListModelTest, ASortKeepsTheSelectionOnItsRows)
{
    model.setRows(sampleRows());
    QItemSelectionModel selection(&model);
    const int zebra = column(model, ColTitle).indexOf("Zebra");
    const int ala = column(model, ColTitle).indexOf("ala");
    selection.select(model.index(zebra, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    selection.select(model.index(ala, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    selection.setCurrentIndex(model.index(zebra, 0), QItemSelectionModel::NoUpdate);
    const QPersistentModelIndex held(model.index(zebra, ColDate));

    model.columnClicked(ColTitle); // descending now
    EXPECT_EQ(column(model, ColTitle), (QStringList{"żaba", "Zebra", "Ćma", "cebula", "ala"}));
    QStringList selected;
    for (const QModelIndex &index : selection.selectedRows())
        selected << index.data().toString();
    selected.sort();
    EXPECT_EQ(selected, (QStringList{"Zebra", "ala"}));
    EXPECT_EQ(selection.currentIndex().data().toString(), "Zebra");
    EXPECT_EQ(held.data().toString(), "2024-01-15");
}

TEST_F(HeaderListModelTest, ArchiveRowsKeepTheirOrderUntilAClick)
{
    model.setRows(sampleRows(), HeaderListModel::RowSource::Archive);
    EXPECT_EQ(model.rowSource(), HeaderListModel::RowSource::Archive);
    EXPECT_EQ(column(model, ColTitle), (QStringList{"żaba", "Ćma", "ala", "Zebra", "cebula"}));
    model.columnClicked(ColTitle);
    EXPECT_EQ(column(model, ColTitle).first(), "żaba"); // the click flipped to descending
}

TEST_F(HeaderListModelTest, AMarkRepaintsOneRowAndReportsChannelRowsOnly)
{
    model.setRows(sampleRows());
    QSignalSpy changed(&model, &HeaderListModel::dataChanged);
    QSignalSpy unread(&model, &HeaderListModel::unreadChanged);
    const int ala = column(model, ColTitle).indexOf("ala");
    model.setUnread(ala, false);
    model.setUnread(ala, false); // no change, no signal
    ASSERT_EQ(changed.size(), 1);
    EXPECT_EQ(changed.at(0).at(0).toModelIndex().row(), ala);
    EXPECT_EQ(changed.at(0).at(1).toModelIndex().row(), ala);
    ASSERT_EQ(unread.size(), 1);
    EXPECT_EQ(unread.at(0).at(0).toString(), "{CH}");
    EXPECT_EQ(unread.at(0).at(1).toInt(), -1);
    EXPECT_EQ(model.index(ala, 0).data(HeaderListModel::ImageIndexRole).toInt(), 4);

    model.setRows(sampleRows(), HeaderListModel::RowSource::Archive);
    model.setUnread(0, true);
    EXPECT_EQ(unread.size(), 1);
}

} // namespace

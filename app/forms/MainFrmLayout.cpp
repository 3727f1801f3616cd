// Builds and arranges the main window's controls.

#include "kit/FocusMark.h"
#include "kit/ImageIndex.h"
#include "app/forms/MainFrmUnit.h"
#include "kit/MainStatusBar.h"
#include "kit/RemoteContentBar.h"
#include "kit/UiLook.h"
#include "kit/WebBrowser.h"
#include "app/StartTrace.h"
#include "catalogue/ChannelTree.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QSplitter>
#include <QTimer>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

// Below this window height the banner is hidden.
constexpr int ShortWindowHeight = 600;

namespace {

// Tabs of the left panel, drawn by the window. The active tab stands out: lighter, joined to
// its page, with a line of colour on top and a bold caption, so the user sees which list
// the panel shows.
class LeftPanelTabBar : public QTabBar
{
public:
    LeftPanelTabBar(const QList<QIcon> &images, QWidget *parent) : QTabBar(parent), m_images(images)
    {
        setDrawBase(false);
        setExpanding(false);
        // Both tabs stay in view in the narrow panel; a caption that does not fit is elided.
        setUsesScrollButtons(false);
        setElideMode(Qt::ElideRight);
        QFont small = font();
        small.setPointSizeF(qMin(small.pointSizeF(), 8.0));
        setFont(small);
    }

protected:
    QSize minimumTabSizeHint(int) const override { return QSize(26 + 40, 26); }

    QSize tabSizeHint(int index) const override
    {
        QFont bold = font(); // room for the caption when the tab is active
        bold.setBold(true);
        const QFontMetrics fm(bold);
        return QSize(fm.horizontalAdvance(tabText(index)) + 26 + 6, 26);
    }

    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        for (int i = 0; i < count(); ++i)
            drawTab(painter, i, tabRect(i));
    }

private:
    void drawTab(QPainter &painter, int index, const QRect &tab)
    {
        // The rectangle grown by 2 on every side and moved by -1 in both directions.
        const QRect area = tab.adjusted(-2, -2, 2, 2).translated(-1, -1);
        const bool active = index == currentIndex();
        painter.fillRect(area, UiLook::ground(active ? UiLook::DialogColour : UiLook::WindowColour));
        painter.setPen(UiLook::ground(UiLook::BorderColour));
        painter.drawLine(area.topRight() + QPoint(-1, 2), area.bottomRight() + QPoint(-1, -2));
        if (active)
            painter.fillRect(QRect(area.left() + 1, tab.top(), area.width() - 3, 3),
                             ActiveTabColour);
        const int image = index + 7;
        if (image < m_images.size())
            m_images.at(image).paint(
                &painter, QRect(tab.left() + 5 + index, tab.top() + 4 + 2 * index, 16, 16));
        painter.setPen(palette().color(QPalette::WindowText));
        QFont captionFont = font();
        captionFont.setBold(active);
        painter.setFont(captionFont);
        const QFontMetrics fm(captionFont);
        const QString caption = fm.elidedText(tabText(index), Qt::ElideRight, tab.width() - 26 - 4);
        painter.drawText(QPoint(tab.left() + 26, tab.top() + 6 + fm.ascent()), caption);
    }

    static inline const QColor ActiveTabColour{0, 0, 128};
    QList<QIcon> m_images;
};

class LeftPanelTabs : public QTabWidget
{
public:
    LeftPanelTabs(const QList<QIcon> &images, QWidget *parent) : QTabWidget(parent)
    {
        setTabBar(new LeftPanelTabBar(images, this));
    }
};

QToolButton *flatButton(const char *name, QWidget *parent)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoRaise(true);
    button->setCursor(Qt::PointingHandCursor);
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setIconSize(QSize(16, 16));
    return button;
}

QLabel *pictureLabel(const char *name, const QString &svg, const QSize &size, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setPixmap(UiLook::svgPixmap(svg, size, label->devicePixelRatioF()));
    label->setFixedSize(size);
    return label;
}

// A strip of fixed height holding a row of controls: the tool bars above the lists and the
// browser. The caller fills the row it gives back.
// In a short window the item gets this much height, for ten lines or more of its text,
// taken from the header list down to what the list keeps.
constexpr int ShortItemHeight = 232;
constexpr int ShortListHeight = 110;

QHBoxLayout *strip(QWidget *panel, const char *name, int height, const QMargins &margins,
                   int spacing)
{
    panel->setObjectName(QString::fromLatin1(name));
    panel->setFixedHeight(height);
    auto *row = new QHBoxLayout(panel);
    row->setContentsMargins(margins);
    row->setSpacing(spacing);
    return row;
}

} // namespace

QIcon TfmMainFrm::channelsImage(int index) const
{
    return index >= 0 && index < m_images.size() ? m_images.at(index) : QIcon();
}

void TfmMainFrm::buildImageList()
{
    const char *files[] = {"group",     "channel",  "group_open",   "unread",     "read",
                           "sort_desc", "sort_asc", "tab_channels", "tab_archive"};
    for (const char *file : files)
        m_images.append(UiLook::svgIcon(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(file))));
}

void TfmMainFrm::buildLayout()
{
    setObjectName(QStringLiteral("fmMainFrm"));
    resize(LeastSize);
    setMinimumSize(LeastSize);
    setAutoFillBackground(true);
    UiLook::setGround(this, UiLook::WindowColour);

    auto *central = new QWidget(this);
    central->setObjectName(QStringLiteral("pnCentral"));
    auto *column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(buildBanner());
    column->addWidget(buildMainTop());

    spLeft = new QSplitter(Qt::Horizontal, central);
    spLeft->setObjectName(QStringLiteral("spLeft"));
    spLeft->setChildrenCollapsible(false);
    spLeft->setHandleWidth(4);
    spLeft->addWidget(buildLeftPanel());
    spLeft->addWidget(buildMainPane());
    spLeft->setStretchFactor(0, 0);
    spLeft->setStretchFactor(1, 1);
    spLeft->setSizes({233, 567});
    auto *body = new QWidget(central);
    auto *bodyLayout = new QVBoxLayout(body);
    bodyLayout->setContentsMargins(4, 4, 4, 0);
    bodyLayout->addWidget(spLeft);
    column->addWidget(body, 1);
    setCentralWidget(central);

    sbStatus = new MainStatusBar(this);
    setStatusBar(sbStatus);
}

QWidget *TfmMainFrm::buildBanner()
{
    pnBanner = new QWidget(this);
    pnBanner->setObjectName(QStringLiteral("pnBanner"));
    pnBanner->setFixedHeight(81);
    auto *row = new QHBoxLayout(pnBanner);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);

    imLogo = pictureLabel("imLogo", QStringLiteral(":/icons/logo.svg"), QSize(280, 81), pnBanner);
    row->addWidget(imLogo);

    pnFiller = new QWidget(pnBanner);
    pnFiller->setObjectName(QStringLiteral("pnFiller"));
    pnFiller->setMinimumWidth(0);
    imFiller = new QLabel(pnFiller);
    imFiller->setObjectName(QStringLiteral("imFiller"));
    imFiller->setScaledContents(true);
    imFiller->setPixmap(UiLook::svgPixmap(QStringLiteral(":/icons/filler.svg"), QSize(8, 81), 1.0));
    pnTopMenu = new QWidget(pnFiller);
    pnTopMenu->setObjectName(QStringLiteral("pnTopMenu"));
    pnTopMenu->setFixedSize(314, 19);
    imTopMenu =
        pictureLabel("imTopMenu", QStringLiteral(":/icons/topmenu.svg"), QSize(314, 19), pnTopMenu);
    imLink1 =
        pictureLabel("imLink1", QStringLiteral(":/icons/link1.svg"), QSize(142, 20), pnTopMenu);
    imLink1->move(10, 0);
    imLink1->setFixedSize(142, 19);
    imLink1->setCursor(Qt::PointingHandCursor);
    imLink1->setToolTip(HomePageUrl);
    imLink1->installEventFilter(this);
    imLink2 =
        pictureLabel("imLink2", QStringLiteral(":/icons/link2.svg"), QSize(118, 18), pnTopMenu);
    imLink2->move(172, 1);
    imLink2->setCursor(Qt::PointingHandCursor);
    imLink2->setToolTip(HelpPageUrl);
    imLink2->installEventFilter(this);
    pnFiller->installEventFilter(this);
    row->addWidget(pnFiller, 1);

    imLogoEnd =
        pictureLabel("imLogoEnd", QStringLiteral(":/icons/logo_end.svg"), QSize(200, 81), pnBanner);
    row->addWidget(imLogoEnd);

    // The three banner panels repaint without flicker.
    for (QWidget *w : {pnBanner, pnFiller, pnTopMenu})
        w->setAttribute(Qt::WA_OpaquePaintEvent, false);
    return pnBanner;
}

QWidget *TfmMainFrm::buildMainTop()
{
    pnMainTop = new QWidget(this);
    auto *row = strip(pnMainTop, "pnMainTop", 33, QMargins(6, 2, 8, 2), 4);
    pnMainTop->setAutoFillBackground(true);
    UiLook::setGround(pnMainTop, UiLook::DialogColour);
    spAddChannel = flatButton("spAddChannel", pnMainTop);
    spRefresh = flatButton("spRefresh", pnMainTop);
    spRefreshAll = flatButton("spRefreshAll", pnMainTop);
    for (QToolButton *b : {spAddChannel, spRefresh, spRefreshAll})
        row->addWidget(b);
    row->addStretch(1);
    lbName = new QLabel(pnMainTop);
    lbName->setObjectName(QStringLiteral("lbName"));
    lbName->setTextFormat(Qt::PlainText);
    QFont bold = lbName->font();
    bold.setBold(true);
    lbName->setFont(bold);
    lbName->hide();
    row->addWidget(lbName);
    return pnMainTop;
}

QWidget *TfmMainFrm::buildLeftPanel()
{
    pcLeftPanel = new LeftPanelTabs(m_images, this);
    pcLeftPanel->setObjectName(QStringLiteral("pcLeftPanel"));
    pcLeftPanel->setDocumentMode(false);
    pcLeftPanel->setMinimumWidth(180);
    pcLeftPanel->resize(233, pcLeftPanel->height());

    tsChannels = new QWidget(pcLeftPanel);
    tsChannels->setObjectName(QStringLiteral("tsChannels"));
    auto *channels = new QVBoxLayout(tsChannels);
    channels->setContentsMargins(0, 0, 0, 0);
    channels->setSpacing(0);
    pnChannelsTop = new QWidget(tsChannels);
    auto *channelStrip = strip(pnChannelsTop, "pnChannelsTop", 27, QMargins(3, 1, 3, 1), 2);
    sbChannelsAdd = flatButton("sbChannelsAdd", pnChannelsTop);
    sbChannelsAdd->setToolButtonStyle(Qt::ToolButtonIconOnly);
    sbChannelsAdd->setIcon(UiLook::svgIcon(QStringLiteral(":/icons/add.svg")));
    sbChannelsAdd->setToolTip(QStringLiteral("Dodaj kanał lub grupę"));
    sbChannelsDelete = flatButton("sbChannelsDelete", pnChannelsTop);
    sbChannelsDelete->setToolButtonStyle(Qt::ToolButtonIconOnly);
    SpeedButton1 = flatButton("SpeedButton1", pnChannelsTop);
    SpeedButton1->setToolButtonStyle(Qt::ToolButtonIconOnly);
    for (QToolButton *b : {sbChannelsAdd, sbChannelsDelete, SpeedButton1})
        channelStrip->addWidget(b);
    channelStrip->addStretch(1);
    channels->addWidget(pnChannelsTop);

    tvChannels = new QTreeView(tsChannels);
    tvChannels->setObjectName(QStringLiteral("tvChannels"));
    tvChannels->setHeaderHidden(true);
    tvChannels->setIndentation(19);
    tvChannels->setContextMenuPolicy(Qt::CustomContextMenu);
    tvChannels->setSelectionMode(QAbstractItemView::SingleSelection);
    tvChannels->setEditTriggers(QAbstractItemView::EditKeyPressed |
                                QAbstractItemView::SelectedClicked);
    tvChannels->setDragDropMode(QAbstractItemView::InternalMove);
    tvChannels->setDragEnabled(true);
    tvChannels->setAcceptDrops(true);
    tvChannels->setDropIndicatorShown(true);
    UiLook::keepSelectionVisible(tvChannels);
    FocusMark::install(tvChannels);
    channels->addWidget(tvChannels, 1);
    pcLeftPanel->addTab(tsChannels, QStringLiteral("Kanały informacyjne"));

    tsArchive = new QWidget(pcLeftPanel);
    tsArchive->setObjectName(QStringLiteral("tsArchive"));
    auto *archive = new QVBoxLayout(tsArchive);
    archive->setContentsMargins(0, 0, 0, 0);
    archive->setSpacing(0);
    auto *archiveTop = new QWidget(tsArchive);
    auto *archiveStrip = strip(archiveTop, "pnArchiveTop", 27, QMargins(1, 1, 1, 1), -1);
    sbShowAllArchive = flatButton("sbShowAllArchive", archiveTop);
    sbShowAllArchive->setText(QStringLiteral("&Pokaż wszystkie nagłówki z archiwum"));
    sbShowAllArchive->setToolTip(QStringLiteral("Pokazuje całą zawartość archiwum"));
    sbShowAllArchive->setStatusTip(QStringLiteral("Pokazuje całą zawartość archiwum"));
    // The long caption has to fit the narrow panel whole: the tabs' small font, no glyph.
    sbShowAllArchive->setToolButtonStyle(Qt::ToolButtonTextOnly);
    QFont small = sbShowAllArchive->font();
    small.setPointSizeF(qMin(small.pointSizeF(), 8.0));
    sbShowAllArchive->setFont(small);
    archiveStrip->addWidget(sbShowAllArchive);
    archiveStrip->addStretch(1);
    archive->addWidget(archiveTop);
    lvArchiveCategories = new QTreeView(tsArchive);
    lvArchiveCategories->setObjectName(QStringLiteral("lvArchiveCategories"));
    lvArchiveCategories->setRootIsDecorated(false);
    lvArchiveCategories->setUniformRowHeights(true);
    lvArchiveCategories->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Its model and columns are the archive controller's.
    UiLook::keepSelectionVisible(lvArchiveCategories);
    FocusMark::install(lvArchiveCategories);
    archive->addWidget(lvArchiveCategories, 1);
    pcLeftPanel->addTab(tsArchive, QStringLiteral("Archiwum"));
    return pcLeftPanel;
}

QWidget *TfmMainFrm::buildMainPane()
{
    pnMainPane = new QWidget(this);
    pnMainPane->setObjectName(QStringLiteral("pnMainPane"));
    auto *paneLayout = new QVBoxLayout(pnMainPane);
    paneLayout->setContentsMargins(0, 0, 0, 0);
    spMain = new QSplitter(Qt::Vertical, pnMainPane);
    spMain->setObjectName(QStringLiteral("spMain"));
    spMain->setHandleWidth(2);
    spMain->setChildrenCollapsible(false);
    paneLayout->addWidget(spMain);

    pnTop = new QWidget(spMain);
    pnTop->setObjectName(QStringLiteral("pnTop"));
    auto *top = new QVBoxLayout(pnTop);
    top->setContentsMargins(0, 0, 0, 0);
    top->setSpacing(0);
    pnFind = new QWidget(pnTop);
    auto *find = strip(pnFind, "pnFind", 34, QMargins(6, 4, 6, 4), 6);
    imFilterIcon =
        pictureLabel("imFilterIcon", QStringLiteral(":/icons/filter.svg"), QSize(16, 16), pnFind);
    lbKeyWord = new QLabel(QStringLiteral("Filtruj, słowo kluczowe:"), pnFind);
    lbKeyWord->setObjectName(QStringLiteral("lbKeyWord"));
    edKeyWord = new QLineEdit(pnFind);
    edKeyWord->setObjectName(QStringLiteral("edKeyWord"));
    edKeyWord->setClearButtonEnabled(true);
    lbKeyWord->setBuddy(edKeyWord);
    btFilter = new QPushButton(QStringLiteral("&Filtruj"), pnFind);
    btFilter->setObjectName(QStringLiteral("btFilter"));
    btFilter->setFlat(true);
    btFilter->setCursor(Qt::PointingHandCursor);
    btFilter->setProperty("tag", 0);
    cbAllArchiveFilter = new QCheckBox(QStringLiteral("Całe archiwum"), pnFind);
    cbAllArchiveFilter->setObjectName(QStringLiteral("cbAllArchiveFilter"));
    cbAllArchiveFilter->hide();
    find->addWidget(imFilterIcon);
    find->addWidget(lbKeyWord);
    find->addWidget(edKeyWord, 1);
    find->addWidget(btFilter);
    cbUnreadOnly = new QCheckBox(QStringLiteral("tylko &nieprzeczytane"), pnFind);
    cbUnreadOnly->setObjectName(QStringLiteral("cbUnreadOnly"));
    find->addWidget(cbUnreadOnly);
    find->addWidget(cbAllArchiveFilter);
    top->addWidget(pnFind);

    lvHeaders = new QTreeView(pnTop);
    lvHeaders->setObjectName(QStringLiteral("lvHeaders"));
    lvHeaders->setRootIsDecorated(false);
    lvHeaders->setUniformRowHeights(true);
    lvHeaders->setAlternatingRowColors(true);
    lvHeaders->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lvHeaders->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvHeaders->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvHeaders->setContextMenuPolicy(Qt::CustomContextMenu);
    lvHeaders->setAllColumnsShowFocus(true);
    lvHeaders->setItemDelegate(new GridLinesDelegate(lvHeaders));
    UiLook::keepSelectionVisible(lvHeaders);
    FocusMark::install(lvHeaders);
    top->addWidget(lvHeaders, 1);

    pnBottom = new QWidget(spMain);
    pnBottom->setObjectName(QStringLiteral("pnBottom"));
    auto *bottom = new QVBoxLayout(pnBottom);
    bottom->setContentsMargins(0, 0, 0, 0);
    bottom->setSpacing(0);
    pnBrowswerButtons = new QWidget(pnBottom);
    auto *buttons = strip(pnBrowswerButtons, "pnBrowswerButtons", 33, QMargins(4, 3, 4, 3), 2);
    spBack = flatButton("spBack", pnBrowswerButtons);
    spBack->setText(QStringLiteral("Wstecz"));
    spBack->setToolTip(QStringLiteral("Przeglądarka WWW: Wstecz"));
    spBack->setStatusTip(QStringLiteral("Przeglądarka WWW: Wstecz"));
    spBack->setIcon(UiLook::svgIcon(QStringLiteral(":/icons/back.svg")));
    spBack->setEnabled(false);
    spForward = flatButton("spForward", pnBrowswerButtons);
    spForward->setText(QStringLiteral("Dalej"));
    spForward->setToolTip(QStringLiteral("Przeglądarka WWW: Dalej"));
    spForward->setStatusTip(QStringLiteral("Przeglądarka WWW: Dalej"));
    spForward->setIcon(UiLook::svgIcon(QStringLiteral(":/icons/forward.svg")));
    spForward->setEnabled(false);
    spNewWindow = flatButton("spNewWindow", pnBrowswerButtons);
    sbAddToArchive = flatButton("sbAddToArchive", pnBrowswerButtons);
    sbArchiveDelete = flatButton("sbArchiveDelete", pnBrowswerButtons);
    for (QToolButton *b : {spBack, spForward, spNewWindow, sbAddToArchive, sbArchiveDelete})
        buttons->addWidget(b);
    buttons->addStretch(1);
    pnAmination = new QWidget(pnBrowswerButtons);
    pnAmination->setObjectName(QStringLiteral("pnAmination"));
    pnAmination->setFixedWidth(80);
    buttons->addWidget(pnAmination);
    bottom->addWidget(pnBrowswerButtons);

    StartMark("browser to make");
    wbContent = new WebBrowser(pnBottom);
    StartMark("browser made");
    wbContent->setObjectName(QStringLiteral("wbContent"));
    wbContent->setMinimumHeight(60);
    pnRemoteContent = new RemoteContentBar(wbContent, pnBottom);
    bottom->addWidget(pnRemoteContent);
    bottom->addWidget(wbContent, 1);

    spMain->addWidget(pnTop);
    spMain->addWidget(pnBottom);
    spMain->setStretchFactor(0, 0);
    spMain->setStretchFactor(1, 1);
    spMain->setSizes({179, 300});
    return pnMainPane;
}

QString TfmMainFrm::statusPanelText(int panel) const
{
    return sbStatus->panelText(panel);
}

void TfmMainFrm::setStatusPanelText(int panel, const QString &text)
{
    sbStatus->setPanelText(panel, text);
}

void TfmMainFrm::FormResize()
{
    if (sbStatus)
        sbStatus->fitToWindowWidth(width());
    // A short window gives the banner's height, and some of the list's, to the item.
    const bool tall = height() >= ShortWindowHeight;
    if (!pnBanner || pnBanner->isHidden() != tall)
        return;
    pnBanner->setVisible(tall);
    if (!tall)
        QTimer::singleShot(0, this, [this] {
            // Once laid out without the banner.
            if (height() >= ShortWindowHeight)
                return;
            QList<int> sizes = spMain->sizes();
            const int need = ShortItemHeight - wbContent->height();
            const int spare = sizes.value(0) - ShortListHeight;
            if (sizes.size() != 2 || need <= 0 || spare <= 0)
                return;
            sizes[0] -= qMin(need, spare);
            sizes[1] += qMin(need, spare);
            spMain->setSizes(sizes);
        });
}

void TfmMainFrm::pnFillerResize()
{
    if (!pnFiller)
        return;
    imFiller->setGeometry(0, 0, pnFiller->width(), pnFiller->height());
    const int left = (pnFiller->width() - pnTopMenu->width()) / 2;
    pnTopMenu->move(left, pnFiller->height() - pnTopMenu->height() - 8);
}

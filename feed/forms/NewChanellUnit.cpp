#include "feed/forms/NewChanellUnit.h"

#include "kit/MessageBoxes.h"
#include "kit/UiLook.h"
#include "catalogue/ChannelTree.h"
#include "catalogue/ChannelTreeOps.h"
#include "feed/ChannelProbe.h"
#include "feed/DocumentDownloader.h"
#include "feed/ProviderList.h"
#include "base/FileReplace.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

const QString ReadyText = QStringLiteral("Gotowe");

// Row icons of the list: the model's image index mapped to the pictures of ilIcons.
class ImageIndexIcons : public QIdentityProxyModel
{
public:
    using QIdentityProxyModel::QIdentityProxyModel;
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (role == Qt::DecorationRole && index.column() == ProviderListModel::ColName) {
            static const QIcon icons[2] = {UiLook::svgIcon(QStringLiteral(":/icons/channel.svg")),
                                           UiLook::svgIcon(QStringLiteral(":/icons/group.svg"))};
            const int i = QIdentityProxyModel::data(index, ProviderListModel::ImageIndexRole).toInt();
            return icons[i == 1 ? 1 : 0];
        }
        return QIdentityProxyModel::data(index, role);
    }
};

QLabel *label(const char *name, const QString &text, QWidget *parent)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(QString::fromLatin1(name));
    return l;
}

} // namespace

TfmNewChannelFrm::TfmNewChannelFrm(const NewChannelFrmEnv &env, QWidget *parent)
    : ProgramDialog(parent), m_env(env)
{
    setObjectName(QStringLiteral("fmNewChannelFrm"));
    FormCreate();
}

IMessageBoxes &TfmNewChannelFrm::boxes() const
{
    return m_env.messageBoxes ? *m_env.messageBoxes : MessageBoxes::standard();
}

void TfmNewChannelFrm::FormCreate()
{
    setWindowTitle(QStringLiteral("Dodaj nowy kanał RSS:"));
    m_rows = new ProviderListModel(this);
    buildControls();
    fixSizeAtLeast(QSize(322, 358));
    enableKeyPreview();
    lvChannels->viewport()->installEventFilter(this);
}

void TfmNewChannelFrm::buildControls()
{
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(8, 6, 8, 0);
    column->setSpacing(4);

    Label1 = label("Label1", QStringLiteral("Aby dodać kanał wystarczy, że podasz jego adres lub"),
                   this);
    Label2 = label("Label2", QStringLiteral(" wybierzesz interesujące Cię pozycje z listy"), this);
    column->addWidget(Label1);
    column->addWidget(Label2);

    pgMain = new QTabWidget(this);
    pgMain->setObjectName(QStringLiteral("pgMain"));
    pgMain->setIconSize(QSize(16, 16));
    tsEnterName = buildAddressPage();
    tsList = buildListPage();
    pgMain->addTab(tsEnterName, UiLook::svgIcon(QStringLiteral(":/icons/edit.svg")),
                   QStringLiteral("&Wpisz adres kanału"));
    pgMain->addTab(tsList, UiLook::svgIcon(QStringLiteral(":/icons/tab_channels.svg")),
                   QStringLiteral("Dodaj &kanały z listy"));
    pgMain->setCurrentIndex(PageList);
    column->addWidget(pgMain, 1);

    Label3 = label("Label3", QStringLiteral("Jeśli kanał wymaga uwierzytelniania:"), this);
    column->addWidget(Label3);
    auto *credentials = new QGridLayout;
    credentials->setHorizontalSpacing(6);
    Label4 = label("Label4", QStringLiteral("Użytkownik:"), this);
    Label5 = label("Label5", QStringLiteral("Hasło:"), this);
    edUserName = new QLineEdit(this);
    edUserName->setObjectName(QStringLiteral("edUserName"));
    edPassword = new QLineEdit(this);
    edPassword->setObjectName(QStringLiteral("edPassword"));
    edPassword->setEchoMode(QLineEdit::Password);
    credentials->addWidget(Label4, 0, 0);
    credentials->addWidget(edUserName, 0, 1);
    credentials->addWidget(Label5, 1, 0);
    credentials->addWidget(edPassword, 1, 1);
    column->addLayout(credentials);

    cbBalloonAlerts = new QCheckBox(
        QStringLiteral("Po synchronizacji informuj o nowych wiadomościach"), this);
    cbBalloonAlerts->setObjectName(QStringLiteral("cbBalloonAlerts"));
    cbBalloonAlerts->setChecked(true);
    column->addWidget(cbBalloonAlerts);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    btCancel = UiLook::flatPushButton("btCancel", QStringLiteral("&Anuluj"), this, 90);
    btNext = UiLook::flatPushButton("btNext", QStringLiteral("&Subskrybuj"), this, 90);
    btNext->setEnabled(false);
    buttons->addWidget(btCancel);
    buttons->addWidget(btNext);
    column->addLayout(buttons);

    buildStatusBar();
    column->addWidget(sbStatus);

    pnProgress = new QWidget(this);
    pnProgress->setObjectName(QStringLiteral("pnProgress"));
    pnProgress->setAutoFillBackground(true);
    pnProgress->setStyleSheet(
        QStringLiteral("#pnProgress { background: #ffffff; border: 1px solid #b2b9c4; }"));
    auto *progressRow = new QHBoxLayout(pnProgress);
    auto *picture = new QLabel(pnProgress);
    picture->setPixmap(UiLook::svgPixmap(QStringLiteral(":/icons/sync.svg"), QSize(24, 24),
                                         devicePixelRatioF()));
    auto *progressText =
        new QLabel(QStringLiteral("Zbieranie wymaganych informacji ...      "), pnProgress);
    progressText->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    progressRow->addWidget(picture);
    progressRow->addWidget(progressText, 1);
    pnProgress->hide();

    connect(pgMain, &QTabWidget::currentChanged, this, &TfmNewChannelFrm::pgMainChange);
    connect(edURL, &QLineEdit::textChanged, this, &TfmNewChannelFrm::edURLChange);
    connect(edUserName, &QLineEdit::textChanged, this, &TfmNewChannelFrm::edUserNameChange);
    connect(edPassword, &QLineEdit::textChanged, this, &TfmNewChannelFrm::edPasswordChange);
    connect(cbBalloonAlerts, &QCheckBox::toggled, this, &TfmNewChannelFrm::cbBalloonAlertsClick);
    connect(btNext, &QPushButton::clicked, this, &TfmNewChannelFrm::btNextClick);
    connect(btCancel, &QPushButton::clicked, this, &TfmNewChannelFrm::btCancelClick);
    connect(lvChannels, &QTableView::clicked, this, &TfmNewChannelFrm::lvChannelsClick);
    connect(m_rows, &QAbstractItemModel::modelReset, this, &TfmNewChannelFrm::lvChannelsChange);
    connect(m_rows, &QAbstractItemModel::dataChanged, this, [this] {
        m_tickedByPress = true;
        if (!m_filling)
            lvChannelsChange();
    });
    connect(lvChannels->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &TfmNewChannelFrm::lvChannelsChange);
}

QWidget *TfmNewChannelFrm::buildAddressPage()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("tsEnterName"));
    auto *layout = new QVBoxLayout(page);
    layout->addWidget(new QLabel(QStringLiteral("Adres URL:"), page));
    edURL = new QLineEdit(QStringLiteral("http://"), page);
    edURL->setObjectName(QStringLiteral("edURL"));
    layout->addWidget(edURL);
    layout->addStretch(1);
    return page;
}

QWidget *TfmNewChannelFrm::buildListPage()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("tsList"));
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(2, 2, 2, 2);
    lvChannels = new QTableView(page);
    lvChannels->setObjectName(QStringLiteral("lvChannels"));
    auto *icons = new ImageIndexIcons(this);
    icons->setSourceModel(m_rows);
    lvChannels->setModel(icons);
    lvChannels->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvChannels->setSelectionMode(QAbstractItemView::SingleSelection);
    lvChannels->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvChannels->setShowGrid(true);
    lvChannels->setWordWrap(false);
    lvChannels->verticalHeader()->hide();
    lvChannels->verticalHeader()->setDefaultSectionSize(20);
    lvChannels->setMouseTracking(true);
    lvChannels->viewport()->setCursor(Qt::PointingHandCursor);
    lvChannels->setStyleSheet(
        QStringLiteral("QTableView::item:hover { text-decoration: underline; }"));
    QHeaderView *header = lvChannels->horizontalHeader();
    header->setHighlightSections(false);
    header->setSectionResizeMode(ProviderListModel::ColName, QHeaderView::Stretch);
    header->setSectionResizeMode(ProviderListModel::ColAuth, QHeaderView::Fixed);
    // The designed width, or the caption's where this system's font needs more.
    const QString authCaption =
        m_rows->headerData(ProviderListModel::ColAuth, Qt::Horizontal).toString();
    header->resizeSection(ProviderListModel::ColAuth,
                          qMax(94, header->fontMetrics().horizontalAdvance(authCaption) + 16));
    for (int c = ProviderListModel::ColUrl; c < ProviderListModel::ColumnCount; ++c)
        lvChannels->setColumnHidden(c, true);
    UiLook::keepSelectionVisible(lvChannels);
    layout->addWidget(lvChannels);
    return page;
}

void TfmNewChannelFrm::buildStatusBar()
{
    sbStatus = new QStatusBar(this);
    sbStatus->setObjectName(QStringLiteral("sbStatus"));
    sbStatus->setSizeGripEnabled(false);
    statusPanel0 = new QLabel(ReadyText, sbStatus);
    statusPanel0->setObjectName(QStringLiteral("sbStatusPanel0"));
    statusPanel0->setFixedWidth(150);
    statusPanel1 = new QLabel(sbStatus);
    statusPanel1->setObjectName(QStringLiteral("sbStatusPanel1"));
    statusPanel1->setMinimumWidth(50);
    sbStatus->addWidget(statusPanel0);
    sbStatus->addWidget(statusPanel1, 1);
    pbDownloadProgress = new QProgressBar(sbStatus);
    pbDownloadProgress->setObjectName(QStringLiteral("pbDownloadProgress"));
    pbDownloadProgress->setRange(1, 10001);
    pbDownloadProgress->setTextVisible(false);
    pbDownloadProgress->setStyleSheet(QStringLiteral(
        "QProgressBar { border: 1px solid #b2b9c4; background: #f2f3f5; }"
        "QProgressBar::chunk { background: qlineargradient(x1:0, y1:0, x2:1, y2:0,"
        " stop:0 #000080, stop:1 #f2f3f5); }"));
    pbDownloadProgress->hide();
}

void TfmNewChannelFrm::placeOverlays()
{
    // The bar starts where panel 0 ends, 2 pixels from the top, two short of the bar's height.
    pbDownloadProgress->setGeometry(statusPanel0->geometry().right() + 4, 2,
                                    qMax(20, sbStatus->width() - statusPanel0->width() - 12),
                                    qMax(4, sbStatus->height() - 2));
    const QRect pages = pgMain->geometry();
    const int height = 44;
    pnProgress->setGeometry(pages.left() + 12, pages.center().y() - height / 2,
                            pages.width() - 24, height);
    pnProgress->raise();
}

void TfmNewChannelFrm::resizeEvent(QResizeEvent *event)
{
    ProgramDialog::resizeEvent(event);
    placeOverlays();
}

void TfmNewChannelFrm::showEvent(QShowEvent *event)
{
    ProgramDialog::showEvent(event);
    placeOverlays();
    FormShow();
}

void TfmNewChannelFrm::FormShow()
{
    m_showGuid.clear();
    edURL->setText(QStringLiteral("http://"));
    if (!m_startAddress.isEmpty()) {
        // Opened for an address handed to the program: its page, the address typed in.
        const QSignalBlocker quiet(pgMain);
        pgMain->setCurrentIndex(PageEnterName);
        edURL->setText(m_startAddress);
        m_startAddress.clear();
    }
    pnProgress->hide();
    pgMain->setEnabled(true);
    if (pgMain->currentIndex() == PageList)
        pgMainChange(PageList);
    else
        pgMainChange(PageEnterName);
}

void TfmNewChannelFrm::pgMainChange(int page)
{
    if (page == PageEnterName) {
        edURLChange();
        // The page is there to type an address: the keys go on after its "http://".
        edURL->setFocus(Qt::OtherFocusReason);
        edURL->end(false);
        return;
    }
    pgMain->setEnabled(false);
    LoadChannelsList(m_env.channelsListUrl ? m_env.channelsListUrl() : QString());
    pgMain->setEnabled(true);
}

void TfmNewChannelFrm::edURLChange()
{
    if (pgMain->currentIndex() != PageEnterName)
        return;
    btNext->setEnabled(!m_probing && AddressCanBeSubscribed(edURL->text()));
}

void TfmNewChannelFrm::lvChannelsChange()
{
    if (pgMain->currentIndex() != PageList)
        return;
    btNext->setEnabled(!m_probing && m_rows->rowCount() > 0);
    const int row = selectedRow();
    if (row < 0)
        return;
    const ProviderListModel::Row &r = m_rows->rows()[size_t(row)];
    m_filling = true;
    edUserName->setText(r.user);
    edPassword->setText(r.pass);
    cbBalloonAlerts->setChecked(r.check == QLatin1String("1"));
    m_filling = false;
}

void TfmNewChannelFrm::lvChannelsClick(const QModelIndex &index)
{
    const int row = index.row();
    if (!index.isValid() || row >= m_rows->rowCount() || !m_rows->rows()[size_t(row)].isGroup())
        return;
    // A click on the tick box has already turned the group's tick over.
    if (m_tickedByPress)
        return;
    m_rows->setGroupTicked(row, !m_rows->rows()[size_t(row)].ticked);
}

bool TfmNewChannelFrm::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == lvChannels->viewport() && event->type() == QEvent::MouseButtonPress)
        m_tickedByPress = false;
    return ProgramDialog::eventFilter(watched, event);
}

void TfmNewChannelFrm::edUserNameChange()
{
    const int row = selectedRow();
    if (!m_filling && row >= 0)
        m_rows->setSubItem(row, ProviderListModel::ColUser, edUserName->text());
}

void TfmNewChannelFrm::edPasswordChange()
{
    const int row = selectedRow();
    if (!m_filling && row >= 0)
        m_rows->setSubItem(row, ProviderListModel::ColPass, edPassword->text());
}

void TfmNewChannelFrm::cbBalloonAlertsClick()
{
    const int row = selectedRow();
    if (!m_filling && row >= 0)
        m_rows->setSubItem(row, ProviderListModel::ColCheck,
                           cbBalloonAlerts->isChecked() ? QStringLiteral("1")
                                                        : QStringLiteral("0"));
}

int TfmNewChannelFrm::selectedRow() const
{
    // Typed credentials belong to a row only while the list is on show.
    if (pgMain->currentIndex() != PageList)
        return -1;
    const QModelIndex current = lvChannels->selectionModel()->currentIndex();
    if (!current.isValid() || !lvChannels->selectionModel()->isRowSelected(current.row(), {}))
        return -1;
    return current.row();
}

bool TfmNewChannelFrm::copyShippedList(const QString &name)
{
    for (const QString &folder : m_env.shippedDataFolders) {
        QFile file(QDir(folder).filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        try {
            WriteFileAtomically(m_env.listFile, file.readAll(), Durability::Unsynced);
            return true;
        } catch (const FileError &) {
            return false;
        }
    }
    return false;
}

void TfmNewChannelFrm::LoadChannelsList(const QString &address)
{
    lvChannels->setUpdatesEnabled(false);
    m_rows->clear();
    const QString name = ShippedListName(address);
    if (!name.isEmpty()) {
        copyShippedList(name);
    } else {
        try {
            m_env.downloader->DownloadDocument(address, m_env.listFile, this, QString(),
                                               QString());
        } catch (...) {
        }
    }
    if (!QFile::exists(m_env.listFile)) {
        lvChannels->setUpdatesEnabled(true);
        boxes().error(this, QStringLiteral("Nie powiodło się pobieranie listy kanałów z serwera."),
                      MessageCaptions::Error);
        takeFocusBack();
        return;
    }
    try {
        const ChannelTree &tree = *m_env.tree;
        m_rows->setEntries(ReadProviderList(m_env.listFile),
                           [&tree](const QString &url) { return IsSubscribed(tree, url); });
    } catch (const std::exception &) {
        lvChannels->setUpdatesEnabled(true);
        boxes().error(this, QStringLiteral("Lista kanałów pobrana z serwera jest nieczytelna."),
                      MessageCaptions::Error);
        takeFocusBack();
        return;
    }
    lvChannels->setUpdatesEnabled(true);
}

void TfmNewChannelFrm::setProbing(bool probing)
{
    m_probing = probing;
    pnProgress->setVisible(probing);
    pgMain->setEnabled(!probing);
    btNext->setEnabled(!probing);
    if (probing)
        repaint();
}

ChannelNode *TfmNewChannelFrm::channelToShow() const
{
    if (m_showGuid.isEmpty())
        return nullptr;
    for (ChannelNode *node : m_env.tree->channelsInPreOrder())
        if (node->channel() && node->channel()->GUID == m_showGuid)
            return node;
    return nullptr;
}

bool TfmNewChannelFrm::alreadySubscribed(const QString &address)
{
    ChannelNode *known = FindSubscribedChannel(*m_env.tree, address);
    if (!known)
        return false;
    const QString question = QStringLiteral("Kanał ") + known->text() +
                             QStringLiteral(" jest już na liście kanałów, w grupie ") +
                             NodePath(known) + QStringLiteral(".\nCzy chcesz go pokazać?");
    if (boxes().question(this, question, MessageCaptions::Question)) {
        m_showGuid = known->channel()->GUID;
    } else if (pgMain->currentIndex() == PageEnterName) {
        m_keepOpen = true; // for the address meant instead
        takeFocusBack();
        edURL->selectAll();
    }
    return true;
}

void TfmNewChannelFrm::takeFocusBack()
{
    if (!isVisible())
        return;
    activateWindow();
    QWidget *keys = pgMain->currentIndex() == PageEnterName ? static_cast<QWidget *>(edURL)
                                                            : static_cast<QWidget *>(lvChannels);
    keys->setFocus(Qt::OtherFocusReason);
}

void TfmNewChannelFrm::AddChannelFromAddress(const QString &address, const QString &user,
                                             const QString &password, bool alerts)
{
    if (m_probing || alreadySubscribed(address))
        return;
    setProbing(true);
    setStatusText(QStringLiteral("Pobieranie inf. o kanale"));
    DocumentDownloader *downloader = m_env.downloader;
    const ProbeResult probe = ProbeChannel(
        address, m_env.probeFile, [this, downloader, &user, &password](const QString &from, const QString &file) {
            return downloader->FetchChannel(from, file, this, user, password, HttpValidators());
        });
    setProbing(false);
    setStatusText(ReadyText);

    // Cancelled by the user: the stopped download is no failure to tell about.
    if (m_cancelled)
        return;
    if (probe.outcome == ProbeResult::NotDownloaded) {
        // The cause the download knows, as the report lines give it.
        QString text = QStringLiteral("Nie powiodło się pobieranie informacji o kanale ") +
                       probe.failedAddress;
        if (!probe.problem.isEmpty())
            text += QStringLiteral(" (") + probe.problem + QLatin1Char(')');
        boxes().error(this, text, MessageCaptions::Error);
        return;
    }
    if (probe.outcome == ProbeResult::NotAChannel) {
        boxes().error(this, QStringLiteral("Niepoprawny format kanału RSS"), MessageCaptions::Error);
        return;
    }
    // A page may announce a channel the tree has under its own address.
    if (probe.info.url != address && alreadySubscribed(probe.info.url))
        return;
    ChannelTree &tree = *m_env.tree;
    ChannelNode *selected = tree.nodeFromIndex(m_env.tvChannels->currentIndex());
    ChannelNode *parent = ParentForNewNode(tree, selected);
    if (ChannelNode *added = AddNewChannel(tree, parent, probe.info, user, password, alerts)) {
        m_env.tvChannels->expand(tree.indexOf(parent));
        if (m_showGuid.isEmpty())
            m_showGuid = added->channel()->GUID;
    }
}

void TfmNewChannelFrm::btNextClick()
{
    if (m_probing || !btNext->isEnabled())
        return;
    m_cancelled = false;
    m_keepOpen = false;
    if (pgMain->currentIndex() == PageEnterName) {
        AddChannelFromAddress(AddressWithScheme(edURL->text()), edUserName->text(),
                              edPassword->text(), cbBalloonAlerts->isChecked());
        if (m_cancelled)
            QDialog::reject();
        else if (!m_keepOpen)
            accept();
        return;
    }
    subscribeTicked();
}

void TfmNewChannelFrm::subscribeTicked()
{
    ChannelTree &tree = *m_env.tree;
    bool probed = false;
    // The rows are copied: a probe serves events, and nothing may change the list under us.
    const std::vector<ProviderListModel::Row> rows = m_rows->rows();
    for (int i = 0; i < int(rows.size()); ++i) {
        const ProviderListModel::Row &row = rows[size_t(i)];
        if (row.isGroup()) {
            if (!m_rows->groupHasTicked(i))
                continue;
            ChannelNode *group = FindNodeByName(row.name, tree);
            if (!group || group->isChannel())
                group = tree.addNode(tree.root(), row.name, NodeKind::Group);
            try {
                m_env.tvChannels->setCurrentIndex(tree.indexOf(group));
            } catch (const std::exception &) {
            }
            continue;
        }
        if (row.ticked) {
            AddChannelFromAddress(row.url, row.user, row.pass, row.check == QLatin1String("1"));
            probed = true;
            if (m_cancelled) {
                QDialog::reject();
                return;
            }
        }
    }
    if (!probed && !rows.empty()) {
        boxes().information(this, QStringLiteral("Zaznacz kanały do dodania na liście."),
                            MessageCaptions::Information);
        takeFocusBack();
        return;
    }
    accept();
}

void TfmNewChannelFrm::btCancelClick()
{
    reject();
}

void TfmNewChannelFrm::reject()
{
    if (m_probing) {
        // The probe's loop returns once the download ends; the wizard closes then.
        m_cancelled = true;
        if (m_env.downloader)
            m_env.downloader->cancel();
        return;
    }
    QDialog::reject();
}


void TfmNewChannelFrm::setStatusText(const QString &text)
{
    statusPanel0->setText(text);
}

void TfmNewChannelFrm::progressBegin(qint64 expectedBytes)
{
    pbDownloadProgress->setRange(1, int(qBound(qint64(2), expectedBytes, qint64(0x7fffffff))));
    pbDownloadProgress->setValue(1);
    placeOverlays();
    pbDownloadProgress->show();
}

void TfmNewChannelFrm::progressWork(qint64 bytesSoFar)
{
    pbDownloadProgress->setValue(int(qBound(qint64(pbDownloadProgress->minimum()), bytesSoFar,
                                                    qint64(pbDownloadProgress->maximum()))));
}

void TfmNewChannelFrm::progressEnd()
{
    pbDownloadProgress->hide();
    pbDownloadProgress->setValue(pbDownloadProgress->minimum());
}

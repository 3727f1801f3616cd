#pragma once

#include "kit/ProgramDialog.h"
#include "base/DownloadUi.h"

#include <QString>
#include <QStringList>

#include <functional>

class ChannelNode;
class ChannelTree;
class DocumentDownloader;
class IMessageBoxes;
class ProviderListModel;
class QCheckBox;
class QLabel;
class QLineEdit;
class QModelIndex;
class QProgressBar;
class QPushButton;
class QStatusBar;
class QTabWidget;
class QTableView;
class QTreeView;
class QWidget;

// What the wizard works with: the tree it subscribes into (and the view whose selection
// says where), the one downloader, its two files under the per-user temp folder and the
// folders a provider's list may be shipped in.
struct NewChannelFrmEnv
{
    ChannelTree *tree = nullptr;
    QTreeView *tvChannels = nullptr;
    DocumentDownloader *downloader = nullptr;
    IMessageBoxes *messageBoxes = nullptr; // null: the real boxes
    QString listFile;                      // temp/lvChannels.xml
    QString probeFile;                     // temp/channel_info.xml
    QStringList shippedDataFolders;        // per-user data/ first, then the executable's
    std::function<QString()> channelsListUrl;
};

// The new channel wizard: a channel typed by its address, or channels ticked in the
// provider's list; each is probed once and hung into the tree.
class TfmNewChannelFrm : public ProgramDialog, public IDownloadUi
{
    Q_OBJECT
public:
    enum Page { PageEnterName = 0, PageList = 1 };

    explicit TfmNewChannelFrm(const NewChannelFrmEnv &env, QWidget *parent = nullptr);

    void LoadChannelsList(const QString &address);
    void AddChannelFromAddress(const QString &address, const QString &user,
                               const QString &password, bool alerts);

    // The next showing opens on the address page with this address filled in.
    void setStartAddress(const QString &address) { m_startAddress = address; }

    // What the tree is to show once the wizard has closed: the first channel it added, or a
    // channel already subscribed that the user asked to see; null for neither.
    ChannelNode *channelToShow() const;

    ProviderListModel *channelsModel() const { return m_rows; }
    bool probing() const { return m_probing; }

    // IDownloadUi: panel 0 of the status bar and the progress bar.
    void setStatusText(const QString &text) override;
    void progressBegin(qint64 expectedBytes) override;
    void progressWork(qint64 bytesSoFar) override;
    void progressEnd() override;

public slots:
    void FormShow();
    void pgMainChange(int page);
    void edURLChange();
    void lvChannelsChange();
    void lvChannelsClick(const QModelIndex &index);
    void edUserNameChange();
    void edPasswordChange();
    void cbBalloonAlertsClick();
    void btNextClick();
    // While a probe runs: stops its download at once, and the wizard closes without an
    // error once the probe has returned.
    void btCancelClick();
    void reject() override;

protected:
    void enterPressed() override { btNextClick(); }
    void escapePressed() override { btCancelClick(); }
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void FormCreate();
    void buildControls();
    QWidget *buildAddressPage();
    QWidget *buildListPage();
    void buildStatusBar();
    void placeOverlays();
    void setProbing(bool probing);

    int selectedRow() const;
    void subscribeTicked();
    bool copyShippedList(const QString &name);
    IMessageBoxes &boxes() const;
    // The address names a channel of the tree already: says where and offers to show it.
    bool alreadySubscribed(const QString &address);
    // After a message, the keys go to the wizard again.
    void takeFocusBack();

    NewChannelFrmEnv m_env;
    QString m_startAddress;
    ProviderListModel *m_rows = nullptr;

    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QTabWidget *pgMain = nullptr;
    QWidget *tsEnterName = nullptr;
    QLineEdit *edURL = nullptr;
    QWidget *tsList = nullptr;
    QTableView *lvChannels = nullptr;
    QLabel *Label3 = nullptr;
    QLabel *Label4 = nullptr;
    QLabel *Label5 = nullptr;
    QLineEdit *edUserName = nullptr;
    QLineEdit *edPassword = nullptr;
    QCheckBox *cbBalloonAlerts = nullptr;
    QPushButton *btCancel = nullptr;
    QPushButton *btNext = nullptr;
    QStatusBar *sbStatus = nullptr;
    QLabel *statusPanel0 = nullptr;
    QLabel *statusPanel1 = nullptr;
    QProgressBar *pbDownloadProgress = nullptr;
    QWidget *pnProgress = nullptr;

    QString m_showGuid;            // channelToShow's
    bool m_keepOpen = false;       // the address page stays for another address
    bool m_probing = false;
    bool m_cancelled = false;      // "Anuluj" during a probe
    bool m_filling = false;        // the edits are being filled from a row
    bool m_tickedByPress = false;  // the current click toggled a tick already
};

#pragma once

#include <QObject>
#include <QString>

class QAction;
class QWidget;
class WebBrowser;
struct ItemLook;

// How the item view looks: its zoom (Ctrl++, Ctrl+-, Ctrl+0, remembered in the settings
// file) and the dark variant of the item sheets while the window's palette is dark. Owns no
// widget; its three actions stand in the window's "Widok" menu.
class ItemLookController : public QObject
{
    Q_OBJECT
public:
    struct Widgets
    {
        QWidget *window = nullptr; // whose palette decides light or dark
        WebBrowser *wbContent = nullptr;
    };
    // Reads the zoom from `settingsFile` (data/config.ini) and writes it there at every
    // change; with an empty path nothing is read or written.
    ItemLookController(const Widgets &widgets, ItemLook &look, const QString &settingsFile,
                       QObject *parent);

    // "Powiększ" (Ctrl++), "Pomniejsz" (Ctrl+-), "Rzeczywisty rozmiar" (Ctrl+0); each
    // enabled while it would change the zoom.
    QAction *acZoomIn() const { return m_acZoomIn; }
    QAction *acZoomOut() const { return m_acZoomOut; }
    QAction *acZoomReset() const { return m_acZoomReset; }

    int zoomPercent() const;
    bool dark() const;

public slots:
    void acZoomInExecute();
    void acZoomOutExecute();
    void acZoomResetExecute();
    // Takes light or dark from the window's palette as it is now.
    void followPalette();

signals:
    // The sheets' variant changed: the item on show is to be made again with it.
    void darkChanged(bool dark);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void setZoom(int percent);
    void updateActions();

    Widgets m_w;
    ItemLook &m_look;
    QString m_settingsFile;
    QAction *m_acZoomIn = nullptr;
    QAction *m_acZoomOut = nullptr;
    QAction *m_acZoomReset = nullptr;
};

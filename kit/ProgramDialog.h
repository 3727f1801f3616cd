#pragma once

#include <QDialog>

class QKeyEvent;

// What the program's dialogs share: their background colour; they open in the middle of the
// screen (not over the main window, which may be small or hidden in the tray); and with key
// preview on they see Enter and Esc before whichever control has the focus.
class ProgramDialog : public QDialog
{
    Q_OBJECT
public:
    explicit ProgramDialog(QWidget *parent = nullptr);

protected:
    // Sends key presses in this window to keyPreview(); call once the controls exist.
    void enableKeyPreview();
    // Fixes the dialog's size at its designed size, or larger where the controls need more
    // room with this system's fonts (a clipped caption is never what the design meant).
    // Call once the controls exist.
    void fixSizeAtLeast(const QSize &designed);
    // True when the dialog took the key. By default Enter and Esc are taken.
    virtual bool keyPreview(QKeyEvent *event) { return enterOrEscape(event); }
    // Sends Enter to enterPressed() and Esc to escapePressed(); true for those two keys.
    bool enterOrEscape(QKeyEvent *event);
    // By default OK and Cancel.
    virtual void enterPressed() { accept(); }
    virtual void escapePressed() { reject(); }

    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
};

#pragma once

#include "kit/ProgramDialog.h"

#include <QString>

class QKeyEvent;
class QLabel;
class QPushButton;
class QTextBrowser;

// The About box: logo, product name, copyright and the licence text.
class TfmAboutFrm : public ProgramDialog
{
    Q_OBJECT
public:
    // Loads "licencja.rtf" from `executableDir`. A missing or unreadable licence is raised
    // to the global handler once the event loop runs; the box still works without it.
    explicit TfmAboutFrm(const QString &executableDir, QWidget *parent = nullptr);

    QLabel *imLogo = nullptr;
    QLabel *lbProduct = nullptr;
    QLabel *lbCopyright = nullptr;
    QTextBrowser *reLicense = nullptr;
    QPushButton *btCancel = nullptr;

    // The licence file this box shows.
    QString licensePath() const;

public slots:
    void FormCreate();
    void btCancelClick();
    // Enter and Esc close the box. True when the key was taken.
    bool FormKeyDown(QKeyEvent *event);

protected:
    bool keyPreview(QKeyEvent *event) override;
    void enterPressed() override { btCancelClick(); }
    void escapePressed() override { btCancelClick(); }

private:
    QString m_executableDir;
};

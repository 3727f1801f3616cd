#pragma once

#include "kit/ProgramDialog.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

// The find dialog: a text, the field to look in and whether to look in the archive. Made
// once and kept, so it remembers the last search.
class TfmFindFrm : public ProgramDialog
{
    Q_OBJECT
public:
    enum class Field { Description, Author, Title };

    explicit TfmFindFrm(QWidget *parent = nullptr);

    QString what() const;
    Field field() const;
    bool searchArchive() const;
    // Every channel's items, shown as one list.
    bool searchAllChannels() const;
    // Opened for a search across all channels: the choice is made before it shows.
    void setSearchAllChannels(bool all);
    // What the find says when no row holds `what`, in the list or in the archive.
    static QString notFoundMessage(const QString &what);

public slots:
    void btOKClick();
    void btCancelClick();

protected:
    void enterPressed() override { btOKClick(); }
    void escapePressed() override { btCancelClick(); }
    // Every opening starts in the text field, with the last text ready to be typed over.
    void showEvent(QShowEvent *event) override;

private:
    QLineEdit *edWhat = nullptr;
    QRadioButton *cbDesc = nullptr;
    QRadioButton *cbAut = nullptr;
    QRadioButton *cbTit = nullptr;
    QCheckBox *cbArch = nullptr;
    QCheckBox *cbAllChannels = nullptr;
    QPushButton *btOK = nullptr;
    QPushButton *btCancel = nullptr;
};

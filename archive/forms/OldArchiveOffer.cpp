#include "archive/forms/OldArchiveOffer.h"

#include "kit/MessageBoxes.h"
#include "archive/ArchiveStore.h"
#include "archive/OldArchive.h"

#include <QDir>

void OfferOldArchive(const QString &movedFile, const QString &mdbExport, ArchiveStore &store,
                     IMessageBoxes &boxes, QWidget *window)
{
    const QString said =
        QStringLiteral("Plik archiwum pochodzi ze starszej wersji programu i nie może zostać "
                       "otwarty. Został zachowany jako %1, a program zaczyna pracę z pustym "
                       "archiwum.")
            .arg(QDir::toNativeSeparators(movedFile));
    if (mdbExport.isEmpty()) {
        boxes.information(window, said, MessageCaptions::Information);
        return;
    }
    if (!boxes.question(window,
                        said + QStringLiteral(" Czy skopiować wiadomości ze starego archiwum "
                                              "do nowego?"),
                        MessageCaptions::Question))
        return;
    try {
        const int copied = store.archiveTable().insert(ReadOldArchive(mdbExport, movedFile));
        boxes.information(window,
                          QStringLiteral("Skopiowano wiadomości ze starego archiwum: %1.")
                              .arg(copied),
                          MessageCaptions::Information);
    } catch (const ArchiveError &e) {
        boxes.error(window,
                    QStringLiteral("Nie skopiowano wiadomości ze starego archiwum. ") +
                        e.message(),
                    MessageCaptions::Error);
    }
}

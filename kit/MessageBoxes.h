#pragma once

#include <QString>

class QWidget;

// Every question and message the windows show to the user goes through this, so that tests
// can answer without a modal loop.
class IMessageBoxes
{
public:
    virtual ~IMessageBoxes() = default;
    // Question icon, Yes and No; true for Yes.
    virtual bool question(QWidget *parent, const QString &text, const QString &caption) = 0;
    // Information icon, OK.
    virtual void information(QWidget *parent, const QString &text, const QString &caption) = 0;
    // Error icon, OK.
    virtual void error(QWidget *parent, const QString &text, const QString &caption) = 0;
};

// Captions the program uses.
namespace MessageCaptions {
inline const QString Information = QStringLiteral("Informacja:");
inline const QString Question = QStringLiteral("Pytanie:");
inline const QString Error = QStringLiteral("Błąd:");
} // namespace MessageCaptions

// The real boxes, with Polish button texts.
class MessageBoxes : public IMessageBoxes
{
public:
    bool question(QWidget *parent, const QString &text, const QString &caption) override;
    void information(QWidget *parent, const QString &text, const QString &caption) override;
    void error(QWidget *parent, const QString &text, const QString &caption) override;

    // The one instance the program uses when nobody gives another.
    static IMessageBoxes &standard();
};

// The error shown when the system's web browser would not open `address` (a desktop
// without one would otherwise swallow the click).
void ReportUnopenedLink(IMessageBoxes &boxes, QWidget *parent, const QString &address);
// The desktop found no mail program for a message to be sent.
void ReportNoMailProgram(IMessageBoxes &boxes, QWidget *parent);

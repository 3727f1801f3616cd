#pragma once

#include <QProxyStyle>

// The program's look over the platform's style. Flat push buttons ("&OK", "&Anuluj",
// "&Zamknij", "&Filtruj") stay flat but read as buttons: a light face with a thin border,
// a tint under the mouse, a deeper one while pressed, and a focus frame, in every window.
// Installed once for the application (install()).
class ProgramStyle : public QProxyStyle
{
    Q_OBJECT
public:
    // Over the style in use now (Fusion where the desktop names none).
    ProgramStyle();

    // Makes this the application's style; the application owns it.
    static void install();

    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget = nullptr) const override;
    // Password fields show "*" for every character, whatever the platform's style draws.
    int styleHint(StyleHint hint, const QStyleOption *option = nullptr,
                  const QWidget *widget = nullptr,
                  QStyleHintReturn *returnData = nullptr) const override;
    void polish(QWidget *widget) override;
    using QProxyStyle::polish;
};

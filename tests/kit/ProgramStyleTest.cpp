#include "app/forms/AboutFrmUnit.h"
#include "base/LiveSettings.h"
#include "app/forms/ConfigUnit.h"
#include "kit/ProgramStyle.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

namespace {

struct Look
{
    QRgb border;   // middle of the left edge
    QRgb face;     // just inside the top left corner, clear of the caption
    QRgb focusRow; // where a focus frame runs, three pixels in
};

Look lookOf(QPushButton *button)
{
    const QImage image = button->grab().toImage();
    const int midY = image.height() / 2;
    return {image.pixel(0, midY), image.pixel(5, 5), image.pixel(3, midY)};
}

// Every flat button of a window looks like a button in each of its states: without the
// program's style a flat button is its caption on the window's background, and nothing
// changes under the mouse.
void expectButtonLook(QWidget *window)
{
    const QList<QPushButton *> buttons = window->findChildren<QPushButton *>();
    int flat = 0;
    for (QPushButton *button : buttons) {
        if (!button->isFlat())
            continue;
        ++flat;
        SCOPED_TRACE(button->objectName().toStdString());
        const QRgb background = window->palette().color(QPalette::Window).rgb();
        const Look normal = lookOf(button);
        EXPECT_NE(normal.border, background) << "no border";

        button->setAttribute(Qt::WA_UnderMouse, true);
        const Look hover = lookOf(button);
        button->setAttribute(Qt::WA_UnderMouse, false);
        EXPECT_NE(hover.face, normal.face) << "no hover state";

        button->setDown(true);
        const Look pressed = lookOf(button);
        button->setDown(false);
        EXPECT_NE(pressed.face, normal.face) << "no pressed state";
        EXPECT_NE(pressed.face, hover.face);

        button->setFocus(Qt::TabFocusReason);
        if (button->hasFocus()) {
            const Look focused = lookOf(button);
            EXPECT_NE(focused.focusRow, normal.focusRow) << "no focus frame";
        }
    }
    EXPECT_GT(flat, 0);
}

} // namespace

TEST(ProgramStyle, FlatButtonsLookLikeButtonsInEveryWindow)
{
    ProgramStyle::install();
    ASSERT_NE(qobject_cast<ProgramStyle *>(QApplication::style()), nullptr);

    QTemporaryDir dir;
    LiveSettings live;
    TfmConfigFrm config(live, dir.filePath("config.ini"), "/opt/kolvani/kolvani");
    config.show();
    config.activateWindow();
    QApplication::processEvents();
    expectButtonLook(&config);

    TfmAboutFrm about(QStringLiteral(KV_SOURCE_DIR "/resources"));
    about.show();
    about.activateWindow();
    QApplication::processEvents();
    expectButtonLook(&about);
}

TEST(ProgramStyle, PasswordFieldsShowAStarForEveryCharacter)
{
    ProgramStyle::install();
    QTemporaryDir dir;
    LiveSettings live;
    TfmConfigFrm config(live, dir.filePath("config.ini"), "/opt/kolvani/kolvani");
    auto *proxyPassword = config.findChild<QLineEdit *>("edProxyPassword");
    ASSERT_NE(proxyPassword, nullptr);
    proxyPassword->setText(QStringLiteral("tajne ż"));
    EXPECT_EQ(proxyPassword->displayText(), "*******");
}

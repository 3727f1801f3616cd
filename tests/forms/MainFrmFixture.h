#pragma once

// The main window with a temporary user: data home and executable folder holding the
// shipped data/ and temp/; message boxes answered from a script.

#include "app/forms/AboutFrmUnit.h"
#include "app/forms/ConfigUnit.h"
#include "app/forms/MainFrmUnit.h"
#include "kit/MessageBoxes.h"
#include "support/ScopedEnv.h"
#include "support/SignalWait.h"
#include "support/TestFiles.h"
#include "sync/forms/UpdateProgressUnit.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace mainfrm_test {

// A child of the window by its objectName; a missing one fails the test.
template <typename T, typename Window> T *child(const Window &window, const char *name)
{
    T *found = (&*window)->template findChild<T *>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

// Answers questions from a script and remembers every box shown.
class ScriptedBoxes : public IMessageBoxes
{
public:
    struct Box
    {
        QString kind;
        QString text;
        QString caption;
    };

    bool question(QWidget *parent, const QString &text, const QString &caption) override
    {
        shown.append({QStringLiteral("question"), text, caption});
        if (alsoShow)
            alsoShow(parent);
        return answers.isEmpty() ? false : answers.takeFirst();
    }
    void information(QWidget *parent, const QString &text, const QString &caption) override
    {
        shown.append({QStringLiteral("information"), text, caption});
        if (alsoShow)
            alsoShow(parent);
    }
    void error(QWidget *parent, const QString &text, const QString &caption) override
    {
        shown.append({QStringLiteral("error"), text, caption});
        if (alsoShow)
            alsoShow(parent);
    }

    int count(const QString &kind, const QString &text) const
    {
        int n = 0;
        for (const Box &b : shown)
            n += b.kind == kind && b.text == text;
        return n;
    }

    QList<bool> answers;
    QList<Box> shown;
    // Also shows a real box over `parent` and closes it, for what its going does to the focus.
    std::function<void(QWidget *parent)> alsoShow;
};

inline QString treeFileText(const QString &path)
{
    const QByteArray bytes = readAll(path);
    if (!bytes.startsWith("\xff\xfe"))
        return QString();
    return QString::fromUtf16(reinterpret_cast<const char16_t *>(bytes.constData() + 2),
                              (bytes.size() - 2) / 2);
}

inline const QString NoChannelQuestion =
    QStringLiteral("Czy chcesz dodać nowy kanał informacyjny?");
inline const QString ExitQuestion = QStringLiteral("Czy chcesz zakończyć pracę programu?");
inline const QString TreeBroken =
    QStringLiteral("Nie można załadować listy kanałów RSS z powodu uszkodzenia/braku pliku "
                   "konfiguracyjnego. Po ponownym "
                   "uruchomieniu lista kanałów zostanie wyczyszczona. Program kończy działanie.");

// A temporary user: data home and executable folder with the shipped data/ and temp/.
class MainFrmFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_root.isValid());
        m_exeDir = m_root.path() + QStringLiteral("/exe/");
        m_dataHome = m_root.path() + QStringLiteral("/share");
        QDir().mkpath(m_exeDir + "data/sub");
        QDir().mkpath(m_exeDir + "temp");
        QDir().mkpath(m_dataHome);
        const QDir shipped(QStringLiteral(KV_SOURCE_DIR "/data"));
        for (const QString &name : shipped.entryList(QDir::Files))
            QFile::copy(shipped.filePath(name), m_exeDir + "data/" + name);
        // The empty archive is made by the build.
        QFile::copy(QStringLiteral(KV_BINARY_DIR "/data/archive.mdb"), m_exeDir + "data/archive.mdb");
        writeFile(m_exeDir + "data/sub/nested.txt", "zagnieżdżony");
        writeFile(m_exeDir + "temp/.gitkeep", "");
        QFile::copy(QStringLiteral(KV_SOURCE_DIR "/resources/licencja.rtf"),
                    m_exeDir + "licencja.rtf");
        m_dataHomeEnv.emplace("XDG_DATA_HOME", m_dataHome.toUtf8());
    }

    void TearDown() override
    {
        m_windows.clear();
        m_dataHomeEnv.reset();
    }

    static void writeFile(const QString &path, const QByteArray &bytes)
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
        f.write(bytes);
    }

    QString appFolder() const { return m_dataHome + QStringLiteral("/Kolvani/"); }

    // Shows the window and returns once the first-show step its showing queued has run.
    static void showWindow(QWidget &window)
    {
        window.show();
        ASSERT_TRUE(WaitForQueuedEvents());
    }

    std::unique_ptr<TfmMainFrm> create(bool hidden = false)
    {
        MainFrmOptions options;
        options.executableDir = m_exeDir;
        options.startHidden = hidden;
        options.messageBoxes = &m_boxes;
        options.showTrayIcon = false;
        options.fetchSiteIcons = m_fetchSiteIcons;
        return std::make_unique<TfmMainFrm>(options);
    }

    // The window with the report window and the settings dialog, as the program makes them.
    struct Windows
    {
        std::unique_ptr<TfmMainFrm> main;
        TfmUpdateProgressFrm *report = nullptr;
        TfmConfigFrm *config = nullptr;
        TfmAboutFrm *about = nullptr;
    };
    Windows &createAll()
    {
        Windows w;
        w.main = create();
        const QString configPath = w.main->userFolder().configFile();
        w.report = new TfmUpdateProgressFrm(w.main->liveSettings(), w.main.get());
        w.config = new TfmConfigFrm(w.main->liveSettings(), configPath, m_exeDir + "kolvani",
                                    w.main.get());
        w.about = new TfmAboutFrm(m_exeDir, w.main.get());
        w.main->attachWindows({w.report, w.config, w.about});
        m_windows.push_back(std::move(w));
        return m_windows.back();
    }

    QTemporaryDir m_root;
    QString m_exeDir;
    QString m_dataHome;
    std::optional<ScopedEnv> m_dataHomeEnv;
    ScriptedBoxes m_boxes;
    std::vector<Windows> m_windows;
    // Off: the servers of most cases count the requests they get.
    bool m_fetchSiteIcons = false;
};

} // namespace mainfrm_test

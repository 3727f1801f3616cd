#pragma once

#include <QEventLoop>
#include <QString>
#include <QTimer>
#include <QVariant>
#include <QWebEnginePage>
#include <QWebEngineScript>

#include <optional>

// What a page answers, waited for (at most 10 s, then the fallback comes back): its text as
// the user sees it, and a script's result in the program's own isolated world, which works
// whatever the page's own settings are.
inline QString PagePlainText(QWebEnginePage *page, const QString &fallback = QString())
{
    std::optional<QString> result;
    QEventLoop loop;
    page->toPlainText([&](const QString &text) {
        result = text;
        loop.quit();
    });
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    if (!result)
        loop.exec();
    return result.value_or(fallback);
}

inline QVariant RunInApplicationWorld(QWebEnginePage *page, const QString &script,
                                      const QVariant &fallback = QVariant())
{
    std::optional<QVariant> result;
    QEventLoop loop;
    page->runJavaScript(script, QWebEngineScript::ApplicationWorld, [&](const QVariant &value) {
        result = value;
        loop.quit();
    });
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    if (!result)
        loop.exec();
    return result.value_or(fallback);
}

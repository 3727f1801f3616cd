#pragma once

#include <QString>

// The status bar panel and progress bar that one download reports to. The main window and
// the new channel wizard each implement it; tests and the command line use plain ones.
class IDownloadUi
{
public:
    virtual ~IDownloadUi() = default;
    virtual void setStatusText(const QString &text) = 0;  // panel 0 of the status bar
    virtual void progressBegin(qint64 expectedBytes) = 0; // show the bar, set its maximum
    virtual void progressWork(qint64 bytesSoFar) = 0;
    virtual void progressEnd() = 0; // hide the bar
};

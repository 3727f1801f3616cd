#pragma once

#include <QString>

// Where problems of network and feed operations are written: the report window, or
// standard error when the program runs without a window.
class IReportSink
{
public:
    virtual ~IReportSink() = default;
    virtual void ReportProblem(const QString &line) = 0;
};

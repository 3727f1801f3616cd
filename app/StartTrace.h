#pragma once

// With KOLVANI_START_TRACE set, writes "kolvani.start: <ms since the process began> <what>"
// to standard error: where the window's start spends its time, without a profiler.
void StartMark(const char *what);

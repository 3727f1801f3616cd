#pragma once

class QAbstractItemView;

// Shows which list has the keyboard focus: a frame in the accent colour around it while it
// has the focus, and its selection paler (but still in sight) while it has not.
namespace FocusMark {
void install(QAbstractItemView *view);
// The objectName of the frame drawn over the view.
extern const char *const FrameName;
} // namespace FocusMark

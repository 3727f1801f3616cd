#pragma once

#include <QString>

// How items are shown, apart from their content: the dark variant of the style sheets on a
// dark desktop, and the item view's zoom. One value for the window, read by every item
// source when it makes a page.
struct ItemLook
{
    bool dark = false;
    int zoomPercent = 100;
};

namespace ItemZoom {

inline constexpr int Normal = 100;
inline constexpr int Least = 30;
inline constexpr int Most = 300;

// The next step up or down from `percent`, as browsers step; a value between steps goes to
// the nearest one in that direction. Stays within Least and Most.
int StepIn(int percent);
int StepOut(int percent);
// A stored value within the bounds; one that is not a step stays as it is.
int Bounded(int percent);

} // namespace ItemZoom

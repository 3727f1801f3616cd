#include "reading/ItemLook.h"

#include <algorithm>
#include <array>

namespace ItemZoom {

namespace {
constexpr std::array<int, 13> Steps = {30, 50, 67, 80, 90, 100, 110, 125, 150, 175, 200, 250, 300};
} // namespace

int StepIn(int percent)
{
    const auto next = std::upper_bound(Steps.begin(), Steps.end(), percent);
    return next == Steps.end() ? Most : *next;
}

int StepOut(int percent)
{
    const auto next = std::lower_bound(Steps.begin(), Steps.end(), percent);
    return next == Steps.begin() ? Least : *(next - 1);
}

int Bounded(int percent)
{
    return std::clamp(percent, Least, Most);
}

} // namespace ItemZoom

#pragma once

// The pointers the window shows: the arrow, the hourglass while it is busy, the hand over buttons.
enum class MousePointer
{
    Default = 0,
    Busy = 11,
    Custom = 99
};

#pragma once

// Long work on the window's thread lets pending window events through at fixed points.
void YieldToEvents();
// Waits the given number of seconds while window events keep flowing (clicks, timer ticks).
void PauseSeconds(double seconds);

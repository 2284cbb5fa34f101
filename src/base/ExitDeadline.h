#pragma once

#include <chrono>

// Ends the program a fixed time after a close request, whatever its threads are doing: a thread
// stuck in a call on a stalled disk must not keep it alive. Only the program itself installs it;
// elsewhere (in tests) arming does nothing.
namespace ExitDeadline {

// Starts the thread that keeps the deadline; once, at start-up.
void Install(std::chrono::milliseconds grace);
// The program has to end within the grace from now. Safe to call from a signal handler.
void Arm();

} // namespace ExitDeadline

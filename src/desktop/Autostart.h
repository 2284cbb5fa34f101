#pragma once

#include <QString>

// Registers the program to start with the user's session, or removes that registration.
namespace Autostart {

// The running program's file name, with its extension; empty when it cannot be found.
QString ProgramFileName();
void Enable();
void Disable();

} // namespace Autostart

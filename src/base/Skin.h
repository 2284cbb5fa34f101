#pragma once

class QWidget;

// The optional look of the main window: when "x/o.cjs" stands beside the program, the window and
// its option controls take the button-face colour and the file is applied as the window's style
// sheet. Without the file nothing changes. Raises an AppError when the file cannot be read.
void ApplySkin(QWidget& window);

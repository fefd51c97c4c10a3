#pragma once
// Start-up steps shared by the program's main() and the benchmark's instrumented copy.
#include <QtGlobal>

class TForm1;

// Made around the making of the application object: where no window can be opened (no display,
// or a display that refuses the connection), says so in one line on standard error and ends the
// program with status 1, instead of the toolkit's abort and its lines about plugins. What else
// the toolkit says meanwhile is said as usual.
class StartupReporter {
public:
    StartupReporter();
    ~StartupReporter();
    StartupReporter(const StartupReporter&) = delete;
    StartupReporter& operator=(const StartupReporter&) = delete;

private:
    QtMessageHandler previous_;
};

// What assistive technology is told of the buttons, the desktop entry's name and the window
// icon; after the application object exists.
void PrepareApplication();
// Sizes the main window to its layout, centres it on the screen, shows it and gives it the keys.
void ShowMainWindow(TForm1& form);

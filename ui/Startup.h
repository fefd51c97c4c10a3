#pragma once
// Start-up steps shared by the program's main() and the benchmark's instrumented copy.
#include <memory>

class QApplication;
class TForm1;

// Makes the application object. Where no window can be opened (no display, or a display that
// refuses the connection), says so in one line on standard error and ends the program with
// status 1, instead of the toolkit's abort. argc must outlive the application object.
std::unique_ptr<QApplication> OpenApplication(int& argc, char** argv);

// What assistive technology is told of the buttons, the desktop entry's name and the window
// icon; after the application object exists.
void PrepareApplication();
// Sizes the main window to its layout, centres it on the screen, shows it and gives it the keys.
void ShowMainWindow(TForm1& form);

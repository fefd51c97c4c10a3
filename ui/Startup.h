#pragma once
// Start-up steps shared by the program's main() and the benchmark's instrumented copy.
class TForm1;

// What assistive technology is told of the buttons, the desktop entry's name and the window
// icon; after the application object exists.
void PrepareApplication();
// Sizes the main window to its layout, centres it on the screen, shows it and gives it the keys.
void ShowMainWindow(TForm1& form);

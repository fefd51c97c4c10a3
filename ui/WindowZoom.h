#pragma once
// Draws a window at a zoom: every widget's place and size, least and largest size and font are
// those of the actual size, multiplied. What the widgets paint themselves (cells, frames,
// pictures) follows the window's Appearance as they paint.
class QWidget;
struct Look;

// Brings `window` and everything in it (its menus too, not the windows it opens) to the
// look's zoom. The actual size is remembered on the first call, so zooming back is exact; a
// widget that its own code moved or resized since is taken as it now is. A window never
// zoomed is left alone at 100 %.
void ZoomWindow(QWidget* window, const Look& look);
// A window the main window opens, at the zoom of the window that opens it, or at the largest
// zoom step below it at which it still fits its screen.
void ZoomDialog(QWidget* dialog);

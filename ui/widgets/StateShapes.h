#pragma once
// The small shapes that tell a board cell's state apart without its colour, for every board the
// game draws (the main board, the viewer's, the Best 20's), drawn while the look asks for them.
#include <QColor>
#include <QRect>

class QPainter;
struct Look;

// One bit each, so that all three can show at once (the last number, marked).
enum StateShape { NoShape = 0, ReachableShape = 1, MarkedShape = 2, LastNumberShape = 4 };

// Draws `shapes` on the cell `cell` with face `face`, in black or white, whichever stands out
// more from the face. Each shape has a place of its own: the reachable dot in the middle of an
// empty cell (in the top right corner of a numbered one, clear of its number), the mark's corner
// in the top left, the last number's bar along the bottom.
void DrawStateShapes(QPainter& painter, const QRect& cell, int shapes, const QColor& face, bool numbered,
                     const Look& look);

#pragma once
// Board codes in the windows: copying the board shown, asking for a pasted code, and the
// viewer on a board read from one.
#include <functional>
#include <optional>
#include <vector>

class GameViewer;
class QWidget;

// "Copy code" in a viewer: the code of the board shown goes on the clipboard.
void AddCopyCode(GameViewer& viewer);

// Puts the code of `cells` on the clipboard.
void CopyBoardCode(const std::vector<int>& cells);

// Asks for a code to paste; a code that cannot be read gets its own message and nothing.
std::optional<std::vector<int>> AskForBoardCode(QWidget* parent);

// The viewer on a board read from a code, showing the whole board, with "Play from here",
// which closes the viewer and hands the board shown to `playFromHere`.
void ShowCodeViewer(const std::vector<int>& cells, QWidget* parent,
                    const std::function<void(const std::vector<int>&)>& playFromHere);

#pragma once
// "Can 100 still be reached?" about a game: the answer the player is told, computed from the
// numbers on the board.
#include "GameState.h"
#include "Solver.h"

#include <stop_token>
#include <string>
#include <vector>

namespace tovra {

struct ReachabilityAnswer {
    enum class Kind {
        FromAnyFirstCell, // the empty board: every first cell leads to 100
        Reachable,        // nextCell is a next number that keeps 100 reachable
        Reached,          // the board is full
        Unreachable,      // lastReachable is the highest number after which 100 still could be reached
        Stopped,          // asked to stop before an answer
    };
    Kind kind = Kind::Stopped;
    int nextCell = NoCell;
    int lastReachable = -1;
};

// The exact answer for the game whose numbers 1, 2, ... sit on `cells` (indexes 0..99, in
// order). Only a stop request ends it early, with Stopped.
ReachabilityAnswer AnswerReachability(const std::vector<int>& cells, std::stop_token stop);

// What the player is told: "100 can still be reached.\nNext: row 3, column 10" and so on; empty
// for Stopped.
std::string AnswerText(const ReachabilityAnswer& answer);

// The answer for the empty board, from every first cell solved on its own.
ReachabilityAnswer AnswerForEmptyBoard(const SolverLimits& limits);

// The numbers of the game, as cell indexes in order.
std::vector<int> GameCells(const GameState& game);

} // namespace tovra

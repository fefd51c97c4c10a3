#pragma once
// Whether a graph has a spanning subgraph in which every vertex has a given degree. A path
// through every free cell is such a subgraph (degree two inside, one at the ends), so a graph
// without one has no path either: a bound that sees parity and counting arguments of every kind
// at once, where a two-colouring sees one.
#include <cstdint>
#include <utility>
#include <vector>

namespace tovra::solver {

// `edges` are pairs of vertices 0..degree.size()-1, each pair at most once; degree[v] is the
// degree v must have. Exact (a perfect matching in the usual gadget, by Edmonds' blossoms).
// `used`, when given, holds a flag per edge: on the way in, the edges to try first (a factor of
// a similar graph, so that few vertices are left for the augmenting paths); on the way out,
// when there is a factor, the edges of one.
bool HasDegreeFactor(const std::vector<int>& degree, const std::vector<std::pair<int, int>>& edges,
                     std::vector<std::uint8_t>* used = nullptr);

} // namespace tovra::solver

#include "DegreeFactor.h"

#include <algorithm>
#include <cstddef>

namespace tovra::solver {
namespace {

// Maximum matching in a general graph by Edmonds' blossoms, stopping at the first vertex that
// no augmenting path reaches (a vertex left out once stays out of every later maximum matching).
class PerfectMatching {
public:
    // The graph's edges as pairs of vertices 0..vertices-1.
    PerfectMatching(int vertices, const std::vector<std::pair<int, int>>& edges)
        : n_(vertices)
        , first_(static_cast<std::size_t>(vertices) + 1, 0)
        , adjacent_(2 * edges.size())
        , match_(static_cast<std::size_t>(vertices), -1)
        , parent_(static_cast<std::size_t>(vertices))
        , base_(static_cast<std::size_t>(vertices))
        , queue_(static_cast<std::size_t>(vertices))
        , used_(static_cast<std::size_t>(vertices))
        , blossom_(static_cast<std::size_t>(vertices))
        , onPath_(static_cast<std::size_t>(vertices))
    {
        for (const auto& [a, b] : edges) {
            ++first_[static_cast<std::size_t>(a) + 1];
            ++first_[static_cast<std::size_t>(b) + 1];
        }
        for (std::size_t v = 0; v < static_cast<std::size_t>(vertices); ++v)
            first_[v + 1] += first_[v];
        std::vector<int> filled(first_.begin(), first_.end() - 1);
        for (const auto& [a, b] : edges) {
            adjacent_[static_cast<std::size_t>(filled[static_cast<std::size_t>(a)]++)] = b;
            adjacent_[static_cast<std::size_t>(filled[static_cast<std::size_t>(b)]++)] = a;
        }
    }

    int Partner(int v) { return M(v); }

    void Pair(int a, int b)
    {
        M(a) = b;
        M(b) = a;
    }

    bool Exists()
    {
        for (int v = 0; v < n_; ++v) {
            if (M(v) != -1)
                continue;
            int end = FindPath(v);
            if (end == -1)
                return false;
            while (end != -1) {
                const int previous = parent_[static_cast<std::size_t>(end)];
                const int next = M(previous);
                M(end) = previous;
                M(previous) = end;
                end = next;
            }
        }
        return true;
    }

private:
    int& M(int v) { return match_[static_cast<std::size_t>(v)]; }
    int& P(int v) { return parent_[static_cast<std::size_t>(v)]; }
    int& B(int v) { return base_[static_cast<std::size_t>(v)]; }

    int CommonBase(int a, int b)
    {
        std::fill(onPath_.begin(), onPath_.end(), false);
        while (true) {
            a = B(a);
            onPath_[static_cast<std::size_t>(a)] = true;
            if (M(a) == -1)
                break;
            a = P(M(a));
        }
        while (true) {
            b = B(b);
            if (onPath_[static_cast<std::size_t>(b)])
                return b;
            b = P(M(b));
        }
    }

    void MarkPath(int v, int base, int child)
    {
        while (B(v) != base) {
            blossom_[static_cast<std::size_t>(B(v))] = true;
            blossom_[static_cast<std::size_t>(B(M(v)))] = true;
            P(v) = child;
            child = M(v);
            v = P(M(v));
        }
    }

    // The exposed vertex at the end of an augmenting path from `root`, or -1.
    int FindPath(int root)
    {
        std::fill(used_.begin(), used_.end(), false);
        std::fill(parent_.begin(), parent_.end(), -1);
        for (int i = 0; i < n_; ++i)
            B(i) = i;
        used_[static_cast<std::size_t>(root)] = true;
        int head = 0;
        int tail = 0;
        queue_[static_cast<std::size_t>(tail++)] = root;
        while (head < tail) {
            const int v = queue_[static_cast<std::size_t>(head++)];
            for (int edge = first_[static_cast<std::size_t>(v)]; edge < first_[static_cast<std::size_t>(v) + 1]; ++edge) {
                int to = adjacent_[static_cast<std::size_t>(edge)];
                if (B(v) == B(to) || M(v) == to)
                    continue;
                if (to == root || (M(to) != -1 && P(M(to)) != -1)) {
                    const int base = CommonBase(v, to);
                    std::fill(blossom_.begin(), blossom_.end(), false);
                    MarkPath(v, base, to);
                    MarkPath(to, base, v);
                    for (int i = 0; i < n_; ++i) {
                        if (!blossom_[static_cast<std::size_t>(B(i))])
                            continue;
                        B(i) = base;
                        if (!used_[static_cast<std::size_t>(i)]) {
                            used_[static_cast<std::size_t>(i)] = true;
                            queue_[static_cast<std::size_t>(tail++)] = i;
                        }
                    }
                } else if (P(to) == -1) {
                    P(to) = v;
                    if (M(to) == -1)
                        return to;
                    to = M(to);
                    used_[static_cast<std::size_t>(to)] = true;
                    queue_[static_cast<std::size_t>(tail++)] = to;
                }
            }
        }
        return -1;
    }

    int n_;
    std::vector<int> first_;    // vertex v's neighbours are adjacent_[first_[v] .. first_[v + 1])
    std::vector<int> adjacent_;
    std::vector<int> match_;
    std::vector<int> parent_;
    std::vector<int> base_;
    std::vector<int> queue_;
    std::vector<bool> used_;
    std::vector<bool> blossom_;
    std::vector<bool> onPath_;
};

} // namespace

bool HasDegreeFactor(const std::vector<int>& degree, const std::vector<std::pair<int, int>>& edges,
                     std::vector<std::uint8_t>* used)
{
    // Counting first: the degrees' sum is twice the edges, and no vertex can have more edges
    // than it touches.
    const std::size_t vertices = degree.size();
    std::vector<int> touching(vertices, 0);
    std::vector<int> firstCopy(vertices, 0);
    int copies = 0;
    int sum = 0;
    for (std::size_t v = 0; v < vertices; ++v) {
        if (degree[v] < 0)
            return false;
        firstCopy[v] = copies;
        copies += degree[v];
        sum += degree[v];
    }
    if (sum % 2 != 0)
        return false;
    for (const auto& [a, b] : edges) {
        if (degree[static_cast<std::size_t>(a)] > 0 && degree[static_cast<std::size_t>(b)] > 0) {
            ++touching[static_cast<std::size_t>(a)];
            ++touching[static_cast<std::size_t>(b)];
        }
    }
    for (std::size_t v = 0; v < vertices; ++v)
        if (touching[v] < degree[v])
            return false;

    // The gadget: each vertex becomes as many copies as its degree; each edge two joined
    // vertices, one seeing every copy of each end. A perfect matching either pairs the two (the
    // edge unused) or matches each with a copy of its end (the edge used once at each end).
    // A greedy start, the edges to try first and then those between the least connected
    // vertices, leaves few vertices for the augmenting paths.
    std::vector<std::pair<int, int>> order;
    for (std::size_t i = 0; i < edges.size(); ++i) {
        const auto [a, b] = edges[i];
        const bool first = used && (*used)[i];
        if (degree[static_cast<std::size_t>(a)] > 0 && degree[static_cast<std::size_t>(b)] > 0)
            order.emplace_back((first ? 0 : 64) + touching[static_cast<std::size_t>(a)] + touching[static_cast<std::size_t>(b)],
                               static_cast<int>(i));
    }
    std::sort(order.begin(), order.end());
    std::vector<std::pair<int, int>> gadget;
    std::vector<std::pair<int, int>> greedy;
    std::vector<int> taken(vertices, 0);
    int next = copies;
    for (const auto& [weight, index] : order) {
        const auto [a, b] = edges[static_cast<std::size_t>(index)];
        const auto sa = static_cast<std::size_t>(a);
        const auto sb = static_cast<std::size_t>(b);
        const int sideA = next++;
        const int sideB = next++;
        for (int i = 0; i < degree[sa]; ++i)
            gadget.emplace_back(firstCopy[sa] + i, sideA);
        for (int i = 0; i < degree[sb]; ++i)
            gadget.emplace_back(firstCopy[sb] + i, sideB);
        gadget.emplace_back(sideA, sideB);
        if (taken[sa] < degree[sa] && taken[sb] < degree[sb]) {
            greedy.emplace_back(firstCopy[sa] + taken[sa]++, sideA);
            greedy.emplace_back(firstCopy[sb] + taken[sb]++, sideB);
        } else {
            greedy.emplace_back(sideA, sideB);
        }
    }
    PerfectMatching matching(next, gadget);
    for (const auto& [a, b] : greedy)
        matching.Pair(a, b);
    if (!matching.Exists())
        return false;
    // An edge is in the factor when its two gadget vertices are matched to copies of its ends.
    if (used) {
        used->assign(edges.size(), 0);
        int side = copies;
        for (const auto& [weight, index] : order) {
            (*used)[static_cast<std::size_t>(index)] = matching.Partner(side) != side + 1;
            side += 2;
        }
    }
    return true;
}

} // namespace tovra::solver

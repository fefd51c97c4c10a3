#pragma once
// "The board changed": the one notification of every change of the numbers or the mark, sent
// by the rules once after each number placed, each number taken back (every step of an undo
// walk), each mark set or removed, and each new game. Whoever keeps something about the board
// (saving, a question about it, a cursor on it) subscribes; the drawing interface knows
// nothing of it.
#include <functional>
#include <map>
#include <vector>

namespace tovra {

class BoardChanges {
public:
    using Listener = std::function<void()>;

    // Ends its subscription when it goes. The BoardChanges must outlive it.
    class Subscription {
    public:
        Subscription() = default;
        Subscription(BoardChanges* changes, int id) : changes_(changes), id_(id) {}
        Subscription(Subscription&& other) noexcept : changes_(other.changes_), id_(other.id_) { other.changes_ = nullptr; }
        Subscription& operator=(Subscription&& other) noexcept
        {
            if (this != &other) {
                End();
                changes_ = other.changes_;
                id_ = other.id_;
                other.changes_ = nullptr;
            }
            return *this;
        }
        Subscription(const Subscription&) = delete;
        Subscription& operator=(const Subscription&) = delete;
        ~Subscription() { End(); }

        void End()
        {
            if (changes_)
                changes_->listeners_.erase(id_);
            changes_ = nullptr;
        }

    private:
        BoardChanges* changes_ = nullptr;
        int id_ = 0;
    };

    BoardChanges() = default;
    // Listeners belong to one game: a copy of the game starts with none.
    BoardChanges(const BoardChanges&) {}
    BoardChanges& operator=(const BoardChanges&) { return *this; }

    // `listener` runs after every change, in the order of subscription.
    [[nodiscard]] Subscription Subscribe(Listener listener)
    {
        listeners_.emplace(nextId_, std::move(listener));
        return {this, nextId_++};
    }

    // Tells every listener. One that subscribes or ends meanwhile is heard from the next change.
    void Notify()
    {
        std::vector<int> ids;
        for (const auto& [id, listener] : listeners_)
            ids.push_back(id);
        for (const int id : ids) {
            // A copy runs: the listener may end its own subscription meanwhile.
            if (const auto found = listeners_.find(id); found != listeners_.end()) {
                const Listener listener = found->second;
                listener();
            }
        }
    }

private:
    std::map<int, Listener> listeners_;
    int nextId_ = 0;
};

} // namespace tovra

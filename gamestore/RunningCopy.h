#pragma once
// This copy of the game among the others started in the same folder. Each copy writes its
// token into the games it plays and holds a lock on a small file named after the token; the
// system drops the lock when the process ends in any way, a kill included. A game whose
// token nobody holds belongs to no running copy and may be resumed.
#include <string>

namespace tovra {

class RunningCopy {
public:
    // `databasePath`: the game database; the lock file sits beside it.
    explicit RunningCopy(std::string databasePath, std::string token = NewToken());
    ~RunningCopy();
    RunningCopy(const RunningCopy&) = delete;
    RunningCopy& operator=(const RunningCopy&) = delete;

    const std::string& Token() const { return token_; }
    // Takes the lock, once; later calls only report. False when the lock file cannot be made:
    // this copy then must not write its token into any game.
    bool Hold();

    // Whether a running copy holds `token`. The lock file of a copy that has ended is removed.
    // A token that cannot be checked (an unreadable lock file) counts as held.
    static bool IsRunning(const std::string& databasePath, const std::string& token);
    // "<database>-copy-<token>".
    static std::string LockPath(const std::string& databasePath, const std::string& token);
    // 16 random hexadecimal digits.
    static std::string NewToken();

private:
    std::string path_;
    std::string token_;
    int fd_ = -1;
};

} // namespace tovra

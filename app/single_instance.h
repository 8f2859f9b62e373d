// One kivo per user at a time: a lock file in the user's runtime folder. Two runs at once would
// both load the records and both write them at the end, and the edits of one would be lost.
#pragma once

#include <QLockFile>
#include <QString>
#include <chrono>
#include <memory>

namespace kivo {

class SingleInstance {
public:
    // The lock "kivo.lock" in `folder`; by default the user's runtime folder.
    explicit SingleInstance(const QString& folder = runtimeFolder());

    // Takes the lock, waiting up to `wait` for a kivo that is about to end. True also when there
    // is no place for a lock at all: a run is never refused for want of one. A lock left behind
    // by a kivo that no longer runs is taken over, however old; a live kivo's lock never goes
    // stale, since its window may stay open all day.
    bool acquire(std::chrono::milliseconds wait = std::chrono::milliseconds(0));

    // Asks the kivo that holds the lock to bring its window to the front. False when it cannot
    // be asked (no such kivo, or no way to reach it on this system).
    bool askHolderToRaise() const;

    static QString runtimeFolder();

private:
    std::unique_ptr<QLockFile> lock_;
};

// Makes this process answer askHolderToRaise() of a later start: from now on such a request is
// noted rather than ending the process. Returns a descriptor that becomes readable at each request
// (-1 where requests cannot arrive).
int listenForRaiseRequests();
// Reads the requests noted on `requests` so far, so that it waits for the next one.
void takeRaiseRequests(int requests);

} // namespace kivo

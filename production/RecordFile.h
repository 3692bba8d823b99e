#pragma once

#include <sys/stat.h>

#include <string>

// What the serial state and the log share: several runs keep them at once (one trilo-cli per
// board, the window), so each change is made under a lock on the file, and neither is
// trusted when someone else could have written it.
namespace trilo {

// Why the file may not keep a series' records: not a regular file, another user's, writable
// by everyone, or made read-only by its owner (root would write it all the same). Empty when
// it may.
std::string recordDistrust(const struct stat& st);

// The whole file locked on its open file description (F_OFD_SETLKW): two runs in one process
// exclude each other as two processes do, and a run that dies lets go with its descriptor.
// Waits for the lock; a failure, or a signal that breaks the wait, raises TriloError with why.
class RecordLock {
public:
    RecordLock(int fd, const std::string& what);
    ~RecordLock();
    RecordLock(const RecordLock&) = delete;
    RecordLock& operator=(const RecordLock&) = delete;

private:
    int fd_;
};

}  // namespace trilo

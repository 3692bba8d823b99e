#pragma once

#include <string>

namespace trilo {

class Platform;

// The name of the buffer file inside the private directory.
inline constexpr const char* kBufferName = "tmpprgrmr.tmp";

// A directory and a name with exactly one '/' between them.
std::string joinPath(const std::string& dir, const std::string& name);

// The user's private directory for the buffer: "$XDG_RUNTIME_DIR/trilo-programmer" when that
// variable names a directory, else "trilo-programmer-<uid>" in $TMPDIR (when that names a
// directory) or /tmp. Created with mode 0700 when missing. The shared temporary directory is
// writable by everyone, so a directory that is a link, not a directory, another user's or
// open to others is refused: StartupAbort with a message that says why.
std::string preparePrivateDir(Platform& platform);

// "trilo-programmer-<uid>" in $TMPDIR or /tmp, made and checked as above: the one place per
// user that holds the window's instance lock, whatever XDG_RUNTIME_DIR says.
std::string prepareUserTempDir(Platform& platform);

// Held for the whole run, so a second instance of the same user cannot delete the first
// one's unsaved buffer at its start-up.
class InstanceLock {
public:
    // Takes the lock, or raises StartupAbort (Information) when another instance holds it.
    explicit InstanceLock(const std::string& dir);
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    static constexpr const char* kFileName = "instance.lock";

private:
    int fd_ = -1;
};

}  // namespace trilo

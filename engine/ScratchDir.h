#pragma once

#include <string>

namespace trilo {

// A run's own directory for the buffer of a read and for standard input, inside the user's
// private one in $TMPDIR or /tmp: trilo-cli keeps no buffer file of the window's, so the two
// run side by side. It is made when first asked for, locked while the run lasts and removed
// at its end; one that a killed run left is unlocked, and the next run that needs one
// removes it.
class ScratchDir {
public:
    ScratchDir() = default;
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    ~ScratchDir();
    // A file of that name in the directory.
    std::string file(const char* name);

private:
    void create();

    std::string dir_;
    int lock_ = -1;
};

}  // namespace trilo

#pragma once

#include <string>

#include "base/Errors.h"

namespace trilo {

// The one place where a failed system call becomes the code of the error table: a missing
// file is 2, a name that cannot be a file 3, no descriptors left 4, refused access 5, no space
// left 101; any other cause keeps its own number in the text "I/O error <errno>".
IoError ioErrorFromErrno(int err);

// Raises the error for the errno of the call that just failed.
[[noreturn]] void throwIoError(int err);

}  // namespace trilo

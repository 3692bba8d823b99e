#pragma once

#include <string>

#include "base/Errors.h"

namespace trilo {

// The one place where a failed system call becomes the code of the error table: a missing
// file is 2, a name that cannot be a file 3, no descriptors left 4, refused access 5, no space
// left 101; any other cause keeps its own number in the text "I/O error <errno>".
IoError ioErrorFromErrno(int err);

// What an error says in the user's language (Czech unless English was chosen) where no error
// box shows the table's text (trilo-cli): the system's reason for a failed call, what a
// refused save or a swapped file means; any other error's own words with a full stop.
std::string czechErrorText(const TriloError& e);

// Raises the error for the errno of the call that just failed.
[[noreturn]] void throwIoError(int err);

// A name that is no regular file (a directory, a FIFO, a device): no data file, whatever it
// would give to read. "Invalid filename", as a directory has always been.
class NotRegularFile : public IoError {
public:
    explicit NotRegularFile(bool directory)
        : IoError(IoError::InvalidFilename), directory_(directory) {}
    bool directory() const { return directory_; }

private:
    bool directory_;
};

// The name led to another file when it was opened than when it was looked at: something
// swapped it in between, and what was opened is not read.
class FileSwapped : public IoError {
public:
    FileSwapped() : IoError(IoError::InvalidFilename) {}
};

}  // namespace trilo

#pragma once

#include <string>

namespace trilo {

class Platform;

// Held for the whole run in the private buffer directory, so a second instance of the same
// user cannot delete the first one's unsaved buffer.
class InstanceLock {
public:
    InstanceLock() = default;
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;
};

}  // namespace trilo

#include "data/BufferDir.h"

namespace trilo {

InstanceLock::~InstanceLock() = default;

}  // namespace trilo

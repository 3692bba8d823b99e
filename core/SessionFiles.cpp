#include "core/Session.h"
#include "data/BufferDir.h"

namespace trilo {

// Placeholders until the buffer and data files land.
void Session::setupBuffer() {}
void Session::FormClose() {}
void Session::mnuOpenClick() {}
void Session::mnuSaveClick() {}
void Session::mnuSaveAsClick() {}
void Session::SaveBufferAs() {}
void Session::moveBufferTo(const std::string&) {}

}  // namespace trilo

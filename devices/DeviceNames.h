#pragma once

#include <string>
#include <vector>

#include "devices/Catalog.h"

namespace trilo {

// The device a user means by a typed name, in any letter case: the menu's name ("90S8515"),
// the maker's full name ("AT90S8515", "ATtiny28") or the short AVR name other programmers
// use ("8515", "t28"). nullptr when no device goes by that name.
const DeviceInfo* deviceFromTypedName(const std::string& typed);

// For a name no device goes by: the devices whose spellings come closest to it, in menu
// order, at most three; empty when none is close enough to be a likely typo.
std::vector<const DeviceInfo*> devicesNamedLike(const std::string& typed);

// The devices with their families, sizes, signatures and fuse names, in menu order, one to a
// line under a header: trilo-cli's list.
std::string deviceListText();

}  // namespace trilo

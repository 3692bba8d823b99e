#include "data/ByteFile.h"

namespace trilo {

// Placeholder until the data-file layer lands.
ByteFile::~ByteFile() = default;
void ByteFile::create(const std::string&) {}
void ByteFile::openRead(const std::string&) {}
std::int64_t ByteFile::size() {
    return 0;
}
std::uint8_t ByteFile::readByte() {
    return 0;
}
void ByteFile::writeByte(std::uint8_t) {}
void ByteFile::close() {}
void ByteFile::closeQuietly() noexcept {}
bool ByteFile::isOpen() const {
    return false;
}

}  // namespace trilo

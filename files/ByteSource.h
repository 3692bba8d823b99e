#pragma once

#include <cstdint>
#include <utility>
#include <vector>

namespace trilo {

// What Write, Verify and the EEPROM write read their bytes from: the data file as it stands
// on disk, or an image made from it.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Size in bytes.
    virtual std::int64_t size() = 0;
    // The next byte; past the end an IoError 100.
    virtual std::uint8_t readByte() = 0;
    virtual void close() = 0;
};

// An image held in memory.
class ImageSource final : public ByteSource {
public:
    explicit ImageSource(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}
    std::int64_t size() override { return static_cast<std::int64_t>(bytes_.size()); }
    std::uint8_t readByte() override;
    void close() override {}

private:
    std::vector<std::uint8_t> bytes_;
    std::size_t next_ = 0;
};

}  // namespace trilo

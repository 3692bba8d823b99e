#pragma once

#include <optional>
#include <string>

namespace trilo {

// What the program needs of the machine it runs on, behind one interface so tests can stand in.
class Platform {
public:
    virtual ~Platform() = default;
    virtual std::string currentDirectory() = 0;
    virtual std::optional<std::string> environment(const std::string& name) = 0;
    virtual unsigned userId() = 0;
    // Where the kernel's /proc and /sys are read: "/", or a tree of a test's own.
    virtual std::string kernelRoot() { return "/"; }
};

// The real machine: the process's directory, environment and user.
class SystemPlatform : public Platform {
public:
    std::string currentDirectory() override;
    std::optional<std::string> environment(const std::string& name) override;
    unsigned userId() override;
};

}  // namespace trilo

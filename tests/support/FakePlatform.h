#pragma once

#include <unistd.h>

#include <map>
#include <memory>
#include <string>

#include "base/Platform.h"
#include "board/PortChoice.h"
#include "support/RecordingPort.h"

namespace trilo::test {

// A machine for tests: a chosen current directory and environment, and a recording port.
class FakePlatform : public Platform, public PortOpener {
public:
    explicit FakePlatform(std::string dir) : dir_(std::move(dir)) {
        env["XDG_RUNTIME_DIR"] = dir_;
        env["TMPDIR"] = dir_;
    }

    std::string currentDirectory() override { return dir_; }
    std::optional<std::string> environment(const std::string& name) override {
        auto it = env.find(name);
        if (it == env.end()) {
            return std::nullopt;
        }
        return it->second;
    }
    unsigned userId() override { return uid; }
    // No kernel tree unless a test builds one: the machine's own ports never show.
    std::string kernelRoot() override { return dir_ + "/kernel"; }
    PortSetup openPort(const PortOptions& options, Clock&) override {
        opened = options;
        PortSetup setup;
        auto layer = std::make_unique<RecordingPort>();
        port = layer.get();
        setup.layer = std::move(layer);
        return setup;
    }

    std::map<std::string, std::string> env;
    // The real user by default: the private directory the session makes is theirs.
    unsigned uid = static_cast<unsigned>(::getuid());
    RecordingPort* port = nullptr;  // owned by the session
    PortOptions opened;

private:
    std::string dir_;
};

// The real choice of port layer, forced to the simulated board: the machine without a parallel
// port that the session runs on end to end.
class SimMachine : public FakePlatform {
public:
    using FakePlatform::FakePlatform;
    PortSetup openPort(const PortOptions& options, Clock& clock) override {
        opened = options;
        PortOptions sim = options;
        sim.board = "sim";
        PortSetup setup = openPortLayer(sim, clock);
        board = setup.board;
        return setup;
    }
    SimulatedBoard* board = nullptr;  // owned by the session
};

}  // namespace trilo::test

#include "link/TracePort.h"

#include <gtest/gtest.h>
#include <sys/mount.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "link/Link.h"
#include "support/RecordingPort.h"
#include "support/TestDir.h"

namespace trilo::test {
namespace {

// A trace over a recording port and a recording clock, writing to a file of a test dir.
struct Traced {
    TestDir dir;
    RecordingClock inner;
    std::shared_ptr<TraceFile> file;
    RecordingPort* port = nullptr;
    std::unique_ptr<TracePort> layer;
    std::unique_ptr<TraceClock> clock;

    explicit Traced(const std::string& existing = "") {
        if (!existing.empty()) {
            dir.write("trace.txt", existing);
        }
        file = std::make_shared<TraceFile>(dir.file("trace.txt"));
        auto recording = std::make_unique<RecordingPort>();
        port = recording.get();
        layer = std::make_unique<TracePort>(std::move(recording), file);
        clock = std::make_unique<TraceClock>(inner, file);
    }
    // What is on disk once the trace is closed.
    std::string text() {
        layer.reset();
        clock.reset();
        file.reset();
        return dir.read("trace.txt");
    }
};

TEST(Trace, WritesOneLinePerAccessOrWaitInTheExactFormat) {
    struct Case {
        std::string name;
        std::function<void(Traced&)> run;
        std::string text;
    };
    const Case cases[] = {
        {"write", [](Traced& t) { t.layer->out(0x37A, 0x0B); }, "W 037A 0B\n"},
        {"write of zero", [](Traced& t) { t.layer->out(0x378, 0x00); }, "W 0378 00\n"},
        {"upper-case hex", [](Traced& t) { t.layer->out(0xABCD, 0xEF); }, "W ABCD EF\n"},
        {"read",
         [](Traced& t) {
             t.port->defaults[0x379] = 0x08;
             t.layer->in(0x379);
         },
         "R 0379 08\n"},
        {"read of a blank byte",
         [](Traced& t) {
             t.port->defaults[0x278] = 0xFF;
             t.layer->in(0x278);
         },
         "R 0278 FF\n"},
        {"waits in decimal",
         [](Traced& t) {
             t.clock->sleep(1);
             t.clock->sleep(10);
             t.clock->sleep(150);
         },
         "S 1\nS 10\nS 150\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Traced t;
        c.run(t);
        EXPECT_EQ(t.text(), c.text);
    }
}

TEST(Trace, RecordsALinkPulseInOrder) {
    Traced t;
    Portinc portinc;
    portinc.attach(t.layer.get());
    Link link(portinc, *t.clock);
    link.PortBase = kLpt2Base;
    link.PollLimit = 2;
    link.ControlShadow = 0x0A;
    t.port->script[0x279] = {0x08, 0x00};
    link.PulseControlLow(10);
    link.WriteStrobeWait();
    EXPECT_EQ(t.text(),
              "W 027A 02\nS 10\nW 027A 0A\n"
              "W 027A 02\nR 0279 08\nR 0279 00\nW 027A 0A\n");
}

TEST(Trace, PassesEverythingOnUnchanged) {
    Traced t;
    t.port->defaults[0x378] = 0x5A;
    t.port->statusText = "board";
    t.layer->ignite();
    t.layer->out(0x378, 0x12);
    EXPECT_EQ(t.layer->in(0x378), 0x5A);
    t.clock->sleep(100);

    const std::vector<Access> expected = {
        {Access::Kind::Ignite, 0, 0}, W(0x378, 0x12), R(0x378, 0x5A)};
    EXPECT_EQ(t.port->accesses, expected);
    EXPECT_EQ(t.inner.waits, std::vector<int>{100});
    t.inner.advanceUs(5);
    EXPECT_EQ(t.clock->nowUs(), t.inner.nowUs());

    t.port->usable = false;
    const PortStatus status = t.layer->status(kLpt2Base);
    EXPECT_FALSE(status.usable);
    EXPECT_EQ(status.text, "LPT2: board, záznam do " + t.dir.file("trace.txt"));
}

TEST(Trace, AppendsToWhatIsThere) {
    Traced t("W 0378 01\n");
    t.layer->out(0x378, 0x02);
    EXPECT_EQ(t.text(), "W 0378 01\nW 0378 02\n");
}

// Two runs tracing into one file: their lines interleave, and each reaches the file whole.
TEST(Trace, TwoTracesIntoOneFileNeverTearALine) {
    TestDir dir;
    {
        TraceFile first(dir.file("shared.trace"));
        TraceFile second(dir.file("shared.trace"));
        for (int k = 0; k < 3000; ++k) {
            first.write(0x37A, static_cast<std::uint8_t>(k));
            second.read(0x379, static_cast<std::uint8_t>(k));
            if (k % 1000 == 999) {
                first.wait(150);
            }
        }
    }
    std::istringstream text(dir.read("shared.trace"));
    const std::regex whole("W 037A [0-9A-F]{2}|R 0379 [0-9A-F]{2}|S 150");
    int lines = 0;
    std::string torn;
    for (std::string line; std::getline(text, line); ++lines) {
        if (torn.empty() && !std::regex_match(line, whole)) {
            torn = line;
        }
    }
    EXPECT_EQ(torn, "");
    EXPECT_EQ(lines, 6003);
}

TEST(Trace, IsOnDiskAtEveryWait) {
    Traced t;
    t.layer->out(0x37A, 0x02);
    t.clock->sleep(10);
    EXPECT_EQ(t.dir.read("trace.txt"), "W 037A 02\nS 10\n");
}

// A file system of 4 KiB at dir, filled up; false where mounting takes a root this run lacks.
bool mountFullTmpfs(const std::string& dir) {
    if (::mount("tmpfs", dir.c_str(), "tmpfs", 0, "size=4k") != 0) {
        return false;
    }
    std::ofstream fill(dir + "/fill", std::ios::binary);
    fill << std::string(64 * 1024, 'x');
    return true;
}

TEST(Trace, ReleasingTheTargetPutsEveryLineOnDiskOrStopsTheTraceSayingWhy) {
    struct Case {
        const char* name;
        const char* setup;   // shell commands in the test dir; "full" mounts a full tmpfs at m
        const char* trace;   // relative to the test dir, or absolute
        std::string status;  // %s: the trace's path
        int lines;           // in the trace afterwards
    };
    const std::vector<Case> cases = {
        {"a new file", "", "trace.txt", "LPT1: recording port, záznam do %s", 27},
        {"a link", "echo mine >mine && ln -s mine trace.txt", "trace.txt",
         "LPT1: recording port (záznam nelze otevřít: %s: je to symbolický odkaz)", 0},
        {"a device", "", "/dev/full",
         "LPT1: recording port (záznam nelze otevřít: %s: není obyčejný soubor)", 0},
        {"a full disk", "full", "m/trace.txt",
         "LPT1: recording port (záznam zastaven: na disku není místo)", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestDir dir;
        const std::string path = c.trace[0] == '/' ? c.trace : dir.file(c.trace);
        if (std::string(c.setup) == "full") {
            std::filesystem::create_directory(dir.path() / "m");
            if (!mountFullTmpfs(dir.file("m"))) {
                std::printf("skipped %s: mounting a tmpfs takes root\n", c.name);
                continue;
            }
        } else if (*c.setup != 0) {
            ASSERT_EQ(std::system(("cd '" + dir.path().string() + "' && " + c.setup).c_str()), 0);
        }
        {
            TracePort layer(std::make_unique<RecordingPort>(), std::make_shared<TraceFile>(path));
            Portinc portinc;
            portinc.attach(&layer);
            RecordingClock clock;
            Link(portinc, clock).ReleaseTarget();
            std::string status = c.status;
            if (const auto at = status.find("%s"); at != std::string::npos) {
                status.replace(at, 2, path);
            }
            EXPECT_EQ(layer.status(kLpt1Base).text, status);
        }
        const std::string text = c.lines > 0 ? dir.read(c.trace) : "";
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), c.lines);
        if (std::string(c.setup) == "full") {
            ::umount2(dir.file("m").c_str(), MNT_DETACH);
        } else if (*c.setup != 0) {
            EXPECT_EQ(dir.read("mine"), "mine\n") << "the link's target is left alone";
        }
    }
}

TEST(Trace, AFileThatCannotBeOpenedLeavesThePortWorkingAndSaysSo) {
    TestDir dir;
    const std::string path = dir.file("missing-dir/trace.txt");
    auto file = std::make_shared<TraceFile>(path);
    auto recording = std::make_unique<RecordingPort>();
    RecordingPort* port = recording.get();
    TracePort layer(std::move(recording), file);
    RecordingClock inner;
    TraceClock clock(inner, file);

    layer.out(0x378, 0x34);
    clock.sleep(10);
    EXPECT_EQ(port->accesses, std::vector<Access>{W(0x378, 0x34)});
    EXPECT_EQ(inner.waits, std::vector<int>{10});

    const PortStatus status = layer.status(kLpt1Base);
    EXPECT_TRUE(status.usable) << "a trace is no reason to refuse the board";
    EXPECT_EQ(status.text, "LPT1: recording port (záznam nelze otevřít: " + path +
                               ": soubor nebo adresář neexistuje)");
    EXPECT_FALSE(std::filesystem::exists(path));
}

}  // namespace
}  // namespace trilo::test

#include "board/PortChoice.h"

#include <gtest/gtest.h>

#include <string>

#include "presenter/Session.h"
#include "support/FakePlatform.h"
#include "support/FakeView.h"
#include "support/TestDir.h"

namespace trilo::test {
namespace {

TEST(ChooseBoard, FollowsTheBoardKeyAndTheNode) {
    struct Case {
        std::string board;
        bool nodeExists;
        std::optional<BoardKind> kind;
    };
    const Case cases[] = {
        {"auto", true, BoardKind::Ppdev},   {"auto", false, BoardKind::Sim},
        {"", true, BoardKind::Ppdev},       {"", false, BoardKind::Sim},
        {"AUTO", false, BoardKind::Sim},    {"ppdev", false, BoardKind::Ppdev},
        {"ppdev", true, BoardKind::Ppdev},  {"sim", true, BoardKind::Sim},
        {"Sim", false, BoardKind::Sim},     {"parport", true, std::nullopt},
        {"simulated", false, std::nullopt}, {"1", true, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.board + (c.nodeExists ? " node" : " no node"));
        EXPECT_EQ(chooseBoard(c.board, c.nodeExists), c.kind);
    }
}

// Nodes in a test directory: an ordinary file stands for a node that exists.
struct Nodes {
    TestDir dir;
    PpdevNodes nodes{dir.file("parport0"), dir.file("parport1")};
};

TEST(OpenPortLayer, AutoTakesTheSelectedPortsNodeOrTheSimulatedBoard) {
    struct Case {
        std::string name;
        std::string board;
        std::uint16_t base;
        bool lpt1Exists;
        bool lpt2Exists;
        bool ppdev;
    };
    const Case cases[] = {
        {"LPT1 node present", "auto", kLpt1Base, true, false, true},
        {"LPT1 node missing", "auto", kLpt1Base, false, true, false},
        {"LPT2 node present", "auto", kLpt2Base, false, true, true},
        {"LPT2 node missing", "auto", kLpt2Base, true, false, false},
        {"ppdev without node", "ppdev", kLpt1Base, false, false, true},
        {"sim with node", "sim", kLpt1Base, true, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Nodes n;
        if (c.lpt1Exists) {
            n.dir.write("parport0", "");
        }
        if (c.lpt2Exists) {
            n.dir.write("parport1", "");
        }
        RecordingClock clock;
        PortOptions options;
        options.board = c.board;
        options.base = c.base;
        PortSetup setup = openPortLayer(options, clock, n.nodes);
        ASSERT_NE(setup.layer, nullptr);
        EXPECT_EQ(setup.clock, nullptr) << "no trace asked for";
        EXPECT_EQ(dynamic_cast<PpdevPort*>(setup.layer.get()) != nullptr, c.ppdev);
    }
}

TEST(OpenPortLayer, TheRealKernelRefusesAFileThatIsNoParallelPort) {
    Nodes n;
    n.dir.write("parport0", "");
    RecordingClock clock;
    PortSetup setup = openPortLayer(PortOptions{}, clock, n.nodes);
    const PortStatus status = setup.layer->status(kLpt1Base);
    EXPECT_FALSE(status.usable);
    EXPECT_EQ(status.text,
              "LPT1: " + n.nodes.lpt1 + " není paralelní port; zkontrolujte soubor zařízení");
    // ppdev without its node says how to get one.
    PortOptions ppdev;
    ppdev.board = "ppdev";
    ppdev.base = kLpt2Base;
    setup = openPortLayer(ppdev, clock, n.nodes);
    EXPECT_EQ(setup.layer->status(kLpt2Base).text,
              ppdevProblem(PpdevStep::Open, ENOENT, "LPT2", n.nodes.lpt2));
    // "LPT2Node" puts another node in the default's place.
    ppdev.lpt2Node = n.dir.file("card");
    setup = openPortLayer(ppdev, clock, n.nodes);
    EXPECT_EQ(setup.layer->status(kLpt2Base).text,
              ppdevProblem(PpdevStep::Open, ENOENT, "LPT2", ppdev.lpt2Node));
}

TEST(OpenPortLayer, AnUnknownBoardIsAnUnusablePortThatSaysWhatToWrite) {
    Nodes n;
    RecordingClock clock;
    PortOptions options;
    options.board = "parport";
    PortSetup setup = openPortLayer(options, clock, n.nodes);
    const PortStatus status = setup.layer->status(kLpt1Base);
    EXPECT_FALSE(status.usable);
    EXPECT_EQ(status.text,
              "Neznámá deska \"parport\" v programmer.ini (klíč Board v sekci SETUP_PRG); "
              "použijte auto, ppdev nebo sim");
    EXPECT_EQ(setup.layer->in(0x379), 0xFF);
}

TEST(OpenPortLayer, TraceWrapsTheLayerAndTheClock) {
    Nodes n;
    RecordingClock clock;
    PortOptions options;
    options.board = "sim";
    options.trace = n.dir.file("trace.txt");
    {
        PortSetup setup = openPortLayer(options, clock, n.nodes);
        ASSERT_NE(setup.clock, nullptr);
        setup.layer->out(0x378, 0x00);
        setup.layer->in(0x378);
        setup.clock->sleep(10);
        EXPECT_EQ(clock.waits, std::vector<int>{10});
        EXPECT_NE(setup.layer->status(kLpt1Base).text.find(", záznam do " + options.trace),
                  std::string::npos);
    }
    const std::string text = n.dir.read("trace.txt");
    EXPECT_EQ(text.substr(0, 10), "W 0378 00\n");
    EXPECT_EQ(text.substr(10, 7), "R 0378 ");
    EXPECT_EQ(text.substr(20), "S 10\n");
}

// The session with the real choice of layer, from a programmer.ini that asks for the
// simulated board and a trace: start-up's own accesses land in the trace, and the link's
// waits go through the trace's clock.
class ChoosingPlatform : public FakePlatform {
public:
    using FakePlatform::FakePlatform;
    PortSetup openPort(const PortOptions& options, Clock& clock) override {
        opened = options;
        return openPortLayer(options, clock, PpdevNodes{"/nonexistent/0", "/nonexistent/1"});
    }
};

TEST(OpenPortLayer, SessionStartUpWritesItsAccessesAndWaitsToTheTrace) {
    TestDir dir;
    const std::string trace = dir.file("board.trace");
    dir.write("programmer.ini", "[SETUP_PRG]\nPort=LPT2\nBoard=sim\nTrace=" + trace + "\n");
    FakeView view;
    RecordingClock clock;
    ChoosingPlatform platform(dir.path().string());
    {
        Session session(view, clock, platform, platform);
        ASSERT_TRUE(session.handle([&] { session.FormCreate(); }));
        EXPECT_EQ(platform.opened.board, "sim");
        EXPECT_EQ(platform.opened.base, kLpt2Base);
        const std::string status = view.caption(Control::statusLine);
        EXPECT_EQ(status.substr(0, 6), "LPT2: ");
        EXPECT_NE(status.find(", záznam do " + trace), std::string::npos);
        session.engine().board().link().PulseControlLow(10);
        EXPECT_EQ(clock.waits, std::vector<int>{10});
    }
    std::string expected = "W 027A 0B\n";
    for (int bit = 0; bit < 6; ++bit) {
        expected += "W 027A 0B\nW 027A 0F\nW 027A 0B\n";
    }
    expected += "W 027A 09\nW 027A 0D\nW 027A 09\nW 027A 09\nW 027A 0D\nW 027A 09\n";
    expected += "W 027A 0A\nW 0278 00\nW 0278 00\n";
    expected += "W 027A 02\nS 10\nW 027A 0A\n";
    EXPECT_EQ(dir.read("board.trace"), expected);
    // The two optional keys are read, never written.
    const std::string ini = dir.read("programmer.ini");
    EXPECT_NE(ini.find("Board=sim\n"), std::string::npos);
    EXPECT_NE(ini.find("Trace=" + trace + "\n"), std::string::npos);
}

}  // namespace
}  // namespace trilo::test

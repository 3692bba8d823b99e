#include "link/PpdevPort.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/parport.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "base/Clock.h"
#include "board/BoardCheck.h"
#include "link/Link.h"
#include "support/KernelTree.h"
#include "support/TestDir.h"

namespace trilo::test {
namespace {

using Kind = ControlStep::Kind;

// ---- Control register to ioctls --------------------------------------------------------

TEST(PlanControlWrite, KeepsDirectionOutOfTheLinesAndOrdersIt) {
    struct Case {
        std::string name;
        std::optional<std::uint8_t> previous;
        std::uint8_t next;
        std::vector<ControlStep> steps;
    };
    const Case cases[] = {
        {"same direction: lines only", 0x0A, 0x0B, {{Kind::Lines, 0x0B}}},
        {"shift clock high", 0x0B, 0x0F, {{Kind::Lines, 0x0F}}},
        {"programming pulse", 0x0A, 0x02, {{Kind::Lines, 0x02}}},
        {"start reading: direction first", 0x0A, 0x2A, {{Kind::Direction, 1}, {Kind::Lines, 0x0A}}},
        {"stop reading: lines first", 0x2A, 0x0A, {{Kind::Lines, 0x0A}, {Kind::Direction, 0}}},
        {"still reading", 0x2A, 0x2A, {{Kind::Lines, 0x0A}}},
        {"unknown before: forward after the lines",
         std::nullopt,
         0x0B,
         {{Kind::Lines, 0x0B}, {Kind::Direction, 0}}},
        {"unknown before: reverse before the lines",
         std::nullopt,
         0x2A,
         {{Kind::Direction, 1}, {Kind::Lines, 0x0A}}},
        {"bits 4, 6 and 7 never reach the port", 0x0A, 0xDA, {{Kind::Lines, 0x0A}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ControlPlan plan = planControlWrite(c.previous, c.next);
        EXPECT_EQ(std::vector<ControlStep>(plan.begin(), plan.end()), c.steps);
    }
}

// ---- Messages ----------------------------------------------------------------------------

TEST(PpdevProblem, SaysWhatIsWrongAndWhatToDo) {
    const std::string busy =
        "LPT1: /dev/parport0 používá jiný program nebo tiskový ovladač lp; ukončete ten program "
        "nebo ovladač odstraňte (sudo modprobe -r lp), pak spusťte program znovu";
    const std::string noHardware =
        "LPT1: za /dev/parport0 není žádný paralelní port; v BIOSu ověřte, že je port zapnutý, "
        "nebo zkontrolujte, že karta dobře sedí ve slotu";
    const std::string permission =
        "LPT1: nemáte oprávnění používat /dev/parport0; přidejte svého uživatele do skupiny lp "
        "(sudo usermod -aG lp $USER), pak se odhlaste a znovu přihlaste";
    const std::string notParport =
        "LPT1: /dev/parport0 není paralelní port; zkontrolujte soubor zařízení";
    struct Case {
        PpdevStep step;
        int error;
        std::string text;
    };
    const Case cases[] = {
        {PpdevStep::Open, ENOENT,
         "LPT1: /dev/parport0 neexistuje; zaveďte ovladač paralelního portu (sudo modprobe "
         "ppdev) a v BIOSu ověřte, že je port zapnutý"},
        {PpdevStep::Open, EACCES, permission},
        {PpdevStep::Open, EPERM, permission},
        {PpdevStep::Open, ENODEV, noHardware},
        {PpdevStep::Open, ENXIO, noHardware},
        {PpdevStep::Open, EBUSY, busy},
        {PpdevStep::Open, EISDIR, notParport},
        {PpdevStep::Modes, ENOTTY, notParport},
        {PpdevStep::Modes, EINVAL, notParport},
        {PpdevStep::Modes, ENODEV, noHardware},
        {PpdevStep::Modes, ENXIO, noHardware},
        {PpdevStep::Exclusive, EBUSY, busy},
        {PpdevStep::Claim, ENXIO, busy},
        {PpdevStep::Claim, EBUSY, busy},
        {PpdevStep::Claim, EAGAIN, busy},
        {PpdevStep::Access, EIO,
         "LPT1: přístup k /dev/parport0 selhal: Input/output error; zkontrolujte port a spusťte "
         "program znovu"},
        {PpdevStep::Open, EMFILE, "LPT1: /dev/parport0 nelze otevřít: Too many open files"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << int(c.step) << " errno " << c.error);
        EXPECT_EQ(ppdevProblem(c.step, c.error, "LPT1", "/dev/parport0"), c.text);
    }
    EXPECT_EQ(ppdevProblem(PpdevStep::Open, ENOENT, "LPT2", "/dev/parport1"),
              "LPT2: /dev/parport1 neexistuje; zaveďte ovladač paralelního portu (sudo modprobe "
              "ppdev) a v BIOSu ověřte, že je port zapnutý");
}

TEST(PpdevProblem, RefusesAPortThatCannotReadItsDataLines) {
    struct Case {
        unsigned modes;
        bool usable;
    };
    const Case cases[] = {
        {PARPORT_MODE_PCSPP | PARPORT_MODE_TRISTATE, true},
        {PARPORT_MODE_PCSPP | PARPORT_MODE_TRISTATE | PARPORT_MODE_EPP | PARPORT_MODE_ECP, true},
        // Without tristate every read would give back the 0xFF the link wrote: all blank.
        {PARPORT_MODE_PCSPP | PARPORT_MODE_COMPAT, false},
        {PARPORT_MODE_TRISTATE, false},
        {0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.modes);
        const auto problem = ppdevModesProblem(c.modes, "LPT1", "/dev/parport0");
        EXPECT_EQ(!problem.has_value(), c.usable);
    }
    EXPECT_EQ(ppdevModesProblem(PARPORT_MODE_PCSPP, "LPT1", "/dev/parport0"),
              "LPT1: /dev/parport0 neumí číst datové vodiče (port není obousměrný); v BIOSu "
              "nastavte port do režimu PS/2, obousměrného, EPP nebo ECP");
}

// ---- The layer over a scripted kernel ----------------------------------------------------

struct Call {
    std::string what;  // "open <path> <flags>", an ioctl name, "close <fd>"
    int value = 0;     // the argument written, or 0

    bool operator==(const Call&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Call& c) {
    return os << c.what << " " << c.value;
}

struct FakeKernel {
    std::vector<Call> calls;
    std::map<std::string, int> openErrors;  // path -> errno
    std::map<std::string, int> errors;      // ioctl name -> errno
    unsigned modes = PARPORT_MODE_PCSPP | PARPORT_MODE_TRISTATE | PARPORT_MODE_ECP;
    unsigned char data = 0;
    unsigned char status = 0;
    int nextFd = 3;
    std::map<int, std::string> open;  // fd -> path
    // A driver such as lp is registered on the port: ppdev then refuses a registration with
    // PPEXCL at PPCLAIM, with ENXIO, and grants one without it.
    bool driverRegistered = false;
    std::set<int> exclusive;  // the descriptors that asked for PPEXCL
};

class FakeSystem : public PpdevSystem {
public:
    explicit FakeSystem(FakeKernel& k) : k_(k) {}

    int open(const std::string& path, int flags, int& fd) override {
        k_.calls.push_back({"open " + path, flags});
        if (auto e = k_.openErrors.find(path); e != k_.openErrors.end()) {
            return e->second;
        }
        fd = k_.nextFd++;
        k_.open[fd] = path;
        return 0;
    }
    int ioctl(int fd, unsigned long request, void* arg) override {
        EXPECT_TRUE(k_.open.count(fd)) << "ioctl on a closed descriptor";
        const std::string name = nameOf(request);
        int value = 0;
        if (request == PPWDATA || request == PPWCONTROL) {
            value = *static_cast<unsigned char*>(arg);
        } else if (request == PPDATADIR) {
            value = *static_cast<int*>(arg);
        }
        k_.calls.push_back({name, value});
        if (request == PPEXCL) {
            k_.exclusive.insert(fd);
        }
        if (request == PPCLAIM && k_.driverRegistered && k_.exclusive.count(fd) != 0) {
            return ENXIO;
        }
        if (auto e = k_.errors.find(name); e != k_.errors.end()) {
            return e->second;
        }
        if (request == PPGETMODES) {
            *static_cast<unsigned*>(arg) = k_.modes;
        } else if (request == PPRDATA) {
            *static_cast<unsigned char*>(arg) = k_.data;
        } else if (request == PPRSTATUS) {
            *static_cast<unsigned char*>(arg) = k_.status;
        }
        return 0;
    }
    void close(int fd) override {
        k_.calls.push_back({"close", fd});
        k_.open.erase(fd);
    }

private:
    static std::string nameOf(unsigned long request) {
        const std::map<unsigned long, std::string> names = {
            {PPGETMODES, "PPGETMODES"}, {PPEXCL, "PPEXCL"},         {PPCLAIM, "PPCLAIM"},
            {PPRELEASE, "PPRELEASE"},   {PPWDATA, "PPWDATA"},       {PPRDATA, "PPRDATA"},
            {PPRSTATUS, "PPRSTATUS"},   {PPWCONTROL, "PPWCONTROL"}, {PPDATADIR, "PPDATADIR"},
            {PPSETMODE, "PPSETMODE"},   {PPNEGOT, "PPNEGOT"},       {PPRCONTROL, "PPRCONTROL"},
        };
        auto it = names.find(request);
        return it == names.end() ? "unknown" : it->second;
    }
    FakeKernel& k_;
};

// No kernel tree unless a test gives one: the machine's own ports never count.
std::unique_ptr<PpdevPort> makePort(FakeKernel& kernel,
                                    const std::string& root = "/nonexistent-kernel") {
    return std::make_unique<PpdevPort>(PpdevNodes{}, std::make_unique<FakeSystem>(kernel), root);
}

// The link as the program drives it, on LPT1 through the port.
struct LinkOn {
    explicit LinkOn(PortLayer* port) { portinc.attach(port); }
    Portinc portinc;
    RecordingClock clock;
    Link link{portinc, clock};
};

const std::vector<Call> kClaimLpt1 = {
    {"open /dev/parport0", O_RDWR | O_CLOEXEC}, {"PPGETMODES"}, {"PPEXCL"}, {"PPCLAIM"}};

TEST(PpdevPort, ClaimsExclusivelyOnFirstAccessAndPassesValuesUnchanged) {
    FakeKernel kernel;
    auto port = makePort(kernel);
    EXPECT_TRUE(kernel.calls.empty()) << "nothing is opened before it is needed";

    kernel.data = 0xA5;
    kernel.status = 0x87;  // busy bit clear, the inverted bit 7 set: passed as it is
    port->out(0x37A, 0x0B);
    port->out(0x378, 0xC3);
    EXPECT_EQ(port->in(0x378), 0xA5);
    EXPECT_EQ(port->in(0x379), 0x87);
    EXPECT_EQ(port->in(0x37A), 0x0B) << "the control register is the kept copy, never read";

    std::vector<Call> expected = kClaimLpt1;
    expected.insert(
        expected.end(),
        {{"PPWCONTROL", 0x0B}, {"PPDATADIR", 0}, {"PPWDATA", 0xC3}, {"PPRDATA"}, {"PPRSTATUS"}});
    EXPECT_EQ(kernel.calls, expected);
}

TEST(PpdevPort, ReadingTheDataLinesTurnsTheDirectionAroundItsLines) {
    FakeKernel kernel;
    auto port = makePort(kernel);
    LinkOn on(port.get());
    Link& link = on.link;
    link.PortBase = kLpt1Base;
    link.ReleaseTarget();
    kernel.calls.clear();
    kernel.data = 0x3C;

    link.ReadDataLines();
    EXPECT_EQ(link.LastRead, 0x3C);
    const std::vector<Call> expected = {
        {"PPDATADIR", 1}, {"PPWCONTROL", 0x0A}, {"PPRDATA"}, {"PPWCONTROL", 0x0A}, {"PPDATADIR", 0},
    };
    EXPECT_EQ(kernel.calls, expected);
}

TEST(PpdevPort, NeverNegotiatesSetsModesOrReadsControlBack) {
    FakeKernel kernel;
    {
        auto port = makePort(kernel);
        LinkOn on(port.get());
        Link& link = on.link;
        link.PortBase = kLpt1Base;
        link.PollLimit = 3;
        link.ReleaseTarget();
        link.EnterAvrProgramming();
        link.LoadCommand(0x02);
        link.ReadWithControl(0x14);
        link.WriteStrobeWait();
        link.PollDataLines(0x00);
        link.PulseControlLow(10);
        link.ReleaseTarget();
    }
    std::size_t controlWrites = 0;
    for (const Call& c : kernel.calls) {
        EXPECT_NE(c.what, "PPSETMODE");
        EXPECT_NE(c.what, "PPNEGOT");
        EXPECT_NE(c.what, "PPRCONTROL");
        EXPECT_NE(c.what, "unknown");
        if (c.what == "PPWCONTROL") {
            EXPECT_EQ(c.value & 0xF0, 0) << "bit 5 goes through PPDATADIR only";
            ++controlWrites;
        }
    }
    EXPECT_GT(controlWrites, 100u);
}

// What the board test says of a port the kernel will not let it drive: a port without a
// reverse direction is opened but refused for its modes; one the user may not open is not.
TEST(PpdevPort, TheBoardTestTellsWhyTheRealPortCannotBeTested) {
    const struct {
        const char* name;
        unsigned modes;
        int openError;
        const char* verdicts;
        BoardCheck failing;
        std::string found;
    } cases[] = {
        {"no tristate", PARPORT_MODE_PCSPP, 0, "PF----", BoardCheck::Modes,
         "PCSPP: port není obousměrný"},
        {"no permission", PARPORT_MODE_PCSPP | PARPORT_MODE_TRISTATE, EACCES, "F-----",
         BoardCheck::Port, ppdevProblem(PpdevStep::Open, EACCES, "LPT1", "/dev/parport0")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeKernel kernel;
        kernel.modes = c.modes;
        if (c.openError != 0) {
            kernel.openErrors["/dev/parport0"] = c.openError;
        }
        auto port = makePort(kernel);
        LinkOn on(port.get());
        Link& link = on.link;
        link.PortBase = kLpt1Base;
        const BoardTestResult result = runBoardTest(link, [](const BoardCheckResult&) {});
        std::string verdicts;
        for (const BoardCheckResult& step : result.steps) {
            verdicts += step.verdict == Verdict::Passed   ? 'P'
                        : step.verdict == Verdict::Failed ? 'F'
                                                          : '-';
        }
        EXPECT_EQ(verdicts, c.verdicts);
        EXPECT_EQ(result.steps.at(static_cast<std::size_t>(c.failing)).found, c.found);
        for (const Call& call : kernel.calls) {
            EXPECT_NE(call.what, "PPWDATA") << "nothing is driven on a port that was refused";
        }
    }
}

TEST(PpdevPort, LeavesTheBoardAtRestAndReleasesAtTheEnd) {
    FakeKernel kernel;
    auto port = makePort(kernel);
    port->out(0x37A, 0x2A);  // left reading, as an interrupted operation might
    kernel.calls.clear();
    port.reset();
    const std::vector<Call> expected = {
        {"PPWCONTROL", 0x0A}, {"PPDATADIR", 0}, {"PPWDATA", 0x00}, {"PPRELEASE"}, {"close", 3},
    };
    EXPECT_EQ(kernel.calls, expected);
}

TEST(PpdevPort, APortNeverUsedIsNeitherOpenedNorTouchedAtTheEnd) {
    FakeKernel kernel;
    auto port = makePort(kernel);
    port->out(0x278, 0x00);
    port.reset();
    for (const Call& c : kernel.calls) {
        EXPECT_NE(c.what, "open /dev/parport0");
    }
    EXPECT_EQ(kernel.calls.front(), (Call{"open /dev/parport1", O_RDWR | O_CLOEXEC}));
}

TEST(PpdevPort, StatusNamesTheNodeAndClaimsIt) {
    FakeKernel kernel;
    auto port = makePort(kernel);
    const PortStatus lpt1 = port->status(kLpt1Base);
    EXPECT_TRUE(lpt1.usable);
    EXPECT_EQ(lpt1.text, "LPT1: /dev/parport0");
    EXPECT_EQ(kernel.calls, kClaimLpt1);
    const PortStatus lpt2 = port->status(kLpt2Base);
    EXPECT_TRUE(lpt2.usable);
    EXPECT_EQ(lpt2.text, "LPT2: /dev/parport1");
    port->status(kLpt1Base);
    EXPECT_EQ(kernel.calls.size(), 8u) << "each port is opened and claimed once";
}

TEST(PpdevPort, APortThatFailsStaysUnusableWithItsReason) {
    struct Case {
        std::string name;
        std::function<void(FakeKernel&)> breakIt;
        std::vector<std::string> calls;  // up to the failure, then the close if opened
        std::string text;
    };
    const Case cases[] = {
        {"missing node",
         [](FakeKernel& k) { k.openErrors["/dev/parport0"] = ENOENT; },
         {"open /dev/parport0"},
         ppdevProblem(PpdevStep::Open, ENOENT, "LPT1", "/dev/parport0")},
        {"not permitted",
         [](FakeKernel& k) { k.openErrors["/dev/parport0"] = EACCES; },
         {"open /dev/parport0"},
         ppdevProblem(PpdevStep::Open, EACCES, "LPT1", "/dev/parport0")},
        {"not a parallel port",
         [](FakeKernel& k) { k.errors["PPGETMODES"] = ENOTTY; },
         {"open /dev/parport0", "PPGETMODES", "close"},
         ppdevProblem(PpdevStep::Modes, ENOTTY, "LPT1", "/dev/parport0")},
        {"no hardware",
         [](FakeKernel& k) { k.errors["PPGETMODES"] = ENODEV; },
         {"open /dev/parport0", "PPGETMODES", "close"},
         ppdevProblem(PpdevStep::Modes, ENODEV, "LPT1", "/dev/parport0")},
        {"not bidirectional",
         [](FakeKernel& k) { k.modes = PARPORT_MODE_PCSPP; },
         {"open /dev/parport0", "PPGETMODES", "close"},
         *ppdevModesProblem(PARPORT_MODE_PCSPP, "LPT1", "/dev/parport0")},
        {"busy",
         [](FakeKernel& k) { k.errors["PPCLAIM"] = ENXIO; },
         {"open /dev/parport0", "PPGETMODES", "PPEXCL", "PPCLAIM", "close"},
         ppdevProblem(PpdevStep::Claim, ENXIO, "LPT1", "/dev/parport0")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeKernel kernel;
        c.breakIt(kernel);
        auto port = makePort(kernel);
        port->out(0x37A, 0x0B);
        EXPECT_EQ(port->in(0x378), 0xFF);
        std::vector<std::string> calls;
        for (const Call& call : kernel.calls) {
            calls.push_back(call.what);
        }
        EXPECT_EQ(calls, c.calls) << "no further access once the port failed";

        // Fixing the cause behind the program's back does not bring the port back.
        kernel.openErrors.clear();
        kernel.errors.clear();
        kernel.modes = PARPORT_MODE_PCSPP | PARPORT_MODE_TRISTATE;
        const PortStatus status = port->status(kLpt1Base);
        EXPECT_FALSE(status.usable);
        EXPECT_EQ(status.text, c.text);
        EXPECT_EQ(kernel.calls.size(), c.calls.size());
        EXPECT_TRUE(kernel.open.empty()) << "the node is closed again";
    }
}

std::string callNames(const FakeKernel& kernel) {
    std::string names;
    for (const Call& call : kernel.calls) {
        names += (names.empty() ? "" : ", ") + call.what;
    }
    return names;
}

// With lp registered the exclusive claim fails; the port is claimed beside an idle lp,
// never while lp or another program holds it.
TEST(PpdevPort, SharesThePortWithAnIdleDriverOnly) {
    const std::string busy = ppdevProblem(PpdevStep::Claim, ENXIO, "LPT1", "/dev/parport0");
    const std::string printing =
        "LPT1: /dev/parport0 právě používá ovladač lp (tiskne); počkejte, až skončí, nebo "
        "ovladač odstraňte (sudo modprobe -r lp), pak spusťte program znovu";
    const std::string shared = ", open /dev/parport0, PPCLAIM";
    struct Case {
        std::vector<std::string> devices;
        std::string active;
        int sharedClaimError;
        std::string after;  // the calls after the exclusive attempt
        std::string text;
    };
    // devices/active as the kernel writes it, the holder's name or "none", and as its
    // documentation has it, a list with "+" by the holder.
    const Case cases[] = {
        {{"lp"}, "none", 0, shared, "LPT1: /dev/parport0 sdílený s ovladačem lp"},
        {{"lp", "plip"}, "lp\nplip", 0, shared, "LPT1: /dev/parport0 sdílený s ovladači lp a plip"},
        {{"lp"}, "lp", 0, "", printing},
        {{"lp", "plip"}, "lp+ plip", 0, "", printing},
        // lp took the port between the look and the claim, and kept it.
        {{"lp"}, "none", ETIMEDOUT, shared + ", close", printing},
        {{"lp", "ppdev0"}, "ppdev0", 0, "", busy},
        {{}, "none", 0, "", busy},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        TestDir root;
        FakeParport parport;
        parport.devices = c.devices;
        parport.active = c.active;
        addParport(root.path(), parport);
        FakeKernel kernel;
        kernel.driverRegistered = true;
        if (c.sharedClaimError != 0) {
            kernel.errors["PPCLAIM"] = c.sharedClaimError;
        }
        auto port = makePort(kernel, root.path().string());
        const PortStatus status = port->status(kLpt1Base);
        EXPECT_EQ(status.text, c.text);
        EXPECT_EQ(status.usable, c.after == shared);
        EXPECT_EQ(status.sharedWith.empty(), !status.usable);
        EXPECT_EQ(callNames(kernel),
                  "open /dev/parport0, PPGETMODES, PPEXCL, PPCLAIM, close" + c.after);
        if (status.usable) {
            // Held to the end: no new claim between commands, released only at the end.
            kernel.calls.clear();
            port->out(0x378, 0x55);
            port.reset();
            EXPECT_EQ(callNames(kernel),
                      "PPWDATA, PPWCONTROL, PPDATADIR, PPWDATA, PPRELEASE, close");
        }
    }
}

TEST(PpdevPort, AFailedAccessMakesThePortUnusable) {
    FakeKernel kernel;
    auto port = makePort(kernel);
    port->out(0x378, 0x00);
    kernel.errors["PPWCONTROL"] = EIO;
    port->out(0x37A, 0x0B);
    const PortStatus status = port->status(kLpt1Base);
    EXPECT_FALSE(status.usable);
    EXPECT_EQ(status.text, ppdevProblem(PpdevStep::Access, EIO, "LPT1", "/dev/parport0"));
    EXPECT_TRUE(kernel.open.empty());
    const std::size_t before = kernel.calls.size();
    port->out(0x378, 0x11);
    EXPECT_EQ(kernel.calls.size(), before);
}

TEST(PpdevPort, AddressesOutsideBothPortsAreNotDriven) {
    FakeKernel kernel;
    auto port = makePort(kernel);
    port->out(0x0000, 0x0B);
    port->out(0x03BC, 0x0B);
    EXPECT_EQ(port->in(0x0001), 0xFF);
    EXPECT_TRUE(kernel.calls.empty());
    EXPECT_FALSE(port->status(0).usable);
}

}  // namespace
}  // namespace trilo::test

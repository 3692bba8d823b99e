#include "board/BoardCheck.h"

#include <algorithm>
#include <array>
#include <map>

#include "base/Hex.h"
#include "base/Text.h"

namespace trilo {

namespace {

constexpr BoardCheck kChecks[] = {BoardCheck::Port,        BoardCheck::Modes,
                                  BoardCheck::DataForward, BoardCheck::DataReverse,
                                  BoardCheck::Status,      BoardCheck::Latch};

constexpr std::uint8_t kBusy = 0x08;
// An AVR read, which latches no programming line: what an empty socket gives on the lines.
constexpr std::uint8_t kLatchProbe = 0x14;
// Complementary patterns: a line that follows them after the port let go is still driven.
constexpr std::uint8_t kReversePatterns[] = {0x55, 0xAA};

constexpr const char* kNotRun = N_("nezkoušeno: port nelze použít");
constexpr const char* kCheckBoard =
    N_("zkontrolujte, že je deska připojená a napájená a že kabel je přímý (1:1) a celý");
constexpr const char* kBidirectional =
    N_("v BIOSu nastavte paralelní port do režimu PS/2, obousměrného, EPP nebo ECP");

std::string hex(std::uint8_t value) {
    return std::string("0x") + kHexDigits[value >> 4] + kHexDigits[value & 0x0F];
}

std::string line(int k) {
    std::string name = "D";
    name += static_cast<char>('0' + k);
    return name;
}

// "D1, D4"
std::string lines(std::uint8_t mask) {
    std::string text;
    for (int k = 0; k < 8; ++k) {
        if ((mask >> k) & 1) {
            text += (text.empty() ? "" : ", ") + line(k);
        }
    }
    return text;
}

std::string modeNames(unsigned modes) {
    const struct {
        unsigned bit;
        const char* name;
    } names[] = {{PortMode::PcSpp, "PCSPP"},
                 {PortMode::Tristate, "TRISTATE"},
                 {PortMode::Epp, "EPP"},
                 {PortMode::Ecp, "ECP"}};
    std::string text;
    for (const auto& n : names) {
        if ((modes & n.bit) != 0) {
            text += (text.empty() ? "" : ", ") + std::string(n.name);
        }
    }
    return text.empty() ? _("žádné") : text;
}

bool bidirectional(unsigned modes) {
    const unsigned needed = PortMode::PcSpp | PortMode::Tristate;
    return (modes & needed) == needed;
}

BoardCheckResult passed(BoardCheck check, std::string found) {
    return {check, Verdict::Passed, std::move(found), {}};
}

BoardCheckResult failed(BoardCheck check, std::string found, std::string advice) {
    return {check, Verdict::Failed, std::move(found), std::move(advice)};
}

// The patterns forward, each read back as the port drives it; every line that read wrong is
// named once for each way it was wrong.
BoardCheckResult dataForward(Link& link, std::map<std::uint8_t, std::uint8_t>& readBack) {
    std::vector<std::uint8_t> patterns = {0x00, 0xFF, 0x55, 0xAA};
    for (int k = 0; k < 8; ++k) {
        patterns.push_back(static_cast<std::uint8_t>(1u << k));
    }
    // [line][written bit]: the line read the other value.
    std::array<std::array<bool, 2>, 8> wrong{};
    std::uint8_t bad = 0;
    for (std::uint8_t p : patterns) {
        link.SetDataLines(p);
        const std::uint8_t got = link.ReadDataRegister();
        readBack[p] = got;
        const auto differs = static_cast<std::uint8_t>(got ^ p);
        bad |= differs;
        for (int k = 0; k < 8; ++k) {
            if ((differs >> k) & 1) {
                wrong[k][(p >> k) & 1] = true;
            }
        }
    }
    if (bad == 0) {
        return passed(BoardCheck::DataForward,
                      _("vzory 0x00, 0xFF, 0x55, 0xAA a běžící jednička čteny, jak byly zapsány"));
    }
    std::string found;
    for (int k = 0; k < 8; ++k) {
        for (int written : {1, 0}) {
            if (wrong[k][written]) {
                found += (found.empty() ? "" : "; ") + format(_("{0} čte {1}, zapsáno {2}"),
                                                              line(k), std::to_string(1 - written),
                                                              std::to_string(written));
            }
        }
    }
    return failed(BoardCheck::DataForward, found,
                  format(_("zkontrolujte datový vodič {}: kabel, konektor a desku (zkrat na zem, "
                           "na napájení nebo mezi vodiči)"),
                         lines(bad)));
}

// The lines turned round: what the port now reads must not depend on what it drove before.
BoardCheckResult dataReverse(Link& link, const std::map<std::uint8_t, std::uint8_t>& readBack) {
    std::array<std::uint8_t, 2> got{};
    for (std::size_t i = 0; i < got.size(); ++i) {
        link.SetDataLines(kReversePatterns[i]);
        link.ReadDataLines();
        got[i] = static_cast<std::uint8_t>(link.LastRead);
    }
    const std::uint8_t first = readBack.at(kReversePatterns[0]);
    const std::uint8_t second = readBack.at(kReversePatterns[1]);
    // The lines that told the two patterns apart forward, and those of them that still do.
    const auto telling = static_cast<std::uint8_t>(first ^ second);
    const auto following =
        static_cast<std::uint8_t>(telling & ~(got[0] ^ first) & ~(got[1] ^ second));
    if (following != 0 && following == telling) {
        return failed(
            BoardCheck::DataReverse,
            format(_("čtení v obráceném směru vrací vlastní vzor portu (zapsáno {0}, "
                     "čteno {1}; zapsáno {2}, čteno {3}): port není obousměrný"),
                   hex(kReversePatterns[0]), hex(got[0]), hex(kReversePatterns[1]), hex(got[1])),
            _(kBidirectional));
    }
    if (following != 0) {
        return failed(
            BoardCheck::DataReverse,
            format(_("{} drží i v obráceném směru hodnotu zapsanou portem"), lines(following)),
            _("zkontrolujte tyto vodiče na desce a režim portu v BIOSu"));
    }
    return passed(BoardCheck::DataReverse, format(_("port vodiče uvolní (čteno {})"), hex(got[1])));
}

BoardCheckResult statusAtRest(Link& link) {
    const std::uint8_t status = link.ReadStatus();
    if ((status & kBusy) == 0) {
        return passed(BoardCheck::Status,
                      format(_("stav {}: deska hlásí připravenost (bit 3 je 0)"), hex(status)));
    }
    return failed(BoardCheck::Status,
                  format(_("stav {}: bit 3 drží 1 (zaneprázdněno): deska chybí, nemá napájení, "
                           "nebo je kabel špatný"),
                         hex(status)),
                  _(kCheckBoard));
}

BoardCheckResult latchAndSocket(Link& link) {
    link.ReadWithControl(kLatchProbe);
    const auto socket = static_cast<std::uint8_t>(link.LastRead);
    link.ReleaseTarget();
    const std::uint8_t status = link.ReadStatus();
    std::string found;
    std::string advice;
    if (socket != 0xFF && socket != 0x00) {
        found = format(_("patice čte {}, prázdná čte 0xFF nebo 0x00"), hex(socket));
        advice = _("vyjměte čip z patice; je-li prázdná, zkontrolujte datové vodiče (krok 3)");
    }
    if ((status & kBusy) != 0) {
        found += (found.empty() ? "" : "; ") +
                 format(_("po nahrání latche stav {}: deska není v klidu"), hex(status));
        advice += (advice.empty() ? "" : "; ") + std::string(_(kCheckBoard));
    }
    if (found.empty()) {
        return passed(BoardCheck::Latch,
                      format(_("latch nahrán ({0}), patice čte {1}, deska je po něm v klidu"),
                             hex(kLatchProbe), hex(socket)));
    }
    return failed(BoardCheck::Latch, found, advice);
}

}  // namespace

const char* boardCheckName(BoardCheck check) {
    switch (check) {
        case BoardCheck::Port:
            return _("Port, oprávnění a zabrání");
        case BoardCheck::Modes:
            return _("Režimy portu");
        case BoardCheck::DataForward:
            return _("Datový registr: zápis a čtení");
        case BoardCheck::DataReverse:
            return _("Datové vodiče ve čtení");
        case BoardCheck::Status:
            return _("Stavový vodič v klidu");
        case BoardCheck::Latch:
            return _("Latch a prázdná patice");
    }
    return "";
}

std::span<const BoardCheck> boardChecks() {
    return kChecks;
}

bool BoardTestResult::passed() const {
    return steps.size() == std::size(kChecks) &&
           std::all_of(steps.begin(), steps.end(),
                       [](const BoardCheckResult& s) { return s.verdict == Verdict::Passed; });
}

bool BoardTestResult::portUnusable() const {
    return !steps.empty() && steps.front().verdict == Verdict::Failed;
}

std::string BoardTestResult::summary() const {
    const auto failures = std::count_if(steps.begin(), steps.end(), [](const BoardCheckResult& s) {
        return s.verdict != Verdict::Passed;
    });
    if (failures == 0) {
        return _("Test desky: vše v pořádku");
    }
    if (portUnusable()) {
        return _("Test desky: port nelze použít, další kroky nezkoušeny");
    }
    return format(P_("Test desky: neprošel {0} krok z {1}", "Test desky: neprošly {0} kroky z {1}",
                     static_cast<std::uint64_t>(failures)),
                  std::to_string(failures), std::to_string(std::size(kChecks)));
}

BoardTestResult boardTestRefused(const std::string& reason) {
    BoardTestResult result;
    result.steps.push_back(failed(BoardCheck::Port, reason, {}));
    for (BoardCheck check : boardChecks().subspan(1)) {
        result.steps.push_back({check, Verdict::NotRun, _(kNotRun), {}});
    }
    return result;
}

BoardTestResult runBoardTest(Link& link, const std::function<void(const BoardCheckResult&)>& told) {
    BoardTestResult result;
    const auto tell = [&](BoardCheckResult step) {
        result.steps.push_back(std::move(step));
        told(result.steps.back());
    };
    const PortStatus port = link.portStatus();
    const std::optional<unsigned> modes = link.portModes();
    // A port refused for its modes was opened, and the user may use it: its modes failed,
    // in the same words as a port that can be driven.
    const bool refusedForModes = !port.usable && modes && !bidirectional(*modes);
    if (!port.usable && !refusedForModes) {
        tell(failed(BoardCheck::Port, port.text, {}));
    } else {
        tell(passed(BoardCheck::Port,
                    refusedForModes ? _("port otevřen, oprávnění v pořádku") : port.text));
    }
    if (!modes) {
        tell({BoardCheck::Modes,
              Verdict::NotRun,
              port.usable ? _("vrstva portu režimy neuvádí") : _(kNotRun),
              {}});
    } else if (!bidirectional(*modes)) {
        tell(failed(BoardCheck::Modes, format(_("{}: port není obousměrný"), modeNames(*modes)),
                    _(kBidirectional)));
    } else {
        tell(passed(BoardCheck::Modes, format(_("{}: obousměrný"), modeNames(*modes))));
    }
    // The board at rest first, so the data lines are driven (control 0x0A) whatever was left.
    std::map<std::uint8_t, std::uint8_t> readBack;
    const std::function<BoardCheckResult()> steps[] = {
        [&] {
            link.ReleaseTarget();
            return dataForward(link, readBack);
        },
        [&] { return dataReverse(link, readBack); },
        [&] { return statusAtRest(link); },
        [&] { return latchAndSocket(link); },
    };
    bool usable = port.usable;
    for (std::size_t k = 0; k < std::size(steps); ++k) {
        const BoardCheck check = kChecks[k + 2];
        if (!usable) {
            tell({check, Verdict::NotRun, _(kNotRun), {}});
            continue;
        }
        BoardCheckResult step = steps[k]();
        // A port that failed under the step answered nothing the step could judge.
        if (const PortStatus now = link.portStatus(); !now.usable) {
            step = failed(check, now.text, {});
            usable = false;
        }
        tell(std::move(step));
    }
    return result;
}

// ---- The hold -------------------------------------------------------------------------------

namespace {

constexpr const char* kRest = N_("klid: konec každé operace a start programu");

// The AVR bytes first, then the MCS-51 bytes the AVR does not use, each list in the table's
// order.
constexpr ControlByteUse kControlBytes[] = {
    {0xA0, N_("vstup do programování, první bajt"), nullptr},
    {0x20, N_("vstup do programování, druhý bajt; nižší bajt adresy"), N_("mazání čipu")},
    {0x22, N_("nahrání příkazu"), nullptr},
    {0x30, N_("vyšší bajt adresy"), N_("krok 2 zápisu lock bitů 89C; čtení lock bitů")},
    {0x24, N_("zápis dat: druhý bajt slova FLASH, EEPROM, fuse a lock bity"),
     N_("zápis lock bitů 89S; krok 3 zápisu lock bitů 89C")},
    {0x34, N_("první bajt slova při zápisu FLASH; konec slova při čtení a verifikaci"), nullptr},
    {0x04, N_("čtení druhého bajtu slova FLASH a EEPROM; fuse bity 90S2333, 90S4433, ATtiny28"),
     nullptr},
    {0x14, N_("čtení prvního bajtu slova FLASH a lock bitů; fuse bity ostatních AVR"), nullptr},
    {0xC0, kRest, kRest},
    {0x88, nullptr, N_("příprava 89Cx051, první bajt")},
    {0x80, nullptr, N_("příprava 89Cx051, druhý bajt")},
    {0x06, nullptr, N_("režim čtení 89S (čtení, kontrola prázdnosti, verifikace)")},
    {0x86, nullptr, N_("režim čtení 89C; konec vstupu do verifikace")},
    {0xC6, nullptr, N_("vstup do režimu čtení (drží se 10 ms)")},
    {0x16, nullptr, N_("režim zápisu FLASH")},
    {0x56, nullptr, N_("vstup do režimu zápisu (drží se 10 ms)")},
    {0x36, nullptr, N_("krok 1 zápisu lock bitů 89C")},
    {0x32, nullptr, N_("čtení pojistky sériového programování 89S")},
    {0x12, nullptr, N_("zápis pojistky sériového programování 89S")},
};

// Each family's bytes in the order its table gives them.
constexpr std::uint8_t kAvrOrder[] = {0xA0, 0x20, 0x22, 0x30, 0x24, 0x34, 0x04, 0x14, 0xC0};
constexpr std::uint8_t kMcs51Order[] = {0x88, 0x80, 0x20, 0x06, 0x86, 0xC6, 0x16,
                                        0x56, 0x24, 0x36, 0x30, 0x32, 0x12, 0xC0};

}  // namespace

std::span<const ControlByteUse> controlByteTable() {
    return kControlBytes;
}

const ControlByteUse* controlByteUse(std::uint8_t byte) {
    for (const ControlByteUse& use : kControlBytes) {
        if (use.byte == byte) {
            return &use;
        }
    }
    return nullptr;
}

std::string controlBytesList() {
    const auto list = [](std::span<const std::uint8_t> bytes) { return hexBytes(bytes); };
    return "AVR " + list(kAvrOrder) + ", MCS-51 " + list(kMcs51Order);
}

std::vector<std::string> holdLines(const ControlByteUse& use) {
    std::string outputs;
    for (int k = 7; k >= 0; --k) {
        outputs += ((use.byte >> k) & 1) != 0 ? '1' : '0';
        outputs += k == 4 ? " " : "";
    }
    std::vector<std::string> lines = {
        format(_("Latch drží {0} (Q7..Q0 = {1})"), hex(use.byte), outputs)};
    if (use.avr == use.mcs51) {
        lines.push_back(format(_("AVR i MCS-51: {}"), _(use.avr)));
        return lines;
    }
    if (use.avr != nullptr) {
        lines.push_back("AVR: " + std::string(_(use.avr)));
    }
    if (use.mcs51 != nullptr) {
        lines.push_back("MCS-51: " + std::string(_(use.mcs51)));
    }
    return lines;
}

void latchForHold(Link& link, std::uint8_t byte) {
    link.ReleaseTarget();
    link.WriteControlLatch(byte);
}

}  // namespace trilo

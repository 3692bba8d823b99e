#include "cli/Options.h"

#include <getopt.h>
#include <strings.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <limits>
#include <vector>

#include "base/Hex.h"
#include "base/Text.h"
#include "board/BoardCheck.h"
#include "board/PortChoice.h"
#include "commands/Commands.h"
#include "devices/DeviceNames.h"
#include "formats/DataFormat.h"
#include "production/Serial.h"
#include "settings/Settings.h"

namespace trilo::cli {

namespace {

// Values of the options that have no short letter; a command's is kCommand and its row.
enum LongOnly : int {
    kCommand = 256,
    kNoBlankCheck = 512,
    kPollLimit,
    kTrace,
    kSimSocket,
    kSimFault,
    kBoardTest,
    kVersion,
    kPorts,
    kJob,
    kRepeat,
    kSerial,
    kSerialState,
    kSerialUseFailed,
    kLog,
    kVerifyByRead,
    kSimChip,
    kDryRun,
    kSerialOverImage,
    kLang,
};

// The options that are no command; the commands' come from the command table.
constexpr option kOtherOptions[] = {
    {"part", required_argument, nullptr, 'p'},
    {"list", no_argument, nullptr, 'l'},
    {"ports", no_argument, nullptr, kPorts},
    {"force", no_argument, nullptr, 'F'},
    {"no-erase", no_argument, nullptr, 'D'},
    {"no-verify", no_argument, nullptr, 'V'},
    {"no-blank-check", no_argument, nullptr, kNoBlankCheck},
    {"verify-by-read", no_argument, nullptr, kVerifyByRead},
    {"lock", required_argument, nullptr, 'L'},
    {"format", required_argument, nullptr, 'f'},
    {"port", required_argument, nullptr, 'P'},
    {"board", required_argument, nullptr, 'c'},
    {"poll-limit", required_argument, nullptr, kPollLimit},
    {"trace", required_argument, nullptr, kTrace},
    {"sim-socket", required_argument, nullptr, kSimSocket},
    {"sim-fault", required_argument, nullptr, kSimFault},
    {"board-test", optional_argument, nullptr, kBoardTest},
    {"sim-chip", required_argument, nullptr, kSimChip},
    {"quiet", no_argument, nullptr, 'q'},
    {"verbose", no_argument, nullptr, 'v'},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, kVersion},
    {"job", required_argument, nullptr, kJob},
    {"repeat", no_argument, nullptr, kRepeat},
    {"serial", required_argument, nullptr, kSerial},
    {"serial-state", required_argument, nullptr, kSerialState},
    {"serial-use-failed", no_argument, nullptr, kSerialUseFailed},
    {"log", required_argument, nullptr, kLog},
    {"dry-run", no_argument, nullptr, kDryRun},
    {"serial-over-image", no_argument, nullptr, kSerialOverImage},
    {"lang", required_argument, nullptr, kLang},
};

// The leading ':' makes getopt report a missing argument apart from an unknown option.
constexpr const char* kOtherShortOptions = "p:lFDVL:f:P:c:qvh";

int valueOf(const CommandRow& row) {
    return row.letter != 0 ? row.letter : kCommand + static_cast<int>(&row - commandTable().data());
}

// The rows a face asks for by name: the others are steps of a run's plan.
bool named(const CommandRow& row) {
    return row.option != nullptr;
}

const CommandRow* commandOf(int value) {
    for (const CommandRow& row : commandTable()) {
        if (row.option != nullptr && valueOf(row) == value) {
            return &row;
        }
    }
    return nullptr;
}

// Every long option, the commands first, ending with the zero entry getopt wants.
const std::vector<option>& longOptions() {
    static const std::vector<option> all = [] {
        std::vector<option> options;
        for (const CommandRow& row : commandTable()) {
            if (!named(row)) {
                continue;
            }
            const int arg = row.argument == Argument::None           ? no_argument
                            : row.argument == Argument::OptionalFile ? optional_argument
                                                                     : required_argument;
            options.push_back({row.option, arg, nullptr, valueOf(row)});
        }
        options.insert(options.end(), std::begin(kOtherOptions), std::end(kOtherOptions));
        options.push_back({nullptr, 0, nullptr, 0});
        return options;
    }();
    return all;
}

std::string shortOptions() {
    std::string letters = ":";
    for (const CommandRow& row : commandTable()) {
        if (row.letter != 0) {
            letters += row.letter;
            letters += row.argument == Argument::None ? "" : ":";
        }
    }
    return letters + kOtherShortOptions;
}

// The options that set a flag, and those that keep their text as it is.
struct FlagOf {
    int value;
    bool Options::*flag;
    bool to;
};

constexpr FlagOf kFlags[] = {
    {'l', &Options::list, true},
    {'F', &Options::force, true},
    {'D', &Options::autoErase, false},
    {'V', &Options::readBack, false},
    {kNoBlankCheck, &Options::blankCheck, false},
    {kVerifyByRead, &Options::verifyByRead, true},
    {'q', &Options::quiet, true},
    {'h', &Options::help, true},
    {kVersion, &Options::version, true},
    {kPorts, &Options::ports, true},
    {kRepeat, &Options::repeat, true},
    {kSerialUseFailed, &Options::serialUseFailed, true},
    {kSerialOverImage, &Options::serialOverImage, true},
    {kDryRun, &Options::dryRun, true},
};

struct TextOf {
    int value;
    std::optional<std::string> Options::*text;
};

constexpr TextOf kTexts[] = {
    {'P', &Options::port},
    {'c', &Options::board},
    {kTrace, &Options::trace},
    {kSimSocket, &Options::simSocket},
    {kSimFault, &Options::simFault},
    {kSimChip, &Options::simChip},
    {kJob, &Options::job},
    {kSerial, &Options::serial},
    {kSerialState, &Options::serialState},
    {kLog, &Options::log},
    {kLang, &Options::lang},
};

std::string longName(int value) {
    for (const option& o : longOptions()) {
        if (o.val == value && o.name != nullptr) {
            return std::string("--") + o.name;
        }
    }
    return std::string("-") + static_cast<char>(value);
}

// "--erase=5": the option without a value that this names, as getopt matches it (an
// abbreviation included); nullptr when the text is something else.
const option* flagGivenValue(const std::string& typed) {
    const std::size_t equals = typed.find('=');
    if (typed.rfind("--", 0) != 0 || equals == std::string::npos) {
        return nullptr;
    }
    const std::string name = typed.substr(2, equals - 2);
    for (const option& o : longOptions()) {
        if (o.name != nullptr && o.has_arg == no_argument && !name.empty() &&
            std::string(o.name).rfind(name, 0) == 0) {
            return &o;
        }
    }
    return nullptr;
}

bool same(const std::string& a, const char* b) {
    return ::strcasecmp(a.c_str(), b) == 0;
}

// The languages --lang takes: "cs nebo en".
std::string languageChoices() {
    const std::vector<std::string> codes = languages();
    return alternatives(std::vector<std::string_view>(codes.begin(), codes.end()));
}

// The names -f takes: "raw, ihex nebo srec".
std::string formatOptions() {
    std::vector<std::string_view> names;
    for (const DataFormat& format : dataFormats()) {
        if (format.option != nullptr) {
            names.emplace_back(format.option);
        }
    }
    return alternatives(names);
}

// A whole number from lowest to highest, or the usage error that refusal says with the text.
int integerOf(const std::string& text, int lowest, int highest, const char* refusal) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [next, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || next != end || value < lowest || value > highest) {
        throw UsageError(format(refusal, text));
    }
    return value;
}

// "SPIEN,FSTRT": those fuses programmed, the device's others not.
std::uint8_t fuseByteNamed(const DeviceInfo& device, const std::string& list) {
    std::string unknown;
    if (const auto fuses = trilo::fuseByteNamed(device, list, unknown)) {
        return *fuses;
    }
    throw UsageError(
        format(_("{0} nemá fuse bit „{1}“; má {2}"), device.name, unknown, fuseNames(device)));
}

void checkBoard(const Options& o) {
    if (o.board && !chooseBoard(*o.board, false)) {
        throw UsageError(format(_("neznámá deska „{}“; použijte auto, ppdev nebo sim"), *o.board));
    }
    if (o.simSocket && !same(*o.simSocket, "auto") && !same(*o.simSocket, "empty") &&
        deviceFromTypedName(*o.simSocket) == nullptr) {
        throw UsageError(format(
            _("neznámý obsah patice „{}“; použijte auto, empty nebo název čipu"), *o.simSocket));
    }
    if (o.simFault && !knownSimFault(*o.simFault)) {
        throw UsageError(
            format(_("neznámá porucha „{0}“; použijte {1}"), *o.simFault, _(kSimFaultChoices)));
    }
    if (o.port && !same(*o.port, "LPT1") && !same(*o.port, "LPT2") && o.port->rfind('/', 0) != 0) {
        throw UsageError(
            format(_("neznámý port „{}“; použijte LPT1, LPT2 nebo /dev/parportN"), *o.port));
    }
}

// "neznámý čip „90s2331“; mysleli jste 90S2313?" with the devices closest to a mistyped
// name, or with the hint to the list when none is close.
UsageError unknownChip(const std::string& part) {
    const auto like = devicesNamedLike(part);
    if (like.empty()) {
        return UsageError(format(_("neznámý čip „{}“ (seznam čipů: trilo-cli -l)"), part));
    }
    std::vector<std::string_view> names;
    for (const DeviceInfo* device : like) {
        names.emplace_back(device->name);
    }
    return UsageError(format(_("neznámý čip „{0}“; mysleli jste {1}?"), part, alternatives(names)));
}

// "--write, --write-eeprom, --write-fuses a --write-serial-fuse": what a job may hold.
std::string jobCommands() {
    std::vector<std::string> names;
    for (const CommandRow& row : commandTable()) {
        if (row.inJob) {
            names.push_back(std::string("--") + row.option);
        }
    }
    std::string text;
    for (std::size_t i = 0; i + 1 < names.size(); ++i) {
        text += (i == 0 ? "" : ", ") + names[i];
    }
    return names.size() < 2 ? text + (names.empty() ? "" : names.back())
                            : format(_("{0} a {1}"), text, names.back());
}

// A job from a file or from the command line: the job's own commands only, the device from
// -p or the job file. What the device takes is checked once the job file is read.
void checkProduction(Options& o, const std::string& part) {
    for (const Step& step : o.steps) {
        if (step.file == "-") {
            throw UsageError(format(_("{} -: úloha nečte standardní vstup, ten ohlašuje další čip"),
                                    step.option));
        }
        if (!commandRow(step.command).inJob) {
            throw UsageError(format(_("{0} do úlohy nepatří; úloha zapisuje jen {1}"), step.option,
                                    jobCommands()));
        }
    }
    if (o.serial) {
        const auto rule = parseSerialRule(*o.serial);
        if (const auto* why = std::get_if<std::string>(&rule)) {
            throw UsageError("--serial: " + *why);
        }
    }
    if (!o.job && part.empty()) {
        throw UsageError(_("není zvolen čip: -p ČIP nebo --job SOUBOR"));
    }
    if (!o.job && o.steps.empty()) {
        throw UsageError(
            _("úloha nic nezapisuje: --write, --write-eeprom, --write-fuses nebo "
              "--write-serial-fuse, nebo --job SOUBOR"));
    }
    if (!part.empty()) {
        o.device = deviceFromTypedName(part);
        if (o.device == nullptr) {
            throw unknownChip(part);
        }
    }
}

// "hold:0x24" or "hold:24", a byte of the board's table; nothing for the test itself.
std::optional<std::uint8_t> holdOf(const std::string& arg) {
    if (arg.empty()) {
        return std::nullopt;
    }
    const std::string prefix = "hold:";
    std::string digits = arg.rfind(prefix, 0) == 0 ? arg.substr(prefix.size()) : "";
    if (digits.size() == 4 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        digits.erase(0, 2);
    }
    if (arg.rfind(prefix, 0) != 0 || digits.size() != 2 || hexDigit(digits[0]) < 0 ||
        hexDigit(digits[1]) < 0) {
        throw UsageError(
            format(_("--board-test bere jen hold:0xNN (bajt z tabulky desky), ne „{}“"), arg));
    }
    const auto byte = static_cast<std::uint8_t>(hexDigit(digits[0]) * 16 + hexDigit(digits[1]));
    if (controlByteUse(byte) == nullptr) {
        throw UsageError(
            format(_("--board-test={0}: {1} není řídicí bajt desky; použijte jeden z {2}"), arg,
                   arg.substr(prefix.size()), controlBytesList()));
    }
    return byte;
}

// The board test needs no chip; a chip named is the one the socket gets back afterwards.
void checkBoardTest(Options& o, const std::string& part) {
    if (o.production()) {
        throw UsageError(_("--board-test se nespojuje s úlohou; spusťte ho samostatně"));
    }
    if (!o.steps.empty()) {
        throw UsageError(
            format(_("--board-test se nespojuje s příkazy ({}); spusťte ho samostatně"),
                   o.steps.front().option));
    }
    if (!part.empty() && (o.device = deviceFromTypedName(part)) == nullptr) {
        throw unknownChip(part);
    }
}

void checkJob(Options& o, const std::string& part) {
    if (o.production()) {
        checkProduction(o, part);
        return;
    }
    if (o.steps.empty()) {
        throw UsageError(_("není zadán žádný příkaz"));
    }
    if (part.empty()) {
        throw UsageError(_("není zvolen čip: -p ČIP (seznam čipů: trilo-cli -l)"));
    }
    o.device = deviceFromTypedName(part);
    if (o.device == nullptr) {
        throw unknownChip(part);
    }
    for (Step& step : o.steps) {
        if (step.command == Command::WriteFuses && offers(*o.device).fuses) {
            step.fuses = fuseByteNamed(*o.device, step.file);
            step.file.clear();
        }
    }
}

}  // namespace

Options parseOptions(int argc, char** argv) {
    Options o;
    std::string part;
    // getopt keeps its place between calls: start it afresh.
    optind = 0;
    opterr = 0;
    int value = 0;
    const std::string letters = shortOptions();
    while ((value = ::getopt_long(argc, argv, letters.c_str(), longOptions().data(), nullptr)) !=
           -1) {
        const std::string arg = optarg != nullptr ? optarg : "";
        // An unknown letter inside a group of letters is named by itself.
        const auto typed = [&] {
            return value == '?' && optopt > 0 && optopt < 128
                       ? std::string("-") + static_cast<char>(optopt)
                       : std::string(argv[optind - 1]);
        };
        bool known = false;
        if (const CommandRow* row = commandOf(value)) {
            Step step{row->id, longName(value), arg};
            if (row->argument == Argument::OnOff) {
                if (!same(arg, "on") && !same(arg, "off")) {
                    throw UsageError(format(_("{0} chce on nebo off, ne „{1}“"), step.option, arg));
                }
                step.off = same(arg, "off");
                step.file.clear();
            }
            o.steps.push_back(step);
            known = true;
        }
        for (const FlagOf& f : kFlags) {
            if (f.value == value) {
                o.*f.flag = f.to;
                known = true;
            }
        }
        for (const TextOf& t : kTexts) {
            if (t.value == value) {
                // One run is one job: a second one would quietly replace the first.
                if (value == kJob && o.job) {
                    throw UsageError(_("--job lze zadat jen jednou"));
                }
                o.*t.text = arg;
                known = true;
            }
        }
        if (known) {
            continue;
        }
        switch (value) {
            case 'v':
                ++o.verbose;
                break;
            case 'p':
                part = arg;
                break;
            case 'L':
                o.lockLevel =
                    integerOf(arg, 0, 3, _("úroveň lock bitů musí být 0 až 3 (0 žádné), ne „{}“"));
                o.lockGiven = true;
                break;
            case 'f':
                if (const DataFormat* chosen = formatForOption(arg)) {
                    o.format = *chosen;
                } else {
                    throw UsageError(
                        format(_("neznámý formát „{0}“; použijte {1}"), arg, formatOptions()));
                }
                break;
            case kPollLimit:
                o.pollLimit = integerOf(arg, 1, std::numeric_limits<int>::max(),
                                        _("--poll-limit musí být kladné celé číslo, ne „{}“"));
                break;
            case kBoardTest:
                o.boardTest = true;
                o.hold = holdOf(arg);
                break;
            case ':':
                throw UsageError(format(_("volba {} chce hodnotu"), typed()));
            default:
                if (const option* flag = flagGivenValue(argv[optind - 1])) {
                    throw UsageError(format(_("volba --{} nebere hodnotu"), flag->name));
                }
                throw UsageError(format(_("neznámá volba {}"), typed()));
        }
    }
    if (optind < argc) {
        throw UsageError(format(_("nečekaný argument „{}“"), argv[optind]));
    }
    if (o.lang && !setLanguage(*o.lang)) {
        throw UsageError(
            format(_("neznámý jazyk „{0}“; použijte {1}"), *o.lang, languageChoices()));
    }
    if (o.help || o.version || o.list || o.ports) {
        return o;
    }
    checkBoard(o);
    if (o.boardTest) {
        checkBoardTest(o, part);
    } else {
        checkJob(o, part);
    }
    return o;
}

std::string languageAsked(int argc, char** argv) {
    std::optional<std::string> asked;
    for (int k = 1; k < argc; ++k) {
        const std::string arg = argv[k];
        if (arg == "--") {
            break;
        }
        if (arg.rfind("--lang=", 0) == 0) {
            asked = arg.substr(7);
        } else if (arg == "--lang" && k + 1 < argc) {
            asked = argv[++k];
        }
    }
    return asked ? *asked : languageSetting(kSettingsFileName);
}

BoardSettings commandLineBoard(const Options& o, BoardSettings board) {
    if (o.port) {
        board.PortBase = ::strcasecmp(o.port->c_str(), "LPT2") == 0 ? kLpt2Base : kLpt1Base;
        // -P /dev/parportN names the node of LPT1, over programmer.ini's.
        if (o.port->front() == '/') {
            board.port.lpt1Node = *o.port;
        }
    }
    board.PollLimit = o.pollLimit.value_or(board.PollLimit);
    board.port.board = o.board.value_or(board.port.board);
    board.port.trace = o.trace.value_or(board.port.trace);
    // -v -v: every port access on standard error, unless a trace file is named.
    if (o.verbose > 1 && !o.trace) {
        board.port.trace = std::string(kTraceToStandardError);
    }
    board.port.simSocket = o.simSocket.value_or(board.port.simSocket);
    board.port.simFault = o.simFault.value_or(board.port.simFault);
    board.port.simChip = o.simChip.value_or(board.port.simChip);
    return board;
}

// The commands' lines of the help, from the command table: the option in a column of its
// own, or on a line of its own when it is wider.
std::string commandHelp() {
    constexpr std::size_t kColumn = 29;
    const std::string indent(kColumn, ' ');
    std::string text;
    for (const CommandRow& row : commandTable()) {
        if (!named(row)) {
            continue;
        }
        std::string head = row.letter != 0 ? std::string("  -") + row.letter + ", " : "      ";
        head += std::string("--") + row.option;
        const char* const args[] = {"", N_("=SOUBOR"), N_("[=SOUBOR]"), N_("=JMÉNA"), "=on|off"};
        head += _(args[static_cast<int>(row.argument)]);
        const std::string column = padded(head, kColumn);
        text += column.size() > head.size() + 1 ? column : head + "\n" + indent;
        for (const char* line = _(row.help); *line != 0; ++line) {
            text += *line;
            if (*line == '\n') {
                text += indent;
            }
        }
        text += '\n';
    }
    return text;
}

std::string helpText() {
    // A few large texts, one for each part of the help, so that a translation lays each out as
    // a whole; the commands' lines between them come from the command table.
    return _(R"(Použití: trilo-cli -p ČIP [volby] PŘÍKAZ...
         trilo-cli --job SOUBOR [--repeat] [volby]
         trilo-cli --board-test[=hold:0xNN] -F [volby]
         trilo-cli -l | --ports | -h | --version

Programuje čipy AT89 a AVR na desce programátoru na paralelním portu, stejně
jako okno Trilo Programmer. Příkazy se provedou v zadaném pořadí na jedno
otevření portu, jen mazání před prvním zápisem a lock bity až po posledním
příkazu, který by zamčený čip odmítl; první neúspěšný ukončí běh a další se
neprovedou. Vše se zkontroluje dřív, než se otevře port. Před každým příkazem
se přečte podpis čipu; jiný čip než zvolený příkaz zastaví.

Příkazy:
)") + commandHelp() +
           _(R"(      --board-test[=hold:0xNN]
                             samostatně: otestuje port, kabel a desku
                             s prázdnou paticí (potvrďte -F); hold:0xNN
                             nahraje do latche bajt z tabulky desky a drží
                             ho do stisku Enter
)") + "\n" +
           _(R"(Volby:
  -p, --part=ČIP             čip ze seznamu -l, též plným jménem (AT90S8515,
                             AT89C2051) nebo krátce u AVR (8515, t28); na
                             velikosti písmen nezáleží
  -l, --list                 vypíše čipy s rodinou, velikostmi, podpisem
                             a fuse bity
      --ports                vypíše paralelní porty, jak je zná jádro: uzel,
                             adresu, režimy, IRQ, hardware a ovladače na nich;
                             bez portu poradí, co udělat (návratový kód 4)
  -F, --force                pokračuje i s jiným čipem v patici
  -D, --no-erase             zápis FLASH bez automatického smazání
  -V, --no-verify            zápisy bez čtení zpět (FLASH, lock bity, EEPROM,
                             fuse bity)
      --no-blank-check       mazání bez kontroly, že je FLASH prázdná
      --verify-by-read       verifikace FLASH přečte čip postupem čtení
                             a porovná ho v programu: u 8051 bez čekání 1 ms
                             na bajt (89C55 asi 1,4 s místo 22 s), u AVR
                             stejně rychle jako bez ní; se zápisem FLASH bez
                             -m ji provede po zápisech
      --dry-run              vypíše očíslované kroky běhu, port neotevře
  -L, --lock=N               po zápisu FLASH naprogramuje lock bity úrovně N
                             (0 žádné, i přes úroveň úlohy)
  -f, --format=raw|ihex|srec formát všech souborů; jinak podle přípony
                             (.hex Intel HEX, .srec S-record, .elf ELF,
                             .bin raw), u jiné podle obsahu
  -P, --port=PORT            LPT1, LPT2 nebo /dev/parportN
  -c, --board=DESKA          auto, ppdev nebo sim; simulovaná deska (sim) jen
                             na požádání
      --poll-limit=N         nejvíce čtení při čekání na desku
      --trace=SOUBOR         připíše každý přístup k portu do SOUBORU
      --sim-socket=OBSAH     co drží simulovaná patice: auto, empty nebo čip
      --sim-fault=PORUCHA    porucha simulované desky: none, busy,
                             stuck-low:N, stuck-high:N (datový vodič N),
                             no-board nebo spp
      --sim-chip=SOUBOR      simulovaný čip (FLASH, EEPROM, fuse a lock bity)
                             se načte ze SOUBORU a na konci běhu se do něj
                             uloží; chybějící SOUBOR je nový prázdný čip
  -q, --quiet                bez ukazatele průběhu a bez hlášení o úspěchu
  -v, --verbose              na standardní chybový výstup desku, podpis čipu
                             a jak skončil každý příkaz; -v -v navíc každý
                             přístup k portu ve formátu záznamu
      --job=SOUBOR           provede úlohu ze SOUBORU (.trilo): čip, soubory,
                             mazání, lock bity, fuse bity, sériové číslo,
                             protokol; volby na příkazovém řádku mají přednost
      --repeat               úlohu čip po čipu: po každém čipu čeká na Enter,
                             q, konec vstupu nebo Ctrl+C běh ukončí
      --serial=PAMĚŤ:ADRESA:BAJTY:POČÁTEK[:KROK][:le|be|bcd|ascii]
                             sériové číslo do každého čipu (PAMĚŤ flash nebo
                             eeprom, ADRESA jako v souboru HEX)
      --serial-state=SOUBOR  kde se drží další číslo; jinak ÚLOHA.sn nebo
                             PROTOKOL.sn
      --serial-use-failed    i vadný čip spotřebuje své číslo
      --serial-over-image    číslo smí přepsat bajty obrazu jiné než 0xFF
      --log=SOUBOR           připíše každý čip jako řádek CSV
      --lang=JAZYK           jazyk všech hlášení: cs (čeština) nebo en
                             (English); jinak Language= z programmer.ini,
                             bez něj čeština
  -h, --help                 vypíše tuto nápovědu
      --version              vypíše verzi
)") + "\n" +
           _(R"(SOUBOR „-“ je standardní vstup nebo výstup. Port, deska, počet čtení, trace,
obsah simulované patice, soubor simulovaného čipu a kontrola podpisu se berou
z programmer.ini v aktuálním adresáři, je-li tam; trilo-cli ho nikdy
nezapisuje.
)") + "\n" +
           _(R"(Návratové kódy: 0 vše proběhlo (u úlohy každý čip dobrý), 1 operace selhala
(verifikace, čtení zpět, FLASH není prázdná, jiný čip v patici, vadný čip,
test desky neprošel) nebo výpis nelze zapsat, 2 chybné použití, 3 chyba
souboru, 4 port nelze použít, 129 zavřený terminál (SIGHUP), 130 přerušeno
(SIGINT), 143 ukončeno (SIGTERM).
)");
}

}  // namespace trilo::cli

#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/Clock.h"
#include "base/Platform.h"
#include "board/Board.h"
#include "board/BoardCheck.h"
#include "board/BoardSettings.h"
#include "board/PortChoice.h"
#include "commands/CommandTable.h"
#include "commands/DataFiles.h"
#include "commands/Plan.h"
#include "files/ByteFile.h"

namespace trilo {

class InstanceLock;
class SettingsFile;

// What the user selected: the device and the sizes of the memories.
struct Selection {
    std::int32_t DeviceId = 0;
    std::string FamilyTag;  // the family's name, as "Typ" shows it
    std::int32_t FlashSize = 0;
    std::int32_t EepromSize = 0;
};

// The settings of the run, as values.
struct RunOptions {
    std::string SettingsPath;
    std::string PortName;
    // Writes read back what they wrote (and the flash write its lock level); an erase checks
    // the flash blank. The window sets both from "Aut. verifikovat FLASH".
    bool AutoVerify = true;
    bool BlankCheck = true;
    // A flash verify reads the chip with the Read's sequence and compares in the program: an
    // MCS-51 verify without its wait of 1 ms before every byte; an AVR's costs the same.
    // "VerifyByRead" of "SETUP_PRG", written once it has been set.
    bool VerifyByRead = false;
    bool AutoErase = true;
    bool RememberFile = true;
    bool RememberCpu = true;
    // "CheckSignature" of "SETUP_PRG", read at start-up, never written: whether every
    // command first checks that the chip in the socket is the device selected.
    bool CheckSignature = true;
    PortOptions portOptions;
};

// A "Set Up" option, as the faces change it.
// CheckSignature is programmer.ini's alone, never written.
enum class Setting { AutoErase, Checking, VerifyByRead, RememberFile, RememberCpu, CheckSignature };

// The user's data file and the buffer of the last read.
struct Files {
    std::string CurrentFile;
    std::string BufferFile;
    // What the last read put in the buffer, so a save as Intel HEX knows the word order.
    commands::BufferContent bufferContent = commands::BufferContent::None;
    // The device the last read was of (DeviceId): after a change of device the buffer is
    // still that one's, and a save proposes its name.
    std::int32_t bufferDevice = 0;
    ByteFile DataFile;
    // The last data files opened or saved, the newest first; stored in "RECENT_PRG".
    std::vector<std::string> RecentFiles;
    static constexpr std::size_t kRecentLimit = 5;
};

// What the engine tells its face. Each call comes from the thread that caused it: a running
// command's from its worker.
class EngineListener {
public:
    virtual ~EngineListener() = default;
    // The status line: the board in use, the chip that answered, what the last command added.
    virtual void statusChanged(const PortStatus& status) { (void)status; }
    // A command starts, with the gauge's text; the gauge moved; the command ended.
    virtual void commandStarted(const std::string& gauge) { (void)gauge; }
    virtual void progressed(const std::string& gauge) { (void)gauge; }
    virtual void commandFinished(const Report& report) { (void)report; }
    // One command at a time: the face takes no other while busy.
    virtual void busyChanged(bool busy) { (void)busy; }
    // A read left new data in the buffer; another data file, or the device reads it otherwise.
    virtual void bufferChanged() {}
    virtual void fileChanged() {}
    // The top-level handler's error, to show as it stands.
    virtual void error(const std::string& message) { (void)message; }
    // A close asked for during a command: the command has stopped and the board rests.
    virtual void closeAfterStop() {}
};

// How the face waits for a command: the window serves its event loop until the worker has
// finished; the command line and the tests run it where they are.
class CommandHost {
public:
    virtual ~CommandHost() = default;
    virtual void runOnWorker(const std::function<void()>& work) = 0;
};

// The programmer without widgets: the selection, the options, the files, the board and the
// life of a command. The window presents it (Session), trilo-cli drives it (cli/Run.cpp).
class Engine {
public:
    // sink: the face's boxes and gauge, which the engine wraps to time its boxes.
    Engine(Clock& clock, Platform& platform, PortOpener& ports, OperationSink& sink,
           EngineListener& listener);
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // ---- State ------------------------------------------------------------------------
    Selection& selection() { return selection_; }
    const Selection& selection() const { return selection_; }
    const RunOptions& options() const { return options_; }
    // Changes an option; Checking is the writes' read-back and the erase's blank check alike.
    void set(Setting setting, bool on);
    bool setting(Setting setting) const;
    Files& files() { return files_; }
    const Files& files() const { return files_; }
    Board& board() { return board_; }
    const Board& board() const { return board_; }

    // ---- What the selected device offers ------------------------------------------------
    // The selected device; nullptr for none.
    const DeviceInfo* device() const;
    bool offered(Command command) const;

    // ---- The top-level error handler ----------------------------------------------------
    // Runs a handler; an error it raises goes to the listener with a full stop added. False
    // when the handler ended in an error.
    bool handle(const std::function<void()>& handler);

    // ---- Start-up, settings, board ----------------------------------------------------
    // The buffer in the user's private directory, beside the instance lock; a stale one goes.
    void setupBuffer();
    // Reads SettingsPath: the options, the selection, the data file, the recent files and the
    // board's settings. An unreadable file leaves the defaults, and the saves refuse.
    void loadSettings();
    // Writes them back, re-reading the file first; nothing without a SettingsPath, which
    // trilo-cli's engine never has.
    void saveSettings();
    // trilo-cli's programmer.ini: the board's keys alone, from the current directory, never
    // written. One that cannot be read ends the run (TriloError); another user's is named.
    BoardSettings readBoardSettings();
    // Ignites the port library, takes the board's settings and opens the port layer they
    // ask for. With nodes, a simulated board that "auto" would take for want of the port's
    // node is refused (PortUnusable) instead.
    void bringUp(const BoardSettings& settings, const PpdevNodes* refuseUnaskedSim = nullptr);
    const BoardSettings& boardSettings() const { return boardSettings_; }
    // Another port: nothing is driven, the next command finds the board there.
    void choosePort(std::int32_t base);
    // The port item of LPT1 or LPT2: its name, the node it stands for and the port's modes.
    std::string portCaption(std::int32_t base) const;
    void publishStatus();

    // ---- Selection --------------------------------------------------------------------
    // The device and its sizes; the simulated board seats its chip; the chip that answered
    // the last check was another device's.
    void selectDevice(std::int32_t id);
    // The sizes as typed, clamped to what any device has; the clamped value.
    std::int32_t setFlashSize(std::int32_t size);
    std::int32_t setEepromSize(std::int32_t size);

    // ---- Files (EngineFiles.cpp) --------------------------------------------------------
    // A data file named outside the Open dialog; a missing one is refused and nothing
    // changes. During a command it is kept, and taken once the command has ended.
    void openDataFile(const std::string& path);
    // Makes an existing file the data file: first among the recent ones, saved.
    void useDataFile(const std::string& path);
    // An item of the recent files; one that no longer exists leaves the list with a message:
    // false then.
    bool openRecentFile(std::size_t index);
    // Whether the buffer file is there: a save moves it away.
    bool holdsBuffer() const;
    // The name Save As proposes for the buffer: the chip and the memory read, never a file
    // that is there.
    std::string proposedSaveName() const;
    // Puts the buffer at target in one step (the old file gives way only to a complete new
    // one); target is not made the data file here.
    void saveBufferTo(const std::string& target);
    // The buffer as the last read left it, and the data file as a write of that memory would
    // take it, both at the addresses the user's tools give; or why there is nothing to show.
    commands::InputImage bufferImage() const;
    commands::InputImage fileImage() const;
    bool bufferIsAvrFlash() const {
        return files_.bufferContent == commands::BufferContent::AvrFlash;
    }
    commands::BufferContent fileMemory() const;
    std::string bufferDeviceName() const;
    std::string selectedDeviceName() const;
    std::optional<std::pair<int, int>> dataViewSize() const;
    void rememberDataViewSize(int width, int height);
    // Where the window of a run listens for a later start's file.
    static std::string windowSocketPath(Platform& platform);

    // ---- Commands -----------------------------------------------------------------------
    bool busy() const { return busy_.load(); }
    // Runs the work on the host's worker, one at a time: false, and nothing run, while
    // another runs. Afterwards a data file that came meanwhile is taken, and a close asked
    // for meanwhile is passed on.
    bool execute(const std::function<void()>& work);
    void setHost(CommandHost& host) { host_ = &host; }
    // Runs commands on one claim of the board: refused with the port's reason when it cannot
    // be driven; whatever ends them early, the board is released and the data file closed.
    // checkSignature: whether each command first checks the chip in the socket; nothing for
    // the options' CheckSignature.
    void onBoard(const std::function<void()>& commands,
                 std::optional<bool> checkSignature = std::nullopt);
    // The same for one operation, with its context.
    void runOperation(const std::function<void(OpContext&)>& operation);
    // Runs a row of the command table with the options' checks, on the claim it is inside or
    // on one of its own. Nothing runs without a device. The report goes to the listener.
    CommandResult run(Command id, const CommandArgs& args = {});
    // A step of a plan, with the plan's checks instead of the options'.
    CommandResult run(const PlanStep& step, const RunChecks& checks);
    // Runs a plan's steps in order on one claim of the board (the one it is inside, or one of
    // its own), with its checks; each step is
    // told before it starts and once it has ended, and the first that does not end Done, or
    // whose ended returns false, ends the run.
    void runPlan(const Plan& plan,
                 const std::function<bool(const PlanStep&, const CommandResult&)>& ended,
                 const std::function<void(const PlanStep&)>& starting = {});
    // Asks the running operation to stop at its next byte or word; from any thread.
    void requestStop() { stop_.store(true); }
    // A stop that nothing resets, such as a signal's; nullptr: the engine's own.
    void setStopSource(const std::atomic<bool>* stop) { stopSource_ = stop; }
    // A close during a command: stops it, and the listener hears once the board rests.
    void stopForClose();
    // ---- The board test ---------------------------------------------------------------
    // Asks first that the socket be empty (No: nothing runs, and nothing comes back), then
    // runs the test's steps on one claim of the board, telling each as it ends; the board
    // rests afterwards. A port that cannot be driven is the first step's verdict.
    std::optional<BoardTestResult> boardTest(
        const std::function<void(const BoardCheckResult&)>& told);
    // After the same question, latches a byte of the board's table and holds it while held
    // runs; whatever ends the hold, the board rests afterwards. False when declined; a port
    // that cannot be driven is refused (PortUnusable).
    bool holdControlByte(std::uint8_t byte, const std::function<void()>& held);

    // The clock that times the commands, when it is not the board's.
    void setTimingClock(Clock& clock) { timing_ = &clock; }
    // Hears what the operations tell the face (boxes, status, the chip that answered) as
    // well: a chip-after-chip run keeps a failing step's words. nullptr: nobody.
    void setWatcher(OperationSink* watcher) { watcher_ = watcher; }

private:
    class TimedSink;
    class EmptySocket;
    // An information box outside a command.
    void tell(const std::string& message);
    void claimed(const std::function<void(OpContext&)>& operation);
    RunChecks optionChecks() const;
    void loadRecentFiles(const SettingsFile& file);
    void storeRecentFiles(SettingsFile& file) const;

    Platform& platform_;
    Clock& clock_;
    Clock* timing_;
    EngineListener& listener_;
    std::unique_ptr<TimedSink> sink_;
    Selection selection_;
    RunOptions options_;
    Files files_;
    Board board_;
    BoardSettings boardSettings_;
    // What the last signature check found, and what the last operation had to add, for the
    // status line.
    std::optional<ChipIdentity> chip_;
    std::string note_;
    std::atomic<bool> stop_{false};
    const std::atomic<bool>* stopSource_ = nullptr;
    OperationSink* watcher_ = nullptr;
    // The context of the claim that commands run on, while there is one.
    OpContext* claim_ = nullptr;
    // The signature check of the claim being opened, when it is not the options'.
    std::optional<bool> checkSignature_;
    class InlineHost final : public CommandHost {
        void runOnWorker(const std::function<void()>& work) override { work(); }
    } inlineHost_;
    CommandHost* host_ = &inlineHost_;
    std::atomic<bool> busy_{false};
    std::optional<std::string> pendingFile_;
    bool closeAfterStop_ = false;
    std::unique_ptr<InstanceLock> instanceLock_;
    // Why the settings file could not be read at start-up; empty when it could.
    std::string settingsUnreadable_;
    // The settings file was another user's or writable by everyone: never read nor written.
    bool settingsUntrusted_ = false;
};

}  // namespace trilo

#pragma once

#include <array>
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
#include "board/PortChoice.h"
#include "commands/DataFiles.h"
#include "commands/Report.h"
#include "session/View.h"
#include "data/ByteFile.h"
#include "ops/Operation.h"

namespace trilo {

class InstanceLock;
class SettingsFile;

// The operations' progress and messages, shown in the window. The gauge is repainted only
// when its value changes, so a long operation costs at most 101 repaints.
class ViewSink final : public OperationSink {
public:
    ViewSink(View& view, Clock& clock) : view_(view), clock_(clock) {}
    void progress(int percent) override;
    void info(const std::string& message) override;
    // The detail also goes to the status line, where it stays after the box is closed.
    void detailedInfo(const std::string& message, const std::string& detail) override;
    bool ask(const std::string& question) override;
    void status(const std::string& text) override;
    void identified(const std::string& summary) override;

    std::function<void(const std::string&)> onIdentified;
    std::function<void(const std::string&)> onStatus;
    // The gauge moved to a new value, before it shows it.
    std::function<void(int)> onProgress;
    // How long the boxes shown so far waited for the user, in all: a command's duration and
    // its time left are the command's own, however long a box stood open.
    std::int64_t waitedUs() const { return waitedUs_; }

private:
    // Runs a box, counting the time it stood open.
    template <typename F>
    auto waiting(F&& box) -> decltype(box());

    View& view_;
    Clock& clock_;
    int shown_ = 0;  // the gauge starts at 0, and every operation leaves it there
    std::int64_t waitedUs_ = 0;
};

// What the user selected: the device and the sizes of the spin edits.
struct Selection {
    std::int32_t DeviceId = 0;
    std::string FamilyTag;  // the family's name, as "Typ" shows it
    std::int32_t FlashSize = 0;
    std::int32_t EepromSize = 0;
};

// The settings of the run.
struct RunOptions {
    std::string SettingsPath;
    std::string PortName;
    bool AutoVerify = true;
    bool AutoErase = true;
    bool RememberFile = true;
    bool RememberCpu = true;
    // "CheckSignature" of "SETUP_PRG", read at start-up, never written: whether every
    // command first checks that the chip in the socket is the device selected.
    bool CheckSignature = true;
    PortOptions portOptions;
};

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

// The state of one run and the handlers of the main window. The window forwards every
// click here; everything the program does is decided here, so it runs and tests without Qt.
class Session {
public:
    Session(View& view, Clock& clock, Platform& platform, PortOpener& ports);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // ---- The top-level error handler -------------------------------------------------
    // Runs a handler; an error it raises is shown in the error box with a full stop added,
    // and the window goes on. Returns false when the handler ended in an error.
    bool handle(const std::function<void()>& handler);
    // Runs a device operation: refused with the port's reason when the board cannot be
    // driven; whatever ends it early, the programmer is released and DataFile closed.
    void runOperation(const std::function<void(OpContext&)>& operation);
    // Runs a command button's operation as runOperation does; meanwhile the gauge names the
    // command, and after it the status line's second part says how it ended.
    void runCommand(commands::Command command,
                    const std::function<commands::Outcome(OpContext&)>& operation);
    // Asks the running operation to stop at its next byte or word; from any thread.
    void requestStop() { stop_.store(true); }

    // ---- Start-up, closing ----------------------------------------------------------
    void FormCreate();
    // The unsaved-data question; an error in it (shown by handle) keeps the window open.
    void FormClose();
    void mnuExitClick();
    void mnuAboutClick();

    // ---- Device selection -----------------------------------------------------------
    void ApplyDeviceSelection();
    // A device menu item (mnu1051Click .. mnu8534Click): DeviceId := id, then
    // ApplyDeviceSelection.
    void selectDevice(std::int32_t id);
    void spFlashChange();
    void spEEpromChange();
    void chLB1Enter();
    void chLB2Enter();
    void chLB3Enter();

    // ---- Settings -------------------------------------------------------------------
    void LoadSettings();
    void SaveSettings();
    void mnuDMClick();
    void mnuCPClick();
    void mnuFLClick();
    void mnuDLClick();
    void mnuLPT1Click();
    void mnuLPT2Click();

    // ---- Files ----------------------------------------------------------------------
    void mnuOpenClick();
    void mnuSaveClick();
    void mnuSaveAsClick();
    void SaveBufferAs();
    // A data file named outside the Open dialog (the command line, a drop, a second start):
    // taken as Open takes its choice; a missing one is refused and nothing changes.
    void openDataFile(const std::string& path);
    // An item of the recent files: one that no longer exists leaves the list with a message.
    void openRecentFile(std::size_t index);
    // Where the window of a run listens for a later start's file: beside the instance lock,
    // so it is one per user as the lock is. Empty when there is no safe directory.
    static std::string windowSocketPath(Platform& platform);

    // ---- The data view (SessionData.cpp) ----------------------------------------------
    // The buffer as the last read left it, and the data file as a write of that memory
    // would take it; or why there is nothing to show. Both at the addresses the user's
    // tools give: an AVR flash word low byte first (the program's files hold it the other
    // way round), so the view's offsets are the commands' difference addresses.
    commands::InputImage bufferImage() const;
    // Whether the buffer file is there: a save moves it away.
    bool holdsBuffer() const;
    commands::InputImage fileImage() const;
    // Whether the buffer holds an AVR flash; and the memory the file is read for.
    bool bufferIsAvrFlash() const {
        return files_.bufferContent == commands::BufferContent::AvrFlash;
    }
    commands::BufferContent fileMemory() const;
    // The names of the device the buffer was read from and of the one selected; empty for
    // none.
    std::string bufferDeviceName() const;
    std::string selectedDeviceName() const;
    // The data window's size as programmer.ini keeps it; nothing when it keeps none.
    std::optional<std::pair<int, int>> dataViewSize() const;
    void rememberDataViewSize(int width, int height);

    // ---- The board ------------------------------------------------------------------
    // The board on the selected port, as the status line shows it.
    PortStatus portStatus() const;
    void updateStatusLine();

    // ---- State of the run -----------------------------------------------------------
    Selection& selection() { return selection_; }
    const Selection& selection() const { return selection_; }
    RunOptions& options() { return options_; }
    const RunOptions& options() const { return options_; }
    Files& files() { return files_; }
    const Files& files() const { return files_; }
    Board& board() { return board_; }
    const Board& board() const { return board_; }
    View& view() const { return view_; }

private:
    View& view_;
    ViewSink sink_;
    Selection selection_;
    RunOptions options_;
    Files files_;
    // The unit of the AVR, MCS-51 and file handlers' shared steps.
    void moveBufferTo(const std::string& target);
    // The name Save As proposes for the buffer: the chip and the memory read, never a file
    // that is there.
    std::string proposedSaveName() const;
    // Makes an existing file the data file: shown, first among the recent ones, saved.
    void useDataFile(const std::string& path);
    void loadRecentFiles(const SettingsFile& file);
    void storeRecentFiles(SettingsFile& file) const;
    void setupBuffer();
    void toggleOption(Control item, bool& flag);
    void choosePort(std::int32_t base);

    Platform& platform_;
    // The gauge's time left and the commands' durations.
    Clock& clock_;
    Board board_;
    // What the last signature check found, and what the last operation had to add, for the
    // status line.
    std::string chipSummary_;
    std::string note_;
    // Set by requestStop, cleared as each operation starts.
    std::atomic<bool> stop_{false};
    // The command on the gauge, and when the gauge's present run from 0 began.
    std::optional<commands::Command> running_;
    std::int64_t runStartUs_ = 0;
    // The boxes' time at that start, which the gauge's pace leaves out.
    std::int64_t runWaitedUs_ = 0;
    int lastPercent_ = 0;
    std::unique_ptr<InstanceLock> instanceLock_;
    // Why the settings file could not be read at start-up; empty when it could.
    std::string settingsUnreadable_;
    // The settings file was another user's or writable by everyone: never read nor written.
    bool settingsUntrusted_ = false;
};

}  // namespace trilo

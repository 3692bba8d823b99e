#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "base/Clock.h"
#include "base/Platform.h"
#include "board/PortChoice.h"
#include "engine/Engine.h"
#include "presenter/View.h"
#include "production/JobFile.h"

namespace trilo {

// The operations' boxes and gauge, shown in the window. The gauge is repainted only when its
// value changes, so a long operation costs at most 101 repaints.
class ViewSink final : public OperationSink {
public:
    explicit ViewSink(View& view) : view_(view) {}
    void progress(int percent) override;
    void info(const std::string& message) override;
    void detailedInfo(const std::string& message, const std::string& detail) override;
    bool ask(const std::string& question) override;

private:
    View& view_;
    int shown_ = 0;  // the gauge starts at 0, and every operation leaves it there
};

// The main window's handlers over the engine, under the window's names. Each reads its
// controls through View, passes their values to the engine and shows in the controls what
// the engine tells; the window forwards every click here, so it runs and tests without Qt.
class Session final : private EngineListener {
public:
    Session(View& view, Clock& clock, Platform& platform, PortOpener& ports);
    ~Session() override;
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    Engine& engine() { return engine_; }
    const Engine& engine() const { return engine_; }
    View& view() const { return view_; }

    // The top-level error handler: an error a handler raises is shown in the error box with a
    // full stop added, and the window goes on. False when the handler ended in an error.
    bool handle(const std::function<void()>& handler) { return engine_.handle(handler); }
    // Runs a command button's handler as the engine's one command at a time: the controls
    // that take no input then are held disabled, and given back afterwards as the handler
    // left them. False when another command runs.
    bool runBusy(const std::function<void()>& handler);
    // Closing during a command asks to stop it; the window closes once it has.
    void askToStop();

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
    void SaveSettings() { engine_.saveSettings(); }
    void mnuDMClick();
    void mnuCPClick();
    void mnuFLClick();
    void mnuDLClick();
    void mnuVerifyReadClick();
    void mnuLPT1Click();
    void mnuLPT2Click();
    // Set Up > Jazyk / Language: the words from now on, in every window, and kept in
    // programmer.ini; the key is written only once the user has chosen.
    void chooseLanguage(const std::string& code);

    // ---- Files ----------------------------------------------------------------------
    void mnuOpenClick();
    void mnuSaveClick();
    void mnuSaveAsClick();
    void SaveBufferAs();
    void openRecentFile(std::size_t index) { engine_.openRecentFile(index); }

    // ---- Jobs and chip after chip (Jobs.cpp) -------------------------------------------
    // File, Otevřít úlohu: the job's device, data file and options in the window.
    void mnuOpenJobClick();
    // File, Uložit úlohu: the job as the window shows it.
    void mnuSaveJobClick();
    // Data, Sériové programování: the window's job chip after chip, as one command that
    // holds the board; the dialog between chips says when the next one is in.
    void mnuProductionClick();
    // Data, Protokol: the lines of the chips and commands of this run, to copy or save.
    void mnuProtocolClick();
    // The opened job with what the window shows laid over it: the device, the data file,
    // the erase and verify options, the lock level, the fuse boxes where the job writes
    // fuses, the serial fuse where it writes it.
    JobSpec jobFromWindow() const;
    const std::optional<JobSpec>& job() const { return job_; }
    // The protocol's rows, the oldest first, without the header.
    std::deque<std::string> protocol() const;
    static constexpr std::size_t kProtocolKept = 200;

    // ---- The command buttons (Handlers.cpp) -------------------------------------------
    // Runs a row of the command table with the controls' values, shows what it left. A
    // write whose erase would clear the EEPROM written here asks first; No: Declined, and
    // nothing runs.
    CommandResult runCommand(Command command, CommandArgs args = {});
    // The status line's second part, said again in the words of another language.
    void showLastCommand(std::function<std::string()> text);
    // The enabled state the window shows, or the one a held control gets back.
    void enable(Control c, bool on);
    bool isEnabled(Control c) const;

private:
    // EngineListener: what the engine tells the window.
    void statusChanged(const PortStatus& status) override { view_.showPortStatus(status); }
    void commandStarted(const std::string& gauge) override;
    void progressed(const std::string& gauge) override;
    void commandFinished(const Report& report) override;
    void busyChanged(bool busy) override;
    void bufferChanged() override;
    void fileChanged() override;
    void error(const std::string& message) override { view_.showError(message); }
    void closeAfterStop() override { view_.closeWindow(); }

    void toggleOption(Control item, Setting setting);
    // The buffer saved at target, which becomes the data file.
    void moveBufferTo(const std::string& target);
    void choosePort(std::int32_t base);
    // The command buttons and their controls as the selected device offers them; the lock
    // level and the serial fuse of the chip before unset.
    void enableCommands(const DeviceInfo* device);
    // Whether an erase may clear the EEPROM written here: asked, No what Enter and Esc give.
    bool eepromMayGo();
    void applyJob(const JobSpec& job);
    void addToProtocol(std::string row);
    std::string jobName() const;

    View& view_;
    ViewSink sink_;
    Engine engine_;
    // While a command runs, the enabled state the core gave each held control, restored
    // after it; nothing for a control not held.
    std::vector<std::optional<bool>> held_;
    bool askingToStop_ = false;
    // How the last command ended, as words made when shown; nothing before the first.
    std::function<std::string()> lastCommand_;
    // The data file this session wrote the chip's EEPROM from, until an erase clears it or
    // another device's chip takes its place; a flash write's erase would clear it too.
    std::optional<std::string> eepromWrittenFrom_;
    // The job opened or saved last, and its file.
    std::optional<JobSpec> job_;
    std::string jobPath_;
    // Rows come from the worker, and the window may show them meanwhile.
    mutable std::mutex protocolLock_;
    std::deque<std::string> protocol_;
};

}  // namespace trilo

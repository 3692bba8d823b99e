#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "base/Clock.h"
#include "base/Platform.h"
#include "commands/DataFiles.h"
#include "core/PortChoice.h"
#include "core/View.h"
#include "data/ByteFile.h"
#include "link/Link.h"
#include "link/PORTINC.h"
#include "ops/Operation.h"

namespace trilo {

class InstanceLock;

// The operations' progress and messages, shown in the window. The gauge is repainted only
// when its value changes, so a long operation costs at most 101 repaints.
class ViewSink final : public OperationSink {
public:
    explicit ViewSink(View& view) : view_(view) {}
    void progress(int percent) override;
    void info(const std::string& message) override;
    // The detail also goes to the status line, where it stays after the box is closed.
    void detailedInfo(const std::string& message, const std::string& detail) override;
    bool ask(const std::string& question) override;
    void status(const std::string& text) override;
    void identified(const std::string& summary) override;

    std::function<void(const std::string&)> onIdentified;
    std::function<void(const std::string&)> onStatus;

private:
    View& view_;
    int shown_ = 0;  // the gauge starts at 0, and every operation leaves it there
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

    // ---- Start-up, closing ----------------------------------------------------------
    void FormCreate();
    // The unsaved-data question; an error in it (shown by handle) keeps the window open.
    void FormClose();
    void mnuExitClick();
    void mnuAboutClick();

    // ---- Device selection -----------------------------------------------------------
    void ApplyDeviceSelection();
    // A device menu item: DeviceId := id, then ApplyDeviceSelection.
    void selectDevice(std::int32_t id);
    void mnu1051Click() { selectDevice(1); }
    void mnu2051Click() { selectDevice(2); }
    void mnu4051Click() { selectDevice(3); }
    void mnu51Click() { selectDevice(4); }
    void mnu52Click() { selectDevice(5); }
    void mnu53Click() { selectDevice(6); }
    void mnu55Click() { selectDevice(7); }
    void mnu8252Click() { selectDevice(8); }
    void mnu1200Click() { selectDevice(9); }
    void mnu2313Click() { selectDevice(10); }
    void mnu2333Click() { selectDevice(11); }
    void mnu4414Click() { selectDevice(12); }
    void mnu4433Click() { selectDevice(13); }
    void mnu4434Click() { selectDevice(14); }
    void mnu8515Click() { selectDevice(15); }
    void mnu8535Click() { selectDevice(16); }
    void mnat28Click() { selectDevice(17); }
    void mnu8534Click() { selectDevice(18); }
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

    // ---- The data view (SessionData.cpp) ----------------------------------------------
    // The buffer as the last read left it, and the data file as a write of that memory
    // would take it; or why there is nothing to show.
    commands::InputImage bufferImage() const;
    commands::InputImage fileImage() const;
    // Whether the buffer holds an AVR flash, whose words are high byte first and checksums
    // low byte first; and the memory the file is read for.
    bool bufferIsAvrFlash() const { return bufferContent == commands::BufferContent::AvrFlash; }
    commands::BufferContent fileMemory() const;
    // The data window's size as programmer.ini keeps it; nothing when it keeps none.
    std::optional<std::pair<int, int>> dataViewSize() const;
    void rememberDataViewSize(int width, int height);

    // ---- The board ------------------------------------------------------------------
    // The board on the selected port, as the status line shows it.
    PortStatus portStatus() const;
    void updateStatusLine();

    // ---- State of the run -----------------------------------------------------------
    // Selection.
    std::int32_t DeviceId = 0;
    std::string FamilyTag;
    std::int32_t FlashSize = 0;
    std::int32_t EepromSize = 0;
    std::array<std::string, 51> DeviceNames;

    // Settings.
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

    // Files.
    std::string CurrentFile;
    std::string BufferFile;
    // What the last read put in the buffer, so a save as Intel HEX knows the word order.
    commands::BufferContent bufferContent = commands::BufferContent::None;
    ByteFile DataFile;

    // The port library and the link.
    Portinc portinc;
    Link link;

    View& view;

private:
    ViewSink sink_;
    // The unit of the AVR, MCS-51 and file handlers' shared steps.
    void moveBufferTo(const std::string& target);
    void setupBuffer();
    void openPort();
    void toggleOption(Control item, bool& flag);
    void choosePort(std::int32_t base);

    Clock& clock_;
    Platform& platform_;
    PortOpener& ports_;
    PortSetup port_;
    // What the last signature check found, and what the last operation had to add, for the
    // status line.
    std::string chipSummary_;
    std::string note_;
    std::unique_ptr<InstanceLock> instanceLock_;
    // Why the settings file could not be read at start-up; empty when it could.
    std::string settingsUnreadable_;
    // The settings file was another user's or writable by everyone: never read nor written.
    bool settingsUntrusted_ = false;
};

}  // namespace trilo

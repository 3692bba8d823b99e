#pragma once

#include <optional>
#include <string>

#include "link/PortLayer.h"

namespace trilo {

// Every control of the main window that the core reads or changes. The names are the
// window's own; statusLine is the line under the controls that names the board in use.
enum class Control {
    // "Proces CPU"
    gbProces,
    btnRead,
    btnWrite,
    btnErase,
    btnVerify,
    gbEEPROM,
    btnReaEE,
    btnWriEE,
    Gauge1,
    Label4,
    txFile,
    // "CPU Info / Set Up"
    mnuCPUinf,
    mnuLB,
    chLB1,
    chLB2,
    chLB3,
    btnReadLB,
    mnuSL,
    rdSON,
    rdSOFF,
    btnReadS,
    btnWriteS,
    txTyp,
    txCpu,
    GroupBox1,
    chD5,
    chD4,
    chD3,
    chD2,
    chD1,
    chD0,
    btnReadFuse,
    btnWrFuse,
    spFlash,
    spEEprom,
    // Menus
    mnuFile,
    mnuOpen,
    mnuSave,
    mnuSaveAs,
    mnuSetUp,
    mnuDM,
    mnuCP,
    mnuFL,
    mnuDL,
    mnuLPT1,
    mnuLPT2,
    mnuExit,
    mnuX51,
    mnu1051,
    mnu2051,
    mnu4051,
    mnu51,
    mnu52,
    mnu53,
    mnu55,
    mnu8252,
    mnuAVR,
    mnu1200,
    mnu2313,
    mnu2333,
    mnu4414,
    mnu4433,
    mnu4434,
    mnu8515,
    mnu8534,
    mnu8535,
    mnat28,
    mnuIndex,
    mnuAbout,
    statusLine,
    // "Index": reads the signature of the chip in the socket.
    mnuSignature,
    Count
};

// The window as the core sees it. The Qt window implements it over its widgets; tests
// implement it with plain state and scripted answers, so no test waits on a dialog.
//
// Setters never call back into the core: where the window's own control would fire a
// change handler (a spin edit's value), the core calls that handler itself.
class View {
public:
    virtual ~View() = default;

    virtual void setEnabled(Control c, bool on) = 0;
    virtual bool enabled(Control c) const = 0;
    // Check boxes, radio buttons and the check marks of menu items.
    virtual void setChecked(Control c, bool on) = 0;
    virtual bool checked(Control c) const = 0;
    // Captions of check boxes and static texts (txFile, txTyp, txCpu, statusLine).
    virtual void setCaption(Control c, const std::string& text) = 0;
    virtual std::string caption(Control c) const = 0;
    // The status line with the board in use. The window sets a simulated or unusable board
    // apart by more than the words.
    virtual void showPortStatus(const PortStatus& status) = 0;
    // Spin edits and the progress gauge. The gauge repaints at once.
    virtual void setValue(Control c, int value) = 0;
    // A spin edit's text as the user typed it.
    virtual std::string text(Control c) const = 0;

    // Information box with a single OK button; detail, when given, is the box's detail text.
    virtual void showInfo(const std::string& message, const std::string& detail = {}) = 0;
    // Information box with Yes and No; true for Yes.
    virtual bool askYesNo(const std::string& message) = 0;
    // The top-level handler's error box (error icon, OK, caption "Trilo Programmer").
    virtual void showError(const std::string& message) = 0;

    // File dialogs, preset with a file name; nothing when cancelled.
    virtual std::optional<std::string> openFileDialog(const std::string& preset) = 0;
    virtual std::optional<std::string> saveFileDialog(const std::string& preset) = 0;

    // Closing the main window; the window runs FormClose before it goes.
    virtual void closeWindow() = 0;
    // The modal About window.
    virtual void showAbout() = 0;

    // The data view follows the buffer and the data file: a read put new bytes in the
    // buffer, or Open chose another file. Nothing to do for a window without one.
    enum class DataSide { Chip, File };
    virtual void dataChanged(DataSide side) { (void)side; }
    // A verify found the flash unlike the file: the data view shows where, at the offset
    // of the first difference in the file as the write takes it.
    virtual void showDifferences(std::optional<std::size_t> at) { (void)at; }
};

}  // namespace trilo

#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "board/BoardCheck.h"
#include "link/PortLayer.h"

namespace trilo {

// Every control of the main window that the core reads or changes, named as the window names
// them; statusLine is the line under the controls that names the board in use. One list, from
// which the enum and the names are made.
// clang-format off
#define TRILO_CONTROLS(X)                                                                      \
    /* "Proces CPU" */                                                                         \
    X(gbProces) X(btnRead) X(btnWrite) X(btnErase) X(btnVerify) X(gbEEPROM) X(btnReaEE)         \
    X(btnWriEE) X(Gauge1) X(Label4) X(txFile)                                                  \
    /* "CPU Info / Set Up" */                                                                  \
    X(mnuCPUinf) X(mnuLB) X(chLB1) X(chLB2) X(chLB3) X(btnReadLB) X(mnuSL) X(rdSON) X(rdSOFF)  \
    X(btnReadS) X(btnWriteS) X(txTyp) X(txCpu) X(GroupBox1) X(chD5) X(chD4) X(chD3) X(chD2)    \
    X(chD1) X(chD0) X(btnReadFuse) X(btnWrFuse) X(spFlash) X(spEEprom)                         \
    /* Menus; the device items follow the list, one per catalog row (menuItemOf) */            \
    X(mnuFile) X(mnuOpen) X(mnuSave) X(mnuSaveAs) X(mnuSetUp) X(mnuDM) X(mnuCP) X(mnuFL)        \
    X(mnuDL) X(mnuLPT1) X(mnuLPT2) X(mnuExit) X(mnuX51) X(mnuAVR) X(mnuIndex) X(mnuAbout)       \
    X(statusLine)                                                                              \
    /* "Index": reads the signature of the chip in the socket; tests the board. */             \
    X(mnuSignature) X(mnuBoardTest)                                                            \
    /* "Set Up": the flash verify by reading */                                                \
    X(mnuVerifyRead)
// clang-format on

enum class Control : int {
#define TRILO_CONTROL(name) name,
    TRILO_CONTROLS(TRILO_CONTROL)
#undef TRILO_CONTROL
        Count
};

// A question with Yes and No as the core asks it: the answer that Enter gives, and what Esc
// and the box's close button do. A stray key must never turn against the user, so Enter
// gives the answer that cannot hurt, and where No would discard something only a deliberate
// No gives it.
struct Question {
    std::string text;
    // The box's informative text, such as the file the question is about.
    std::string detail = {};
    bool yesIsDefault = false;
    // Esc and the close button answer No; when false they do nothing and the box stays.
    bool escapeAnswersNo = true;
};

// What the dialog of a chip-after-chip run shows between chips.
struct ProductionStatus {
    std::string job;                     // the job's name, or empty
    std::string board;                   // the board it runs on, as the status line names it
    std::vector<std::string> plan;       // the numbered steps of every chip
    std::string counts;                  // "Hotovo: 2 čipy, 2 dobré, 0 vadných"
    std::vector<std::string> lastChips;  // their lines, the newest last
    std::optional<std::uint64_t> nextSerial;
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
    // Captions of check boxes and static texts (txFile, txTyp, txCpu, statusLine), and the
    // text on the gauge (Gauge1).
    virtual void setCaption(Control c, const std::string& text) = 0;
    virtual std::string caption(Control c) const = 0;
    // The status line with the board in use. The window sets a simulated or unusable board
    // apart by more than the words.
    virtual void showPortStatus(const PortStatus& status) = 0;
    // The status line's second part: how the last command ended.
    virtual void showLastCommand(const std::string& text) = 0;
    // Spin edits and the progress gauge. The gauge repaints at once.
    virtual void setValue(Control c, int value) = 0;
    // A spin edit's text as the user typed it.
    virtual std::string text(Control c) const = 0;

    // Information box with a single OK button; detail, when given, is the box's detail text.
    virtual void showInfo(const std::string& message, const std::string& detail = {}) = 0;
    // Information box with Yes and No, as the question says; true for Yes.
    virtual bool askYesNo(const Question& question) = 0;
    // The top-level handler's error box (error icon, OK, caption "Trilo Programmer").
    virtual void showError(const std::string& message) = 0;

    // File dialogs, preset with a file name; nothing when cancelled.
    virtual std::optional<std::string> openFileDialog(const std::string& preset) = 0;
    virtual std::optional<std::string> saveFileDialog(const std::string& preset) = 0;

    // Closing the main window; the window runs FormClose before it goes.
    virtual void closeWindow() = 0;
    // The modal About window.
    virtual void showAbout() = 0;
    // File dialogs for a job file (.trilo) and for the protocol (.csv), preset with a name;
    // nothing when cancelled.
    enum class OtherFile { Job, Protocol };
    virtual std::optional<std::string> openOtherDialog(OtherFile kind, const std::string& preset) {
        (void)kind;
        (void)preset;
        return std::nullopt;
    }
    virtual std::optional<std::string> saveOtherDialog(OtherFile kind, const std::string& preset) {
        (void)kind;
        (void)preset;
        return std::nullopt;
    }
    // The job the window holds, by its file's name, in the title; empty: none.
    virtual void showJobName(const std::string& name) { (void)name; }
    // Between the chips of a run: the counts and the last chips; true for the next chip,
    // false ends the run.
    virtual bool nextChip(const ProductionStatus& status) {
        (void)status;
        return false;
    }
    // The protocol's lines, to read and copy; true when the user asks to save them.
    virtual bool showProtocol(const std::string& text) {
        (void)text;
        return false;
    }

    // The language changed: the window sets every text of its own again, in the new words.
    virtual void languageChanged() {}

    // A command runs, or has ended: the window's own parts that act on the engine (what is
    // no control of the core's) follow the held controls, and the stop button shows.
    virtual void showBusy(bool busy) { (void)busy; }

    // The data view follows the buffer and the data file: a read put new bytes in the
    // buffer, or Open chose another file, or another device reads the file in its own way.
    // Nothing to do for a window without one.
    enum class DataSide { Chip, File };
    virtual void dataChanged(DataSide side) { (void)side; }
    // A verify found the flash unlike the file: the data view shows where, at the address
    // of the first difference as the user's tools number it (the view's offsets).
    virtual void showDifferences(std::optional<std::size_t> at) { (void)at; }
    // The board test's window: each step's verdict as it ends; the first step starts a run.
    virtual void boardTestStep(const BoardCheckResult& step) { (void)step; }
};

}  // namespace trilo

#pragma once

#include <QMainWindow>
#include <array>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/Dialogs.h"
#include "app/GuiThreadView.h"
#include "app/Metrics.h"
#include "presenter/DeviceControls.h"
#include "presenter/Session.h"
#include "presenter/View.h"

class QAction;
class QDragEnterEvent;
class QDropEvent;
class QLabel;
class QMenu;
class QPushButton;

namespace trilo::gui {

class BoardTestWindow;
class DataWindow;
class TfrmInfo;

// The main window. It shows the controls and forwards every click to the session, which
// decides everything; the core sees the window only through View.
class TfrmTop : public QMainWindow, public View {
    Q_OBJECT
public:
    // Builds the window and runs the start-up sequence (FormCreate). StartupAbort leaves
    // the constructor when the program cannot go on.
    TfrmTop(Dialogs& dialogs, Platform& platform, PortOpener& ports, Clock& clock,
            QWidget* parent = nullptr);
    ~TfrmTop() override;

    // The About window that Index > About shows.
    void setAboutWindow(TfrmInfo* info) { frmInfo_ = info; }
    Session& session() { return session_; }
    // Shows the window at the centre of the screen.
    void showCentred();

    // The name of a control, which its Qt object carries as objectName.
    static const char* controlName(Control c);

    // Connects a button to a command. The command runs on a worker thread while the window
    // goes on painting and takes no input; closing is refused until it has ended.
    void connectCommand(Control button, std::function<void(Session&)> command);
    bool busy() const { return session_.engine().busy(); }

    // A data file from outside the window (the command line, a drop, a later start), taken
    // as Open takes its choice; during a command it waits for the command's end.
    void openDataFile(const QString& file);
    // Shows the window over the others, restored and active, for a later start.
    void bringToFront();

    // ---- View ---------------------------------------------------------------------------
    void setEnabled(Control c, bool on) override;
    bool enabled(Control c) const override;
    void setChecked(Control c, bool on) override;
    bool checked(Control c) const override;
    void setCaption(Control c, const std::string& text) override;
    std::string caption(Control c) const override;
    void showPortStatus(const PortStatus& status) override;
    void showLastCommand(const std::string& text) override;
    void setValue(Control c, int value) override;
    std::string text(Control c) const override;
    void showInfo(const std::string& message, const std::string& detail) override;
    bool askYesNo(const Question& question) override;
    void showError(const std::string& message) override;
    std::optional<std::string> openFileDialog(const std::string& preset) override;
    std::optional<std::string> saveFileDialog(const std::string& preset) override;
    void closeWindow() override;
    void showAbout() override;
    void showBusy(bool busy) override;
    void languageChanged() override { retranslate(); }
    // ---- Jobs (JobsMenu.cpp) ------------------------------------------------------------
    std::optional<std::string> openOtherDialog(OtherFile kind, const std::string& preset) override;
    std::optional<std::string> saveOtherDialog(OtherFile kind, const std::string& preset) override;
    void showJobName(const std::string& name) override;
    bool nextChip(const ProductionStatus& status) override;
    bool showProtocol(const std::string& text) override;

    // ---- The data window (DataMenu.cpp) ---------------------------------------------------
    void dataChanged(DataSide side) override;
    void showDifferences(std::optional<std::size_t> at) override;
    // The board test's window, made and shown at the first step of a run.
    void boardTestStep(const BoardCheckResult& step) override;
    BoardTestWindow* boardTestWindow() const { return boardTest_; }
    // Shows the data window, made when first asked for, with what the buffer and the file
    // hold now.
    void showDataWindow();
    DataWindow* dataWindow() const { return dataWindow_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // A control is a widget or a menu item (a menu is its menu action).
    struct Slot {
        QWidget* widget = nullptr;
        QAction* action = nullptr;
    };

    void createControls();
    void fitToStatusLine();
    void createMenus();
    void createDataMenu();
    // File's "Otevřít úlohu…" and "Uložit úlohu…", and Data's production items.
    void createJobItems(QMenu* file);
    void createProductionItems(QMenu* data);
    // Set Up's "Jazyk / Language", an item for each language the program speaks.
    void createLanguageMenu(QMenu* setUp);
    // Every text of the window's own, and of the windows it opened, in the chosen language:
    // the one place that sets them, when the window is made and when the language changes.
    void retranslate();
    void refreshChip();
    void refreshFile();
    void readAndCompare();
    // Mnemonics, shortcuts, Tab order and accessible names (Accessibility.cpp).
    void setUpAccessibility();
    template <typename W>
    W* place(W* widget, Control c, int left, int top, int width, int height);
    QAction* addItem(QMenu* menu, Control c, const QString& caption);
    QMenu* addMenu(QWidget* parent, Control c, const QString& title);
    void run(void (Session::*handler)());
    void runBusy(const std::function<void()>& handler);
    void connectCommands();
    // The File menu's recent files, as the session lists them.
    void updateRecentItems();
    const Slot& slot(Control c) const;

    Dialogs& dialogs_;
    Metrics metrics_;
    GuiThreadView guiView_;
    // A command runs on a worker while this thread serves its event loop.
    class WorkerHost final : public CommandHost {
        void runOnWorker(const std::function<void()>& work) override;
    } host_;
    Session session_;
    TfrmInfo* frmInfo_ = nullptr;
    DataWindow* dataWindow_ = nullptr;
    BoardTestWindow* boardTest_ = nullptr;
    // Reads that reached the data window, so "Načíst čip a porovnat" knows its read ran.
    int chipReads_ = 0;
    // The icon before the status line: a simulated board, or one that cannot be used.
    QLabel* statusMark_ = nullptr;
    // The status line's second part: how the last command ended.
    QLabel* lastCommand_ = nullptr;
    // "Zastavit", beside the gauge while a command runs.
    QPushButton* stop_ = nullptr;
    std::vector<Slot> slots_ = std::vector<Slot>(controlCount());
    std::array<QAction*, Files::kRecentLimit> recentItems_{};
    QAction* recentSeparator_ = nullptr;
    std::vector<QAction*> jobItems_;
    std::vector<std::pair<QAction*, std::string>> languageItems_;
};

}  // namespace trilo::gui

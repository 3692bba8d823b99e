#pragma once

#include <QMetaObject>
#include <QObject>
#include <QThread>
#include <type_traits>

#include "presenter/View.h"

namespace trilo::gui {

// The window as an operation on a worker thread sees it: every call is carried to the thread
// of the window and waits there for its answer, so widgets, message boxes and dialogs are
// only ever touched by their own thread. On that thread itself, calls go straight through.
class GuiThreadView final : public View {
public:
    GuiThreadView(View& window, QObject& context) : window_(window), context_(context) {}

    void setEnabled(Control c, bool on) override {
        onGui([&] { window_.setEnabled(c, on); });
    }
    bool enabled(Control c) const override {
        return onGui([&] { return window_.enabled(c); });
    }
    void setChecked(Control c, bool on) override {
        onGui([&] { window_.setChecked(c, on); });
    }
    bool checked(Control c) const override {
        return onGui([&] { return window_.checked(c); });
    }
    void setCaption(Control c, const std::string& text) override {
        onGui([&] { window_.setCaption(c, text); });
    }
    std::string caption(Control c) const override {
        return onGui([&] { return window_.caption(c); });
    }
    void showPortStatus(const PortStatus& status) override {
        onGui([&] { window_.showPortStatus(status); });
    }
    void showLastCommand(const std::string& text) override {
        onGui([&] { window_.showLastCommand(text); });
    }
    void setValue(Control c, int value) override {
        onGui([&] { window_.setValue(c, value); });
    }
    std::string text(Control c) const override {
        return onGui([&] { return window_.text(c); });
    }
    void showInfo(const std::string& message, const std::string& detail) override {
        onGui([&] { window_.showInfo(message, detail); });
    }
    bool askYesNo(const Question& question) override {
        return onGui([&] { return window_.askYesNo(question); });
    }
    void showError(const std::string& message) override {
        onGui([&] { window_.showError(message); });
    }
    std::optional<std::string> openFileDialog(const std::string& preset) override {
        return onGui([&] { return window_.openFileDialog(preset); });
    }
    std::optional<std::string> saveFileDialog(const std::string& preset) override {
        return onGui([&] { return window_.saveFileDialog(preset); });
    }
    void closeWindow() override {
        onGui([&] { window_.closeWindow(); });
    }
    void showAbout() override {
        onGui([&] { window_.showAbout(); });
    }
    void languageChanged() override {
        onGui([&] { window_.languageChanged(); });
    }
    void showBusy(bool busy) override {
        onGui([&] { window_.showBusy(busy); });
    }
    void dataChanged(DataSide side) override {
        onGui([&] { window_.dataChanged(side); });
    }
    void showDifferences(std::optional<std::size_t> at) override {
        onGui([&] { window_.showDifferences(at); });
    }
    std::optional<std::string> openOtherDialog(OtherFile kind, const std::string& preset) override {
        return onGui([&] { return window_.openOtherDialog(kind, preset); });
    }
    std::optional<std::string> saveOtherDialog(OtherFile kind, const std::string& preset) override {
        return onGui([&] { return window_.saveOtherDialog(kind, preset); });
    }
    void showJobName(const std::string& name) override {
        onGui([&] { window_.showJobName(name); });
    }
    bool nextChip(const ProductionStatus& status) override {
        return onGui([&] { return window_.nextChip(status); });
    }
    bool showProtocol(const std::string& text) override {
        return onGui([&] { return window_.showProtocol(text); });
    }
    void boardTestStep(const BoardCheckResult& step) override {
        onGui([&] { window_.boardTestStep(step); });
    }

private:
    template <typename F>
    auto onGui(F&& call) const -> decltype(call()) {
        using Result = decltype(call());
        if (QThread::currentThread() == context_.thread()) {
            return call();
        }
        if constexpr (std::is_void_v<Result>) {
            QMetaObject::invokeMethod(&context_, call, Qt::BlockingQueuedConnection);
        } else {
            Result result{};
            QMetaObject::invokeMethod(
                &context_, [&] { result = call(); }, Qt::BlockingQueuedConnection);
            return result;
        }
    }

    View& window_;
    QObject& context_;
};

}  // namespace trilo::gui

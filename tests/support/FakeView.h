#pragma once

#include <gtest/gtest.h>

#include <array>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "presenter/DeviceControls.h"
#include "presenter/View.h"

namespace trilo::test {

// The window as plain state, with scripted answers to every question and dialog and a log
// of every message shown. It starts as the window's initial layout does.
class FakeView : public View {
public:
    enum class Kind { Info, Question, Error, OpenDialog, SaveDialog, About, Close };
    struct Message {
        Kind kind;
        std::string text;
        std::string detail = {};
    };

    FakeView() {
        enabled_.assign(controlCount(), true);
        enabled_[index(Control::mnuCPUinf)] = false;
        for (Control c :
             {Control::mnuDM, Control::mnuCP, Control::mnuFL, Control::mnuDL, Control::mnuLPT1}) {
            checked_[index(c)] = true;
        }
        text_[index(Control::spFlash)] = "0";
        text_[index(Control::spEEprom)] = "0";
    }

    void setEnabled(Control c, bool on) override { enabled_[index(c)] = on; }
    bool enabled(Control c) const override { return enabled_[index(c)]; }
    void setChecked(Control c, bool on) override { checked_[index(c)] = on; }
    bool checked(Control c) const override { return checked_[index(c)]; }
    void setCaption(Control c, const std::string& text) override { caption_[index(c)] = text; }
    std::string caption(Control c) const override { return caption_[index(c)]; }
    void showPortStatus(const PortStatus& status) override {
        port = status;
        setCaption(Control::statusLine, status.text);
    }
    void showLastCommand(const std::string& text) override { lastCommand = text; }
    void setValue(Control c, int value) override {
        value_[index(c)] = value;
        text_[index(c)] = std::to_string(value);
        if (c == Control::Gauge1) {
            gauge.push_back(value);
            if (onGauge) {
                onGauge(value);
            }
        }
    }
    std::string text(Control c) const override { return text_[index(c)]; }
    int value(Control c) const { return value_[index(c)]; }
    // What the user types into a spin edit.
    void type(Control c, const std::string& text) { text_[index(c)] = text; }

    void showInfo(const std::string& message, const std::string& detail) override {
        log.push_back({Kind::Info, message, detail});
        if (whileBoxOpen) {
            whileBoxOpen();
        }
    }
    bool askYesNo(const Question& question) override {
        log.push_back({Kind::Question, question.text, question.detail});
        if (whileBoxOpen) {
            whileBoxOpen();
        }
        if (answers.empty()) {
            ADD_FAILURE() << "unexpected question: " << question.text;
            return false;
        }
        const bool yes = answers.front();
        answers.pop_front();
        return yes;
    }
    void showError(const std::string& message) override { log.push_back({Kind::Error, message}); }
    std::optional<std::string> openFileDialog(const std::string& preset) override {
        return dialog(Kind::OpenDialog, preset);
    }
    std::optional<std::string> saveFileDialog(const std::string& preset) override {
        return dialog(Kind::SaveDialog, preset);
    }
    void closeWindow() override { log.push_back({Kind::Close, ""}); }
    void showAbout() override { log.push_back({Kind::About, ""}); }
    void showDifferences(std::optional<std::size_t> at) override { differencesAt = at; }
    std::optional<std::string> openOtherDialog(OtherFile, const std::string& preset) override {
        return dialog(Kind::OpenDialog, preset);
    }
    std::optional<std::string> saveOtherDialog(OtherFile, const std::string& preset) override {
        return dialog(Kind::SaveDialog, preset);
    }
    void showJobName(const std::string& name) override { jobName = name; }
    bool nextChip(const ProductionStatus& status) override {
        betweenChips.push_back(status);
        const bool next = !chipAnswers.empty() && chipAnswers.front();
        if (!chipAnswers.empty()) {
            chipAnswers.pop_front();
        }
        return next;
    }
    bool showProtocol(const std::string& text) override {
        protocolShown = text;
        return saveProtocol;
    }

    // Texts of the messages of one kind, in order.
    std::vector<std::string> messages(Kind kind) const {
        std::vector<std::string> out;
        for (const Message& m : log) {
            if (m.kind == kind) {
                out.push_back(m.text);
            }
        }
        return out;
    }

    std::deque<bool> answers;  // Yes/No questions
    // File dialogs: nullopt cancels, "" confirms the preset.
    std::deque<std::optional<std::string>> dialogAnswers;
    std::vector<Message> log;
    std::vector<int> gauge;              // every value the gauge was set to
    std::function<void(int)> onGauge;    // the user's act while the gauge moves
    std::function<void()> whileBoxOpen;  // the user's time while a box stands open
    PortStatus port;                     // the status line as last shown
    std::string lastCommand;             // its second part

    // Where the data view was last sent.
    std::optional<std::size_t> differencesAt;
    // The job in the title; the dialog between chips as it was shown each time, and the
    // answers to it (none left: the run ends); the protocol as shown, and whether to save it.
    std::string jobName;
    std::vector<ProductionStatus> betweenChips;
    std::deque<bool> chipAnswers;
    std::string protocolShown;
    bool saveProtocol = false;

private:
    static std::size_t index(Control c) { return static_cast<std::size_t>(c); }

    std::optional<std::string> dialog(Kind kind, const std::string& preset) {
        log.push_back({kind, preset});
        if (dialogAnswers.empty()) {
            ADD_FAILURE() << "unexpected file dialog, preset " << preset;
            return std::nullopt;
        }
        auto answer = dialogAnswers.front();
        dialogAnswers.pop_front();
        // An empty name is Enter on the name the dialog came with.
        return answer && answer->empty() ? std::optional(preset) : answer;
    }

    std::vector<bool> enabled_ = std::vector<bool>(controlCount());
    std::vector<bool> checked_ = std::vector<bool>(controlCount());
    std::vector<std::string> caption_ = std::vector<std::string>(controlCount());
    std::vector<std::string> text_ = std::vector<std::string>(controlCount());
    std::vector<int> value_ = std::vector<int>(controlCount());
};

}  // namespace trilo::test

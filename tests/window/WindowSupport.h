#pragma once

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "app/Dialogs.h"
#include "app/Triloprog.h"
#include "app/Unit2.h"
#include "base/Clock.h"
#include "base/Platform.h"
#include "board/PortChoice.h"

namespace trilo::gui::test {

// A private current directory, buffer directory and temporary directory for one test, so
// the program finds nothing of another run and leaves nothing behind.
class TestHome {
public:
    TestHome() : oldCwd_(QDir::currentPath()) {
        for (const char* dir : {"cwd", "runtime", "tmp"}) {
            QDir(root_.path()).mkdir(QString::fromLatin1(dir));
        }
        QFile::setPermissions(path("runtime"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        oldRuntime_ = qgetenv("XDG_RUNTIME_DIR");
        oldTmp_ = qgetenv("TMPDIR");
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(path("runtime")));
        qputenv("TMPDIR", QFile::encodeName(path("tmp")));
        QDir::setCurrent(cwd());
    }
    ~TestHome() {
        QDir::setCurrent(oldCwd_);
        qputenv("XDG_RUNTIME_DIR", oldRuntime_);
        qputenv("TMPDIR", oldTmp_);
    }
    TestHome(const TestHome&) = delete;
    TestHome& operator=(const TestHome&) = delete;

    QString path(const QString& name) const { return root_.path() + QLatin1Char('/') + name; }
    QString cwd() const { return path(QStringLiteral("cwd")); }
    QString settingsPath() const { return cwd() + QStringLiteral("/programmer.ini"); }

    QByteArray readSettings() const {
        QFile file(settingsPath());
        if (!file.open(QIODevice::ReadOnly)) {
            return {};
        }
        return file.readAll();
    }
    void writeSettings(const QByteArray& text) const {
        QFile file(settingsPath());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
    }
    // The value of one key as the file stands, or a null string.
    QString setting(const QString& key) const {
        const QStringList lines = QString::fromUtf8(readSettings()).split(QLatin1Char('\n'));
        for (const QString& line : lines) {
            if (line.startsWith(key + QLatin1Char('='))) {
                return line.mid(key.size() + 1);
            }
        }
        return {};
    }

private:
    QTemporaryDir root_;
    QString oldCwd_;
    QByteArray oldRuntime_;
    QByteArray oldTmp_;
};

// Answers the window's boxes and dialogs from a script and logs every one of them.
class ScriptedDialogs : public Dialogs {
public:
    enum class Kind { Info, Question, Error, Open, Save, Line };
    struct Shown {
        Kind kind;
        QString text;
        QString detail = {};
    };

    void info(QWidget*, const QString& text, const QString& detail) override {
        log.push_back({Kind::Info, text, detail});
    }
    bool yesNo(QWidget*, const Question& question) override {
        const QString text = QString::fromStdString(question.text);
        log.push_back({Kind::Question, text, QString::fromStdString(question.detail)});
        questions.push_back(question);
        if (answers.empty()) {
            unexpected.push_back(text);
            return false;
        }
        const bool yes = answers.front();
        answers.pop_front();
        return yes;
    }
    void error(QWidget*, const QString& text) override { log.push_back({Kind::Error, text}); }
    std::optional<QString> openFile(QWidget*, const QString& preset) override {
        return file(Kind::Open, preset);
    }
    std::optional<QString> saveFile(QWidget*, const QString& preset) override {
        return file(Kind::Save, preset);
    }
    std::optional<QString> line(QWidget*, const QString&, const QString& preset) override {
        return file(Kind::Line, preset);
    }
    std::optional<QString> otherFile(QWidget*, bool save, View::OtherFile,
                                     const QString& preset) override {
        return file(save ? Kind::Save : Kind::Open, preset);
    }
    bool nextChip(QWidget*, const ProductionStatus& status) override {
        log.push_back({Kind::Info, QString::fromStdString(status.counts)});
        const bool next = !chips.empty() && chips.front();
        if (!chips.empty()) {
            chips.pop_front();
        }
        return next;
    }

    QStringList texts(Kind kind) const {
        QStringList out;
        for (const Shown& shown : log) {
            if (shown.kind == kind) {
                out << shown.text;
            }
        }
        return out;
    }

    std::vector<Shown> log;
    // Every question as the core asked it, default and escape included.
    std::vector<Question> questions;
    std::deque<bool> answers;
    // Answers to the file dialogs and the asked lines in turn; a null string cancels.
    std::deque<QString> files;
    // The dialog between the chips of a run: true for the next chip; none left ends it.
    std::deque<bool> chips;
    QStringList unexpected;

private:
    std::optional<QString> file(Kind kind, const QString& preset) {
        log.push_back({kind, preset});
        if (files.empty()) {
            unexpected.push_back(preset);
            return std::nullopt;
        }
        const QString answer = files.front();
        files.pop_front();
        if (answer.isNull()) {
            return std::nullopt;
        }
        return answer;
    }
};

// A port layer that takes real time: a pause of 1 ms after every so many accesses, so that a
// command lasts long enough to watch the window while it runs.
class SlowPort final : public PortLayer {
public:
    SlowPort(std::unique_ptr<PortLayer> inner, int every)
        : inner_(std::move(inner)), every_(every) {}
    void out(std::uint16_t port, std::uint8_t value) override {
        pace();
        inner_->out(port, value);
    }
    std::uint8_t in(std::uint16_t port) override {
        pace();
        return inner_->in(port);
    }
    PortStatus status(std::uint16_t base) const override { return inner_->status(base); }

private:
    void pace() {
        if (++count_ % every_ == 0) {
            QThread::msleep(1);
        }
    }
    std::unique_ptr<PortLayer> inner_;
    int every_;
    long count_ = 0;
};

// The simulated board whatever the settings say, so no window test drives a real port.
class SimulatedPorts : public PortOpener {
public:
    PortSetup openPort(const PortOptions& options, Clock& clock) override {
        PortOptions sim = options;
        sim.board = "sim";
        PortSetup setup = openPortLayer(sim, clock);
        if (slowEvery > 0) {
            setup.layer = std::make_unique<SlowPort>(std::move(setup.layer), slowEvery);
        }
        return setup;
    }
    int slowEvery = 0;
};

class RecordingOpener : public UrlOpener {
public:
    void open(const QUrl& url) override { opened.push_back(url); }
    std::vector<QUrl> opened;
};

// The real machine without its kernel's ports, so the port items read the same on any.
class WindowPlatform : public SystemPlatform {
public:
    std::string kernelRoot() override { return "/nonexistent-kernel"; }
};

// The program as its entry builds it: the main window first (its start-up runs), then the
// hidden About window, over the real machine with scripted dialogs.
struct Program {
    // slowEvery > 0 makes the board take 1 ms every that many port accesses.
    explicit Program(int slowEvery = 0) {
        ports.slowEvery = slowEvery;
        frmTop = std::make_unique<TfrmTop>(dialogs, platform, ports, clock);
        frmInfo = new TfrmInfo(opener, frmTop.get());
        frmTop->setAboutWindow(frmInfo);
    }
    ~Program() {
        // Closing is the user's act; a test that ends simply drops the window.
        frmTop.reset();
    }

    template <typename T = QWidget>
    T* widget(const char* name) const {
        return frmTop->findChild<T*>(QString::fromLatin1(name));
    }
    QAction* action(const char* name) const {
        return frmTop->findChild<QAction*>(QString::fromLatin1(name));
    }
    QString caption(Control c) const { return QString::fromStdString(frmTop->caption(c)); }

    ScriptedDialogs dialogs;
    WindowPlatform platform;
    SimulatedPorts ports;
    RecordingClock clock;
    RecordingOpener opener;
    std::unique_ptr<TfrmTop> frmTop;
    TfrmInfo* frmInfo = nullptr;
};

// Runs check on the active modal widget once it shows, without ever blocking: the check
// must close it. Fails the test if nothing modal showed in time, and then closes whatever
// modal widget is left so the test goes on.
class ModalWatchdog {
public:
    explicit ModalWatchdog(std::function<void(QWidget*)> check, int timeoutMs = 5000)
        : check_(std::move(check)) {
        poll_.setInterval(20);
        QObject::connect(&poll_, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal != nullptr && modal->isVisible() && !seen_) {
                seen_ = true;
                poll_.stop();
                check_(modal);
            }
        });
        giveUp_.setSingleShot(true);
        giveUp_.setInterval(timeoutMs);
        QObject::connect(&giveUp_, &QTimer::timeout, [this] {
            poll_.stop();
            timedOut_ = !seen_;
            for (int tries = 0; tries < 10 && QApplication::activeModalWidget() != nullptr;
                 ++tries) {
                QWidget* modal = QApplication::activeModalWidget();
                if (auto* dialog = qobject_cast<QDialog*>(modal)) {
                    dialog->reject();
                } else {
                    modal->close();
                }
                QApplication::processEvents();
            }
        });
        poll_.start();
        giveUp_.start();
    }

    bool seen() const { return seen_; }
    bool timedOut() const { return timedOut_; }

private:
    std::function<void(QWidget*)> check_;
    QTimer poll_;
    QTimer giveUp_;
    bool seen_ = false;
    bool timedOut_ = false;
};

}  // namespace trilo::gui::test

#include <QAbstractButton>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>

namespace trilo::gui::test {

// A caption as shown: no caption here has a '&' of its own, so each one marks a mnemonic.
inline QString shown(QString caption) {
    return caption.remove(QLatin1Char('&'));
}

// Whether a control's caption shows whole in its place: a clipped caption is as bad as a
// wrong one for the user who reads it.
inline bool captionFits(const QWidget* widget, QString* why = nullptr) {
    const QFontMetrics metrics = widget->fontMetrics();
    int needed = 0;
    if (const auto* button = qobject_cast<const QPushButton*>(widget)) {
        needed = metrics.horizontalAdvance(shown(button->text())) + 6;
    } else if (qobject_cast<const QCheckBox*>(widget) != nullptr ||
               qobject_cast<const QRadioButton*>(widget) != nullptr) {
        needed = widget->sizeHint().width();
    } else if (const auto* label = qobject_cast<const QLabel*>(widget)) {
        int widest = 0;
        const QString text = label->buddy() != nullptr ? shown(label->text()) : label->text();
        for (const QString& line : text.split(QLatin1Char('\n'))) {
            widest = std::max(widest, metrics.horizontalAdvance(line));
        }
        needed = widest + 2 * label->frameWidth();
    } else if (const auto* box = qobject_cast<const QGroupBox*>(widget)) {
        needed = metrics.horizontalAdvance(box->title()) + 8;
    }
    if (needed > widget->width()) {
        if (why != nullptr) {
            *why = QStringLiteral("%1 needs %2 px, has %3")
                       .arg(widget->objectName())
                       .arg(needed)
                       .arg(widget->width());
        }
        return false;
    }
    return true;
}

}  // namespace trilo::gui::test

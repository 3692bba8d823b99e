#pragma once

#include <QString>
#include <QUrl>
#include <memory>
#include <optional>

#include "presenter/View.h"

class QFileDialog;
class QMessageBox;
class QWidget;

namespace trilo::gui {

// Caption of the error box and of the program's own information boxes.
inline const QString kAppTitle = QStringLiteral("Trilo Programmer");

// Qt's own buttons and dialogs (Yes, No, Cancel, the file dialog) in the program's chosen
// language: Qt's translation of it installed, none for English, which is Qt's own.
void useLanguageInQt();

// Every modal box and file dialog the window shows goes through this, so window tests
// can answer them from a script instead of waiting on a real modal dialog.
class Dialogs {
public:
    virtual ~Dialogs() = default;
    // Information box with OK; a detail that is not empty is the box's detail text.
    virtual void info(QWidget* parent, const QString& text, const QString& detail) = 0;
    // Information box with Yes and No, with the question's default and escape; true for Yes.
    virtual bool yesNo(QWidget* parent, const Question& question) = 0;
    // The top-level handler's error box.
    virtual void error(QWidget* parent, const QString& text) = 0;
    // File dialogs preset with a file name; nothing when cancelled.
    virtual std::optional<QString> openFile(QWidget* parent, const QString& preset) = 0;
    virtual std::optional<QString> saveFile(QWidget* parent, const QString& preset) = 0;
    // A line of text asked for under a label, preset; nothing when cancelled.
    virtual std::optional<QString> line(QWidget* parent, const QString& label,
                                        const QString& preset) = 0;
    // A job file or the protocol to open or save, preset; nothing when cancelled.
    virtual std::optional<QString> otherFile(QWidget* parent, bool save, View::OtherFile kind,
                                             const QString& preset) {
        (void)parent, (void)save, (void)kind, (void)preset;
        return std::nullopt;
    }
    // "Sériové programování" between chips: true for the next chip, false ends the run.
    virtual bool nextChip(QWidget* parent, const ProductionStatus& status) {
        (void)parent, (void)status;
        return false;
    }
    // "Protokol", to read and copy: true when the user asks to save it.
    virtual bool protocol(QWidget* parent, const QString& text) {
        (void)parent, (void)text;
        return false;
    }
};

// The real boxes and dialogs.
class QtDialogs : public Dialogs {
public:
    void info(QWidget* parent, const QString& text, const QString& detail) override;
    bool yesNo(QWidget* parent, const Question& question) override;
    void error(QWidget* parent, const QString& text) override;
    std::optional<QString> openFile(QWidget* parent, const QString& preset) override;
    std::optional<QString> saveFile(QWidget* parent, const QString& preset) override;
    std::optional<QString> line(QWidget* parent, const QString& label,
                                const QString& preset) override;
    // JobDialogs.cpp
    std::optional<QString> otherFile(QWidget* parent, bool save, View::OtherFile kind,
                                     const QString& preset) override;
    bool nextChip(QWidget* parent, const ProductionStatus& status) override;
    bool protocol(QWidget* parent, const QString& text) override;
};

// The boxes and dialogs as QtDialogs shows them, built but not shown. A YesNo box of a text
// alone is an operation's question: No is its default and Esc answers it.
enum class BoxKind { Info, YesNo, Error };
std::unique_ptr<QMessageBox> makeMessageBox(QWidget* parent, BoxKind kind, const QString& text);
std::unique_ptr<QMessageBox> makeMessageBox(QWidget* parent, const Question& question);
enum class FileDialogKind { Open, Save };
std::unique_ptr<QFileDialog> makeFileDialog(QWidget* parent, FileDialogKind kind,
                                            const QString& preset);

// Opens a web address in the user's browser; a failure is ignored.
class UrlOpener {
public:
    virtual ~UrlOpener() = default;
    virtual void open(const QUrl& url) = 0;
};

class DesktopUrlOpener : public UrlOpener {
public:
    void open(const QUrl& url) override;
};

}  // namespace trilo::gui

#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace trilo::gui {

// What the window's own command line asks for.
struct CommandLine {
    // Set when the program ends at once (help, version, a wrong argument): its exit status
    // and the text to print, on standard error when it reports a mistake.
    std::optional<int> exitStatus;
    QString output;
    bool toStderr = false;
    // The data file named, absolute against the directory the program was started in, so a
    // running window that receives it reads the same file; empty when none was named.
    QString file;
    // Qt's -platform or -display option was given.
    bool platformNamed = false;
};

// The exit status of a wrong command line, as trilo-cli has it.
inline constexpr int kUsageStatus = 2;

// arguments[0] is the program's name.
CommandLine parseCommandLine(const QStringList& arguments);

// Whether Qt has a display to open: without one it would abort the program.
bool hasGraphicalSession(const CommandLine& line);

// The one line that says so, for standard error.
QString noGraphicalSessionMessage();

}  // namespace trilo::gui

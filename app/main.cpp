// Triloprg: the program entry.
#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <cstdio>

#include "app/Artwork.h"
#include "app/CommandLine.h"
#include "app/Dialogs.h"
#include "app/Metrics.h"
#include "app/SingleWindow.h"
#include "app/Triloprog.h"
#include "app/Unit2.h"
#include "base/Clock.h"
#include "base/Errors.h"
#include "base/Platform.h"
#include "base/Text.h"
#include "board/PortChoice.h"
#include "presenter/Session.h"
#include "settings/Settings.h"

using namespace trilo;
using namespace trilo::gui;

int main(int argc, char** argv) {
    // The language programmer.ini names, before the first word: the command line's too.
    setLanguage(languageSetting(kSettingsFileName));
    // The command line first: help and version need no display, and without one QApplication
    // would abort the program.
    QStringList arguments;
    for (int k = 0; k < argc; ++k) {
        arguments << QFile::decodeName(argv[k]);
    }
    const CommandLine line = parseCommandLine(arguments);
    if (line.exitStatus) {
        std::fputs(line.output.toLocal8Bit().constData(), line.toStderr ? stderr : stdout);
        return *line.exitStatus;
    }
    if (!hasGraphicalSession(line)) {
        std::fputs(noGraphicalSessionMessage().toLocal8Bit().constData(), stderr);
        return 1;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(kAppTitle);
    QApplication::setWindowIcon(programIcon());
    useLanguageInQt();
    // Message boxes and dialogs in the windows' own font, which has the Czech letters.
    QApplication::setFont(Metrics().font(14));

    QtDialogs dialogs;
    SystemPlatform platform;
    SystemPortOpener ports;
    SteadyClock clock;
    DesktopUrlOpener opener;

    // Creating the main window runs the start-up; one that cannot go on ends the program here.
    std::unique_ptr<TfrmTop> frmTop;
    try {
        frmTop = std::make_unique<TfrmTop>(dialogs, platform, ports, clock);
    } catch (const StartupAbort& abort) {
        const bool information = abort.kind() == StartupAbort::Kind::Information;
        // Another window runs: it comes to the front with the file before this one says so.
        if (information) {
            (void)handOver(windowSocketPath(platform), line.file);
        }
        makeMessageBox(nullptr, information ? BoxKind::Info : BoxKind::Error,
                       QString::fromStdString(abort.what()))
            ->exec();
        return information ? 0 : 1;
    }
    // The About window waits hidden until Index > About; the main window owns it.
    frmTop->setAboutWindow(new TfrmInfo(opener, frmTop.get()));

    // Later starts hand their file to this window.
    WindowServer server(*frmTop, windowSocketPath(platform));

    frmTop->showCentred();
    if (!line.file.isEmpty()) {
        frmTop->openDataFile(line.file);
    }
    return QApplication::exec();
}

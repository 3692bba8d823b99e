// Triloprg: the program entry.
#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QTranslator>

#include "app/Artwork.h"
#include "app/Dialogs.h"
#include "app/Metrics.h"
#include "app/Triloprog.h"
#include "app/Unit2.h"
#include "base/Clock.h"
#include "base/Errors.h"
#include "base/Platform.h"
#include "board/PortChoice.h"

using namespace trilo;
using namespace trilo::gui;

int main(int argc, char** argv) {
    // 1, 2. The application and its title.
    QApplication app(argc, argv);
    QApplication::setApplicationName(kAppTitle);
    QApplication::setWindowIcon(programIcon());
    // Qt's own buttons and dialogs (Yes, No, Cancel, the file dialog) in the user's language.
    QTranslator qtTranslator;
    if (qtTranslator.load(QLocale::system(), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QApplication::installTranslator(&qtTranslator);
    }
    // Message boxes and dialogs in the windows' own font, which has the Czech letters.
    QApplication::setFont(Metrics().font(14));

    QtDialogs dialogs;
    SystemPlatform platform;
    SystemPortOpener ports;
    SteadyClock clock;
    DesktopUrlOpener opener;

    // 3. The main window; creating it runs the start-up sequence.
    std::unique_ptr<TfrmTop> frmTop;
    try {
        frmTop = std::make_unique<TfrmTop>(dialogs, platform, ports, clock);
    } catch (const StartupAbort& abort) {
        const bool information = abort.kind() == StartupAbort::Kind::Information;
        makeMessageBox(nullptr, information ? BoxKind::Info : BoxKind::Error,
                       QString::fromStdString(abort.what()))
            ->exec();
        return information ? 0 : 1;
    }
    // 4. The About window, hidden until Index > About; the main window owns it.
    frmTop->setAboutWindow(new TfrmInfo(opener, frmTop.get()));

    // 5. The loop runs until the main window has closed.
    frmTop->showCentred();
    return QApplication::exec();
}

#include "app/CommandLine.h"

#include <QCommandLineParser>
#include <QFileInfo>

#include "base/Text.h"

namespace trilo::gui {

namespace {

// Marked whole, so that a translation keeps its lines together.
constexpr const char* kHelp = N_(R"(Použití: trilo-programmer [volby Qt] [SOUBOR]
         trilo-programmer -h | --help | --version

Okno programátoru čipů AT89 a AVR na desce na paralelním portu. SOUBOR
(binární, Intel HEX, Motorola S-record nebo ELF) se stane datovým souborem,
jako by byl vybrán v File > Open. Běží-li už okno programu, dostane SOUBOR
ono a ukáže se nad ostatními okny.

Z příkazové řádky a bez grafického prostředí programuje čipy trilo-cli.

Volby:
  -h, --help     vypíše tuto nápovědu
      --version  vypíše verzi
Volby Qt (např. -platform JMÉNO, -style JMÉNO) zpracuje Qt.
)");

// Qt's own options, which QApplication takes from the command line itself: they are not
// the program's to refuse, and a platform named there is Qt's to judge, display or none.
struct QtOptions {
    QStringList rest;
    bool platform = false;
};

QtOptions withoutQtOptions(const QStringList& arguments) {
    static const QStringList withValue = {
        "platform", "platformpluginpath", "platformtheme", "plugin",       "qwindowgeometry",
        "geometry", "qwindowicon",        "icon",          "qwindowtitle", "title",
        "session",  "qsession",           "display",       "style",        "stylesheet"};
    static const QStringList flags = {"reverse", "widgetcount", "nograb", "dograb", "sync"};
    QtOptions out;
    for (qsizetype k = 0; k < arguments.size(); ++k) {
        const QString& argument = arguments.at(k);
        if (argument == QLatin1String("--")) {
            out.rest << arguments.mid(k);
            break;
        }
        const QString name = argument.startsWith('-') && k > 0
                                 ? argument.mid(argument.startsWith(QLatin1String("--")) ? 2 : 1)
                                 : QString();
        const QString key = name.section('=', 0, 0);
        if (withValue.contains(key)) {
            out.platform =
                out.platform || key == QLatin1String("platform") || key == QLatin1String("display");
            k += name.contains('=') ? 0 : 1;
        } else if (!flags.contains(key)) {
            out.rest << argument;
        }
    }
    return out;
}

CommandLine mistake(const QString& what) {
    return {kUsageStatus,
            QStringLiteral("trilo-programmer: %1\n%2\n")
                .arg(what, QString::fromUtf8(_("Nápověda: trilo-programmer --help"))),
            true,
            {}};
}

}  // namespace

CommandLine parseCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    // The help is the program's own, in Czech; Qt's would be in English.
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringLiteral("version"));
    parser.addOption(help);
    parser.addOption(version);
    parser.addPositionalArgument(QStringLiteral("SOUBOR"), {});
    const QtOptions own = withoutQtOptions(arguments);
    if (!parser.parse(own.rest)) {
        const QStringList unknown = parser.unknownOptionNames();
        if (unknown.isEmpty()) {
            return mistake(parser.errorText());
        }
        const QString& name = unknown.constFirst();
        const QString dashes = name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--");
        return mistake(
            QString::fromStdString(format(_("neznámá volba „{}“"), (dashes + name).toStdString())));
    }
    if (parser.isSet(help)) {
        return {0, QString::fromUtf8(_(kHelp)), false, {}};
    }
    if (parser.isSet(version)) {
        return {0, QStringLiteral("trilo-programmer " TRILO_VERSION "\n"), false, {}};
    }
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1) {
        return mistake(QString::fromStdString(
            format(_("jen jeden SOUBOR, nečekaný argument „{}“"), files.at(1).toStdString())));
    }
    CommandLine line;
    line.platformNamed = own.platform;
    if (!files.isEmpty() && !files.constFirst().isEmpty()) {
        line.file = QFileInfo(files.constFirst()).absoluteFilePath();
    }
    return line;
}

bool hasGraphicalSession(const CommandLine& line) {
    if (line.platformNamed) {
        return true;
    }
    // A platform named outright is Qt's to judge (offscreen needs no display).
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
        if (!qEnvironmentVariableIsEmpty(name)) {
            return true;
        }
    }
    return false;
}

QString noGraphicalSessionMessage() {
    return QStringLiteral("trilo-programmer: %1\n")
        .arg(QString::fromUtf8(_("okno potřebuje grafické prostředí (X11 nebo Wayland); bez "
                                 "něj programuje čipy trilo-cli")));
}

}  // namespace trilo::gui

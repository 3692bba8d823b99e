// trilo-cli: the programmer's commands from a command line, over the same core as the window.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>

#include "base/Printable.h"
#include "base/SystemReason.h"
#include "base/Text.h"
#include "cli/ConsoleSink.h"
#include "cli/Options.h"
#include "cli/Run.h"
#include "devices/DeviceNames.h"

namespace {

// Output that a closed pipe or a full disk lost is a failure, as other tools count it.
int flushedStdout() {
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        std::fprintf(stderr, "trilo-cli: %s\n",
                     trilo::format(trilo::_("standardní výstup nelze zapsat: {}"),
                                   trilo::systemReason(errno))
                         .c_str());
        return trilo::cli::kFailed;
    }
    return trilo::cli::kOk;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace trilo::cli;
    // A reader that went away is a write error to report, not a death before the release.
    std::signal(SIGPIPE, SIG_IGN);
    catchInterrupts();
    // An unknown --lang is the option's to refuse, in the program's own words.
    trilo::setLanguage(languageAsked(argc, argv));
    try {
        const Options options = parseOptions(argc, argv);
        if (options.help) {
            std::fputs(helpText().c_str(), stdout);
        } else if (options.version) {
            std::puts("trilo-cli " TRILO_VERSION);
        } else if (options.list) {
            std::fputs(trilo::deviceListText().c_str(), stdout);
        } else if (options.ports) {
            const int status = listPorts();
            const int flushed = flushedStdout();
            return flushed != kOk ? flushed : status;
        } else if (options.boardTest) {
            return runBoardTest(options);
        } else {
            return runCommands(options);
        }
        return flushedStdout();
    } catch (const UsageError& e) {
        std::fprintf(stderr, "trilo-cli: %s\n%s\n", trilo::printable(e.what()).c_str(),
                     trilo::_("Nápověda: trilo-cli --help"));
        return kUsage;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "trilo-cli: %s\n", trilo::printable(e.what()).c_str());
        return kFailed;
    }
}

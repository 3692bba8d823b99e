// trilo-cli: the programmer's commands from a command line, over the same core as the window.
#include <csignal>
#include <cstdio>
#include <exception>

#include "cli/ConsoleSink.h"
#include "cli/Job.h"
#include "cli/Options.h"

int main(int argc, char** argv) {
    using namespace trilo::cli;
    // A reader that went away is a write error to report, not a death before the release.
    std::signal(SIGPIPE, SIG_IGN);
    catchInterrupts();
    try {
        const Options options = parseOptions(argc, argv);
        if (options.help) {
            std::fputs(helpText().c_str(), stdout);
        } else if (options.version) {
            std::puts("trilo-cli " TRILO_VERSION);
        } else if (options.list) {
            std::fputs(deviceList().c_str(), stdout);
        } else {
            return runJob(options);
        }
        return kOk;
    } catch (const UsageError& e) {
        std::fprintf(stderr, "trilo-cli: %s\nNápověda: trilo-cli --help\n", e.what());
        return kUsage;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "trilo-cli: %s\n", e.what());
        return kFailed;
    }
}

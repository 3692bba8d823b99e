#include "cli/Board.h"

#include <cerrno>
#include <cstdlib>

#include "base/Text.h"
#include "files/IoErrors.h"

namespace trilo::cli {

namespace {

int interrupted(ConsoleSink& sink) {
    sink.end(false);
    sink.error(_("přerušeno; deska je v klidu"));
    return 128 + interruptSignal();
}

}  // namespace

bool noWaitRequested() {
    const char* value = std::getenv("TRILO_NO_WAIT");
    return value != nullptr && *value != '\0' && std::string(value) != "0";
}

CliBoard::CliBoard(const Options& o, ConsoleSink& sink, bool noWait)
    : o_(o),
      sink_(sink),
      noWait_(noWait),
      ports_(nodes_),
      engine_(noWait ? static_cast<Clock&>(instant_) : steady_, platform_, ports_, sink, *this) {
    engine_.setTimingClock(steady_);
    settings_ = commandLineBoard(o, engine_.readBoardSettings());
}

CliBoard::~CliBoard() {
    reportTrace();
}

int CliBoard::open() {
    engine_.bringUp(settings_, &nodes_);
    trace_ = engine_.board().trace();
    reportTrace();
    // The chip first: the simulated board's words name the chip in its socket.
    if (o_.device != nullptr) {
        engine_.selectDevice(o_.device->id);
    }
    return announceBoard(o_, engine_.board(), noWait_, sink_);
}

void CliBoard::reportTrace() {
    if (trace_ == nullptr) {
        return;
    }
    trace_->flush();
    if (trace_->problem() != traceReported_) {
        traceReported_ = trace_->problem();
        sink_.error(traceReported_);
    }
}

int announceBoard(const Options& options, const Board& board, bool noWait, ConsoleSink& sink) {
    const PortStatus status = board.status();
    // A real chip needs the real waits. A port that cannot be used says why first.
    if (!board.simulated() && status.usable) {
        for (const auto& [given, what] : {std::pair{noWait, "TRILO_NO_WAIT"},
                                          std::pair{options.simFault.has_value(), "--sim-fault"},
                                          std::pair{options.simChip.has_value(), "--sim-chip"}}) {
            if (given) {
                sink.error(format(_("{} platí jen pro simulovanou desku (-c sim)"), what));
                return kUsage;
            }
        }
    }
    if (board.simulated()) {
        // Said even under -q: nothing of this run reaches a chip.
        sink.error(_("simulovaná deska: žádný skutečný čip"));
    }
    if (options.verbose > 0) {
        sink.verbose(format(_("deska: {}"), status.text));
        if (!status.sharedWith.empty()) {
            std::string drivers;
            for (const std::string& driver : status.sharedWith) {
                drivers += drivers.empty() ? "" : ", ";
                drivers += driver;
            }
            sink.verbose(format(_("deska: port je zabrán bez výhradního přístupu, protože je na "
                                  "něm registrován ovladač {}; program ho drží do konce běhu, "
                                  "ovladač do té doby čeká"),
                                drivers));
        }
    }
    return kOk;
}

int guarded(ConsoleSink& sink, const std::function<int()>& body,
            const std::function<std::string()>& where) {
    try {
        return body();
    } catch (const commands::PortUnusable& e) {
        sink.end(false);
        sink.error(e.what());
        return kPortError;
    } catch (const Interrupted&) {
        return interrupted(sink);
    } catch (const Stopped&) {
        return interrupted(sink);
    } catch (const ReportLost& e) {
        // A closed terminal loses the report too; the signal is what ended the run.
        if (interruptSignal() != 0) {
            return interrupted(sink);
        }
        sink.end(false);
        sink.error(e.what());
        return kFailed;
    } catch (const StartupAbort& e) {
        // The run's scratch directory refused: a file error as any other.
        sink.end(false);
        sink.error(e.what());
        return kFileError;
    } catch (const TriloError& e) {
        // A read or open that a signal broke fails; the signal is what ended it.
        if (interruptSignal() != 0) {
            return interrupted(sink);
        }
        sink.end(false);
        const std::string at = where ? where() : std::string();
        sink.error((at.empty() ? "" : at + ": ") + czechErrorText(e));
        return kFileError;
    }
}

}  // namespace trilo::cli

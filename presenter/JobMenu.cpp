// The window's jobs: a job file opened into the window and saved from it, the window's job
// chip after chip, and the protocol of the run.
#include "base/Errors.h"
#include "base/Text.h"
#include "files/FileMove.h"
#include "presenter/DeviceControls.h"
#include "presenter/Session.h"
#include "production/ChipLog.h"
#include "production/Production.h"

namespace trilo {

namespace {

using C = Control;

constexpr std::array<C, 3> kLockBoxes{C::chLB1, C::chLB2, C::chLB3};
constexpr const char* kOverwrite = N_("Přepsat soubor ?");

std::string baseName(const std::string& path) {
    return path.substr(path.rfind('/') + 1);
}

// A name without an extension gets the kind's.
std::string withExtension(std::string path, const char* extension) {
    const std::string name = baseName(path);
    if (name.find('.') == std::string::npos) {
        path += extension;
    }
    return path;
}

}  // namespace

std::string Session::jobName() const {
    return baseName(jobPath_);
}

void Session::addToProtocol(std::string row) {
    const std::lock_guard lock(protocolLock_);
    protocol_.push_back(std::move(row));
    if (protocol_.size() > kProtocolKept) {
        protocol_.pop_front();
    }
}

std::deque<std::string> Session::protocol() const {
    const std::lock_guard lock(protocolLock_);
    return protocol_;
}

JobSpec Session::jobFromWindow() const {
    JobSpec job = job_.value_or(JobSpec{});
    const DeviceInfo* device = engine_.device();
    job.device = device;
    job.flashFile = engine_.files().CurrentFile;
    job.erase = engine_.options().AutoErase;
    job.verify = engine_.options().AutoVerify;
    job.lockLevel = 0;
    for (std::size_t k = 0; k < kLockBoxes.size(); ++k) {
        if (view_.checked(kLockBoxes[k])) {
            job.lockLevel = static_cast<int>(k) + 1;
        }
    }
    if (device == nullptr) {
        return job;
    }
    // What another device than the job's cannot take goes with the change of device.
    const Offers offered = offers(*device);
    if (!offered.eeprom) {
        job.eepromFile.clear();
    }
    if (job.fuses && offered.fuses) {
        std::array<bool, 6> checked{};
        for (std::size_t k = 0; k < fuseBoxes().size(); ++k) {
            checked[k] = view_.checked(fuseBoxes()[k]);
        }
        const std::string names = programmedFuseNames(*device, fuseByteFrom(checked));
        job.fuses = names.empty() ? "-" : names;
    } else {
        job.fuses.reset();
    }
    if (job.serialFuseOn && offered.serialFuse) {
        job.serialFuseOn = view_.checked(C::rdSON);
    } else {
        job.serialFuseOn.reset();
    }
    if (job.serial && job.serial->memory == SerialMemory::Eeprom && !offered.eeprom) {
        job.serial.reset();
    }
    return job;
}

void Session::applyJob(const JobSpec& job) {
    selectDevice(job.device->id);
    engine_.set(Setting::AutoErase, job.erase);
    engine_.set(Setting::Checking, job.verify);
    view_.setChecked(C::mnuDM, job.erase);
    view_.setChecked(C::mnuDL, job.verify);
    for (std::size_t k = 0; k < kLockBoxes.size(); ++k) {
        view_.setChecked(kLockBoxes[k], job.lockLevel == static_cast<int>(k) + 1);
    }
    if (job.fuses) {
        const std::array<bool, 6> programmed = programmedFuses(jobFuseByte(job));
        for (std::size_t k = 0; k < fuseBoxes().size(); ++k) {
            view_.setChecked(fuseBoxes()[k], programmed[k]);
        }
    }
    if (job.serialFuseOn) {
        view_.setChecked(C::rdSON, *job.serialFuseOn);
        view_.setChecked(C::rdSOFF, !*job.serialFuseOn);
    }
    if (!job.flashFile.empty()) {
        engine_.useDataFile(job.flashFile);
    } else {
        SaveSettings();
    }
}

void Session::mnuOpenJobClick() {
    const auto path = view_.openOtherDialog(View::OtherFile::Job, jobPath_);
    if (!path) {
        return;
    }
    // A job that cannot run is refused whole, with its line; the window stays as it was.
    const JobSpec job = readJobFile(*path);
    job_ = job;
    jobPath_ = *path;
    applyJob(job);
    view_.showJobName(jobName());
}

void Session::mnuSaveJobClick() {
    const JobSpec job = jobFromWindow();
    if (job.device == nullptr) {
        view_.showInfo(_("Úlohu nelze uložit: není zvolen čip."));
        return;
    }
    if (const auto refusal = jobRefusal(job)) {
        view_.showInfo(format(_("Úlohu nelze uložit: {}."), refusal->reason));
        return;
    }
    const std::string& data = engine_.files().CurrentFile;
    std::string preset = !jobPath_.empty() ? jobPath_
                         : data.empty()    ? std::string(job.device->name) + kJobExtension
                                           : data.substr(0, data.rfind('.')) + kJobExtension;
    std::string path;
    for (;;) {
        const auto answer = view_.saveOtherDialog(View::OtherFile::Job, preset);
        if (!answer) {
            return;
        }
        path = withExtension(*answer, kJobExtension);
        preset = path;
        if (path == jobPath_ || !fileExists(path) ||
            view_.askYesNo({_(kOverwrite), path, false, true})) {
            break;
        }
    }
    writeJobFile(path, job);
    job_ = job;
    jobPath_ = path;
    view_.showJobName(jobName());
}

void Session::mnuProductionClick() {
    const JobSpec job = jobFromWindow();
    if (job.device == nullptr) {
        return;
    }
    const std::string name = jobName();
    ProductionRun run(engine_, job, name, serialStatePath("", jobPath_, job.logFile), jobPath_);
    struct Feeder final : ChipFeeder {
        Session& session;
        const std::string& name;
        Feeder(Session& s, const std::string& n) : session(s), name(n) {}
        bool nextChip(const ProductionRun& r) override {
            ProductionStatus status{name,
                                    session.engine_.board().status().text,
                                    r.planLines(),
                                    countsLine(r.chips(), r.good(), r.bad()),
                                    {},
                                    {}};
            for (const ChipResult& chip : r.recent()) {
                status.lastChips.push_back(chipLine(chip));
            }
            status.nextSerial = r.nextSerial();
            return session.view_.nextChip(status);
        }
        void chipDone(const ChipResult& chip) override {
            session.addToProtocol(csvRow(chip, name));
        }
    } feeder(*this, name);
    const auto counts = [&] {
        if (run.chips() > 0) {
            view_.showInfo(countsLine(run.chips(), run.good(), run.bad()));
        }
    };
    try {
        run.run(feeder);
    } catch (...) {
        counts();
        throw;
    }
    counts();
}

void Session::mnuProtocolClick() {
    std::string text = csvHeader();
    for (const std::string& row : protocol()) {
        text += row;
    }
    if (!view_.showProtocol(text)) {
        return;
    }
    std::string preset = _("protokol.csv");
    for (;;) {
        const auto answer = view_.saveOtherDialog(View::OtherFile::Protocol, preset);
        if (!answer) {
            return;
        }
        preset = withExtension(*answer, ".csv");
        if (!fileExists(preset) || view_.askYesNo({_(kOverwrite), preset, false, true})) {
            break;
        }
    }
    writeWholeFile(preset, text);
}

}  // namespace trilo

#include "link/PpdevPort.h"

#include <fcntl.h>
#include <linux/parport.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "base/Text.h"
#include "link/Parports.h"

// glibc names the thread of a SIGEV_THREAD_ID timer only in later versions.
#ifndef sigev_notify_thread_id
#define sigev_notify_thread_id _sigev_un._tid
#endif

namespace trilo {

static_assert(PortMode::PcSpp == PARPORT_MODE_PCSPP &&
              PortMode::Tristate == PARPORT_MODE_TRISTATE && PortMode::Epp == PARPORT_MODE_EPP &&
              PortMode::Ecp == PARPORT_MODE_ECP);

ControlPlan planControlWrite(std::optional<std::uint8_t> previous, std::uint8_t next) {
    const ControlStep lines{ControlStep::Kind::Lines, next & 0x0F};
    const bool reading = (next & 0x20) != 0;
    const ControlStep direction{ControlStep::Kind::Direction, reading ? 1 : 0};
    ControlPlan plan;
    if (previous && ((*previous & 0x20) != 0) == reading) {
        plan.steps[0] = lines;
        plan.count = 1;
    } else if (reading) {
        // Let go of the data lines before the board may start driving them.
        plan.steps = {direction, lines};
        plan.count = 2;
    } else {
        // The board lets go of the data lines on the control change; only then drive them.
        plan.steps = {lines, direction};
        plan.count = 2;
    }
    return plan;
}

std::string ppdevProblem(PpdevStep step, int error, const std::string& portName,
                         const std::string& node) {
    const std::string prefix = portName + ": ";
    const std::string noHardware =
        prefix + format(_("za {} není žádný paralelní port; v BIOSu ověřte, že je port zapnutý, "
                          "nebo zkontrolujte, že karta dobře sedí ve slotu"),
                        node);
    const std::string notParport =
        prefix + format(_("{} není paralelní port; zkontrolujte soubor zařízení"), node);
    if (error == EACCES || error == EPERM) {
        return prefix + format(_("nemáte oprávnění používat {}; přidejte svého uživatele do "
                                 "skupiny lp (sudo usermod -aG lp $USER), pak se odhlaste a "
                                 "znovu přihlaste"),
                               node);
    }
    switch (step) {
        case PpdevStep::Open:
            if (error == ENOENT) {
                return prefix + format(_("{} neexistuje; zaveďte ovladač paralelního portu (sudo "
                                         "modprobe ppdev) a v BIOSu ověřte, že je port zapnutý"),
                                       node);
            }
            if (error == ENODEV || error == ENXIO) {
                return noHardware;
            }
            if (error == EBUSY) {
                break;
            }
            if (error == EISDIR || error == ENOTDIR || error == ENOTTY) {
                return notParport;
            }
            return prefix + format(_("{0} nelze otevřít: {1}"), node, std::strerror(error));
        case PpdevStep::Modes:
            if (error == ENODEV || error == ENXIO) {
                return noHardware;
            }
            if (error == ENOTTY || error == EINVAL) {
                return notParport;
            }
            return prefix + format(_("nelze zjistit, co umí {0}: {1}"), node, std::strerror(error));
        case PpdevStep::Exclusive:
        case PpdevStep::Claim:
            if (error == EBUSY || error == ENXIO || error == EAGAIN) {
                break;
            }
            return prefix + format(_("{0} nelze zabrat: {1}"), node, std::strerror(error));
        case PpdevStep::Access:
            return prefix + format(_("přístup k {0} selhal: {1}; zkontrolujte port a spusťte "
                                     "program znovu"),
                                   node, std::strerror(error));
    }
    return prefix + format(_("{} používá jiný program nebo tiskový ovladač lp; ukončete ten "
                             "program nebo ovladač odstraňte (sudo modprobe -r lp), pak spusťte "
                             "program znovu"),
                           node);
}

std::optional<std::string> ppdevModesProblem(unsigned modes, const std::string& portName,
                                             const std::string& node) {
    if ((modes & PARPORT_MODE_PCSPP) == 0) {
        return portName + ": " +
               format(_("{} nemá registry paralelního portu PC; programátor potřebuje "
                        "standardní paralelní port"),
                      node);
    }
    // Without tristate the port reads back its own 0xFF: every chip would read blank.
    if ((modes & PARPORT_MODE_TRISTATE) == 0) {
        return portName + ": " +
               format(_("{} neumí číst datové vodiče (port není obousměrný); v BIOSu nastavte "
                        "port do režimu PS/2, obousměrného, EPP nebo ECP"),
                      node);
    }
    return std::nullopt;
}

namespace {

// How long a claim beside another driver may wait for it to let go of the port: lp holds
// it only while it prints a block, so a longer wait means the port is taken.
constexpr int kSharedClaimWaitMs = 3000;

// "lp", "lp a plip", "lp, plip a ppa".
std::string listed(const std::vector<std::string>& names) {
    if (names.empty()) {
        return {};
    }
    std::string text = names.front();
    for (std::size_t k = 1; k + 1 < names.size(); ++k) {
        text += ", " + names[k];
    }
    return names.size() == 1 ? text : format(_("{0} a {1}"), text, names.back());
}

// A driver holds the port right now (lp printing): claiming it would wait for the driver.
std::string heldByDriver(const std::string& holder, const std::string& portName,
                         const std::string& node) {
    // lp holds the port only while it prints, which tells the user what to wait for.
    return portName + ": " +
           format(holder == "lp"
                      ? _("{0} právě používá ovladač {1} (tiskne); počkejte, až skončí, nebo "
                          "ovladač odstraňte (sudo modprobe -r {1}), pak spusťte program znovu")
                      : _("{0} právě používá ovladač {1}; počkejte, až skončí, nebo ovladač "
                          "odstraňte (sudo modprobe -r {1}), pak spusťte program znovu"),
                  node, holder);
}

void wake(int) {}

// The signal that ends a claim's wait, installed once; 0 when something else uses it.
int wakeSignal() {
    static const int signal = [] {
        const int number = SIGRTMIN + 4;
        struct sigaction old {};
        if (::sigaction(number, nullptr, &old) != 0 || old.sa_handler != SIG_DFL) {
            return 0;
        }
        struct sigaction action {};
        action.sa_handler = wake;
        sigemptyset(&action.sa_mask);
        // No SA_RESTART: the claim's ioctl must return.
        action.sa_flags = 0;
        return ::sigaction(number, &action, nullptr) == 0 ? number : 0;
    }();
    return signal;
}

class SystemPpdev final : public PpdevSystem {
public:
    int open(const std::string& path, int flags, int& fd) override {
        do {
            fd = ::open(path.c_str(), flags);
        } while (fd < 0 && errno == EINTR);
        return fd < 0 ? errno : 0;
    }
    int ioctl(int fd, unsigned long request, void* arg) override {
        int result;
        do {
            result = ::ioctl(fd, request, arg);
        } while (result < 0 && errno == EINTR);
        return result < 0 ? errno : 0;
    }
    void close(int fd) override { ::close(fd); }
    // The kernel's claim sleeps until the holder lets go, and only a signal wakes it: a
    // timer sends one to this thread.
    int claimWithin(int fd, int timeoutMs) override {
        sigevent event{};
        event.sigev_notify = SIGEV_THREAD_ID;
        event.sigev_signo = wakeSignal();
        event.sigev_notify_thread_id = ::gettid();
        timer_t timer{};
        // Without the timer the claim is unbounded; the holder was checked just before.
        if (event.sigev_signo == 0 || ::timer_create(CLOCK_MONOTONIC, &event, &timer) != 0) {
            return ::ioctl(fd, PPCLAIM) < 0 ? errno : 0;
        }
        itimerspec due{};
        due.it_value.tv_sec = timeoutMs / 1000;
        due.it_value.tv_nsec = (timeoutMs % 1000) * 1000000L;
        ::timer_settime(timer, 0, &due, nullptr);
        const int error = ::ioctl(fd, PPCLAIM) < 0 ? errno : 0;
        itimerspec left{};
        ::timer_gettime(timer, &left);
        ::timer_delete(timer);
        const bool expired = left.it_value.tv_sec == 0 && left.it_value.tv_nsec == 0;
        return error == EINTR && expired ? ETIMEDOUT : error;
    }
};

}  // namespace

int PpdevSystem::claimWithin(int fd, int) {
    return ioctl(fd, PPCLAIM, nullptr);
}

std::unique_ptr<PpdevSystem> makeSystemPpdev() {
    return std::make_unique<SystemPpdev>();
}

PpdevPort::PpdevPort(PpdevNodes nodes, std::unique_ptr<PpdevSystem> system, std::string root)
    : system_(std::move(system)), root_(std::move(root)) {
    ports_[0].name = "LPT1";
    ports_[0].node = std::move(nodes.lpt1);
    ports_[0].base = kLpt1Base;
    ports_[1].name = "LPT2";
    ports_[1].node = std::move(nodes.lpt2);
    ports_[1].base = kLpt2Base;
}

PpdevPort::~PpdevPort() {
    for (Port& port : ports_) {
        if (port.state == Port::State::Claimed) {
            // Leave the board at rest: no pulse, the port driving the data lines at 0.
            writeControl(port, 0x0A);
            unsigned char zero = 0;
            system_->ioctl(port.fd, PPWDATA, &zero);
            system_->ioctl(port.fd, PPRELEASE, nullptr);
        }
        if (port.fd >= 0) {
            system_->close(port.fd);
        }
    }
}

PpdevPort::Port* PpdevPort::portAt(std::uint16_t address) const {
    for (Port& port : ports_) {
        if (address >= port.base && address <= port.base + 2) {
            return &port;
        }
    }
    return nullptr;
}

void PpdevPort::fail(Port& port, const std::string& problem) const {
    if (port.fd >= 0) {
        system_->close(port.fd);
        port.fd = -1;
    }
    port.state = Port::State::Failed;
    port.problem = problem;
}

bool PpdevPort::claim(Port& port) const {
    if (port.state != Port::State::Closed) {
        return port.state == Port::State::Claimed;
    }
    int fd = -1;
    if (int error = system_->open(port.node, O_RDWR | O_CLOEXEC, fd); error != 0) {
        fail(port, ppdevProblem(PpdevStep::Open, error, port.name, port.node));
        return false;
    }
    port.fd = fd;
    unsigned int modes = 0;
    if (int error = system_->ioctl(fd, PPGETMODES, &modes); error != 0) {
        fail(port, ppdevProblem(PpdevStep::Modes, error, port.name, port.node));
        return false;
    }
    port.modes = modes;
    if (auto problem = ppdevModesProblem(modes, port.name, port.node)) {
        fail(port, *problem);
        return false;
    }
    // Exclusive, so that neither lp nor another program can toggle lines under an operation.
    if (int error = system_->ioctl(fd, PPEXCL, nullptr); error != 0) {
        fail(port, ppdevProblem(PpdevStep::Exclusive, error, port.name, port.node));
        return false;
    }
    if (int error = system_->ioctl(fd, PPCLAIM, nullptr); error != 0) {
        // The kernel refuses an exclusive registration with ENXIO while any other device
        // is registered on the port, such as the lp that a desktop with CUPS loads.
        if (error == ENXIO && claimShared(port)) {
            return true;
        }
        if (port.state != Port::State::Failed) {
            fail(port, ppdevProblem(PpdevStep::Claim, error, port.name, port.node));
        }
        return false;
    }
    port.state = Port::State::Claimed;
    port.control.reset();
    return true;
}

// Claims the port beside the kernel drivers registered on it, when nothing but those
// drivers is registered and none of them holds it now; false, with the port still to fail,
// when another program's ppdev is registered or the kernel does not say who is.
bool PpdevPort::claimShared(Port& port) const {
    const auto number = parportNumber(port.node, root_);
    const auto kernel = number ? readParport(*number, root_) : std::nullopt;
    if (!kernel || !kernel->usersKnown) {
        return false;
    }
    std::vector<std::string> drivers;
    for (const std::string& device : kernel->devices) {
        if (isProgram(device)) {
            return false;
        }
        drivers.push_back(device);
    }
    if (drivers.empty()) {
        return false;
    }
    // A claim while the driver holds the port would sleep until it lets go.
    if (!kernel->active.empty()) {
        fail(port, heldByDriver(kernel->active, port.name, port.node));
        return false;
    }
    // PPEXCL stays with the descriptor whose registration failed; a new one registers
    // without it.
    system_->close(port.fd);
    port.fd = -1;
    int fd = -1;
    if (int error = system_->open(port.node, O_RDWR | O_CLOEXEC, fd); error != 0) {
        fail(port, ppdevProblem(PpdevStep::Open, error, port.name, port.node));
        return false;
    }
    port.fd = fd;
    if (int error = system_->claimWithin(fd, kSharedClaimWaitMs); error != 0) {
        if (error == ETIMEDOUT || error == EINTR) {
            const auto now = readParport(*number, root_);
            const std::string holder = now && !now->active.empty() ? now->active : drivers.front();
            fail(port, heldByDriver(holder, port.name, port.node));
        } else {
            fail(port, ppdevProblem(PpdevStep::Claim, error, port.name, port.node));
        }
        return false;
    }
    port.state = Port::State::Claimed;
    port.control.reset();
    port.sharedWith = std::move(drivers);
    return true;
}

bool PpdevPort::writeControl(Port& port, std::uint8_t value) const {
    for (const ControlStep& step : planControlWrite(port.control, value)) {
        int error;
        if (step.kind == ControlStep::Kind::Lines) {
            unsigned char lines = static_cast<unsigned char>(step.value);
            error = system_->ioctl(port.fd, PPWCONTROL, &lines);
        } else {
            int reverse = step.value;
            error = system_->ioctl(port.fd, PPDATADIR, &reverse);
        }
        if (error != 0) {
            fail(port, ppdevProblem(PpdevStep::Access, error, port.name, port.node));
            return false;
        }
    }
    port.control = value;
    return true;
}

void PpdevPort::out(std::uint16_t address, std::uint8_t value) {
    Port* port = portAt(address);
    if (port == nullptr || !claim(*port)) {
        return;
    }
    switch (address - port->base) {
        case 0: {
            unsigned char data = value;
            if (int error = system_->ioctl(port->fd, PPWDATA, &data); error != 0) {
                fail(*port, ppdevProblem(PpdevStep::Access, error, port->name, port->node));
            }
            break;
        }
        case 2:
            writeControl(*port, value);
            break;
        default:
            // The status register is read only.
            break;
    }
}

std::uint8_t PpdevPort::in(std::uint16_t address) {
    Port* port = portAt(address);
    if (port == nullptr || !claim(*port)) {
        return 0xFF;
    }
    const std::uint16_t offset = address - port->base;
    if (offset == 2) {
        return port->control.value_or(0);
    }
    unsigned char value = 0xFF;
    const unsigned long request = offset == 0 ? PPRDATA : PPRSTATUS;
    if (int error = system_->ioctl(port->fd, request, &value); error != 0) {
        fail(*port, ppdevProblem(PpdevStep::Access, error, port->name, port->node));
        return 0xFF;
    }
    return value;
}

PortStatus PpdevPort::status(std::uint16_t base) const {
    Port* port = portAt(base);
    if (port == nullptr || port->base != base) {
        char address[8];
        std::snprintf(address, sizeof address, "%04X", base);
        return {false, format(_("Na adrese {} není paralelní port"), address)};
    }
    if (!claim(*port)) {
        return {false, port->problem};
    }
    if (port->sharedWith.empty()) {
        return {true, port->name + ": " + port->node};
    }
    PortStatus status{true, port->name + ": " +
                                format(P_("{0} sdílený s ovladačem {1}",
                                          "{0} sdílený s ovladači {1}", port->sharedWith.size()),
                                       port->node, listed(port->sharedWith))};
    status.sharedWith = port->sharedWith;
    return status;
}

std::optional<unsigned> PpdevPort::modes(std::uint16_t base) const {
    Port* port = portAt(base);
    if (port == nullptr || port->base != base) {
        return std::nullopt;
    }
    claim(*port);
    return port->modes;
}

}  // namespace trilo

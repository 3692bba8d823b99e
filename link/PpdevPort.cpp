#include "link/PpdevPort.h"

#include <fcntl.h>
#include <linux/parport.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

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
    const std::string noHardware = prefix + "za " + node +
                                   " není žádný paralelní port; v BIOSu ověřte, že je port "
                                   "zapnutý, nebo zkontrolujte, že karta dobře sedí ve slotu";
    const std::string notParport =
        prefix + node + " není paralelní port; zkontrolujte soubor zařízení";
    if (error == EACCES || error == EPERM) {
        return prefix + "nemáte oprávnění používat " + node +
               "; přidejte svého uživatele do skupiny lp (sudo usermod -aG lp $USER), pak se "
               "odhlaste a znovu přihlaste";
    }
    switch (step) {
        case PpdevStep::Open:
            if (error == ENOENT) {
                return prefix + node +
                       " neexistuje; zaveďte ovladač paralelního portu (sudo modprobe ppdev) "
                       "a v BIOSu ověřte, že je port zapnutý";
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
            return prefix + node + " nelze otevřít: " + std::strerror(error);
        case PpdevStep::Modes:
            if (error == ENODEV || error == ENXIO) {
                return noHardware;
            }
            if (error == ENOTTY || error == EINVAL) {
                return notParport;
            }
            return prefix + "nelze zjistit, co umí " + node + ": " + std::strerror(error);
        case PpdevStep::Exclusive:
        case PpdevStep::Claim:
            if (error == EBUSY || error == ENXIO || error == EAGAIN) {
                break;
            }
            return prefix + node + " nelze zabrat: " + std::strerror(error);
        case PpdevStep::Access:
            return prefix + "přístup k " + node + " selhal: " + std::strerror(error) +
                   "; zkontrolujte port a spusťte program znovu";
    }
    return prefix + node +
           " používá jiný program nebo tiskový ovladač lp; ukončete ten program nebo ovladač "
           "odstraňte (sudo modprobe -r lp), pak spusťte program znovu";
}

std::optional<std::string> ppdevModesProblem(unsigned modes, const std::string& portName,
                                             const std::string& node) {
    if ((modes & PARPORT_MODE_PCSPP) == 0) {
        return portName + ": " + node +
               " nemá registry paralelního portu PC; programátor potřebuje standardní "
               "paralelní port";
    }
    // Without tristate the port reads back its own 0xFF: every chip would read blank.
    if ((modes & PARPORT_MODE_TRISTATE) == 0) {
        return portName + ": " + node +
               " neumí číst datové vodiče (port není obousměrný); v BIOSu nastavte port do "
               "režimu PS/2, obousměrného, EPP nebo ECP";
    }
    return std::nullopt;
}

namespace {

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
};

}  // namespace

std::unique_ptr<PpdevSystem> makeSystemPpdev() {
    return std::make_unique<SystemPpdev>();
}

PpdevPort::PpdevPort(PpdevNodes nodes, std::unique_ptr<PpdevSystem> system)
    : system_(std::move(system)) {
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
        fail(port, ppdevProblem(PpdevStep::Claim, error, port.name, port.node));
        return false;
    }
    port.state = Port::State::Claimed;
    port.control.reset();
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
        return {false, std::string("Na adrese ") + address + " není paralelní port"};
    }
    if (!claim(*port)) {
        return {false, port->problem};
    }
    return {true, port->name + ": " + port->node};
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

#include "board/PortList.h"

#include <gtest/gtest.h>

#include "support/KernelTree.h"
#include "support/TestDir.h"

namespace trilo::test {
namespace {

// The machine's own port, found through PnP, with lp loaded by CUPS and idle.
const FakeParport kOnboard{.number = 0,
                           .devices = {"lp"},
                           .bus = "pnp",
                           .address = "00:05",
                           .driver = "parport_pc",
                           .files = {{"id", "PNP0401"}}};

// A PCIe card with serial ports as well, through parport_serial, beyond parport1; SPP only,
// another program's ppdev holding it, and no ppdev node.
const FakeParport kCard{.number = 2,
                        .baseAddr = "57344\t57360",
                        .irq = "-1",
                        .dma = "-1",
                        .modes = "PCSPP",
                        .devices = {"ppdev2"},
                        .active = "ppdev2",
                        .bus = "pci",
                        .address = "0000:03:00.0",
                        .driver = "parport_serial",
                        .files = {{"vendor", "0x1c00"}, {"device", "0x3050"}},
                        .node = false};

TEST(PortList, SaysWhatTheKernelKnowsOfEachPort) {
    struct Case {
        std::string name;
        std::vector<FakeParport> ports;
        bool ppdev;
        std::string text;
    };
    const Case cases[] = {
        {"onboard port",
         {kOnboard},
         true,
         "parport0: /dev/parport0\n"
         "  adresa:      0x378, ECP 0x778\n"
         "  režimy:      PCSPP,TRISTATE,EPP (obousměrný)\n"
         "  IRQ:         7\n"
         "  DMA:         žádné\n"
         "  hardware:    port na základní desce (PnP 00:05, PNP0401), ovladač parport_pc\n"
         "  ovladače:    lp (nečinný)\n"
         "  v programu:  LPT1\n"
         "ppdev: zaveden\n"},
        {"PCIe card",
         {kCard},
         false,
         "parport2: /dev/parport2 chybí\n"
         "  adresa:      0xe000, ECP 0xe010\n"
         "  režimy:      PCSPP (není obousměrný: čip nepřečte; v BIOSu nastavte PS/2, EPP "
         "nebo ECP)\n"
         "  IRQ:         žádné\n"
         "  DMA:         žádné\n"
         "  hardware:    karta PCI/PCIe 0000:03:00.0 (1c00:3050), ovladač parport_serial\n"
         "  ovladače:    ppdev2 (jiný program, drží port)\n"
         "  v programu:  -P /dev/parport2; v okně klíčem LPT1Node nebo LPT2Node v "
         "programmer.ini\n"
         "ppdev: nezaveden; program ho potřebuje: sudo modprobe ppdev\n"},
        {"none",
         {},
         false,
         "Jádro nezná žádný paralelní port.\n"
         "- zaveďte ovladače portu: sudo modprobe parport_pc ppdev\n"
         "- port na základní desce zapněte v BIOSu, v režimu PS/2 (obousměrný), EPP nebo ECP\n"
         "- karta PCI/PCIe s paralelním i sériovými porty potřebuje ovladač parport_serial\n"
         "  (sudo modprobe parport_serial)\n"
         "ppdev: nezaveden\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestDir root;
        for (const FakeParport& port : c.ports) {
            addParport(root.path(), port);
        }
        if (c.ppdev) {
            std::filesystem::create_directories(root.path() / "sys/module/ppdev");
        }
        const ParportSystem system = readParports(root.path().string());
        EXPECT_EQ(portListText(system, PpdevNodes{}, root.path().string()), c.text);
    }
}

}  // namespace
}  // namespace trilo::test

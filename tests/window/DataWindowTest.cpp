// The data window on the simulated board: what a read brought, the file, where they differ.
#include <QAccessible>
#include <QClipboard>
#include <QLabel>
#include <QPushButton>
#include <QTableView>

#include "WindowSupport.h"
#include "app/DataWindow.h"

using namespace trilo;
using namespace trilo::gui;
using namespace trilo::gui::test;

namespace {

// 2048 bytes of i * 37 + 5, with one byte changed when asked.
void writeData(const QString& path, std::optional<std::pair<int, char>> change = std::nullopt) {
    QByteArray data(2048, 0);
    for (int i = 0; i < data.size(); ++i) {
        data[i] = static_cast<char>(i * 37 + 5);
    }
    if (change) {
        data[change->first] = change->second;
    }
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(data);
}

}  // namespace

class DataWindowTest : public QObject {
    Q_OBJECT
private slots:
    void findsTheFirstDifferenceAfterAChangedFile();
    void comparesOnlyWithTheDeviceItWasReadFrom();
};

void DataWindowTest::findsTheFirstDifferenceAfterAChangedFile() {
    TestHome home;
    home.writeSettings("[RUN_PRG]\nCPU=10\n");  // 90S2313: 2048 bytes of flash
    Program program;
    const QString path = home.cwd() + QStringLiteral("/data.bin");
    writeData(path);
    program.frmTop->session().engine().files().CurrentFile = QFile::encodeName(path).toStdString();
    QTest::mouseClick(program.widget<QPushButton>("btnWrite"), Qt::LeftButton);

    // The file changes after the write: the verify fails and the differences show at the
    // byte it found, though without a read there is no chip side to differ yet. The file's
    // byte 0x1A5 is the low byte of word 0xD2, which the tools and the view put at 0x1A4.
    writeData(path, std::pair{0x1A5, '\x5A'});
    QTest::mouseClick(program.widget<QPushButton>("btnVerify"), Qt::LeftButton);
    DataWindow* data = program.frmTop->dataWindow();
    QVERIFY(data != nullptr && data->isVisible());
    QCOMPARE(data->windowTitle(), QStringLiteral("Data"));
    QCOMPARE(data->side(), HexModel::Side::Both);
    QCOMPARE(data->differenceCount(), std::size_t{0});
    QCOMPARE(data->currentOffset(), std::size_t{0x1A4});

    auto* table = data->findChild<QTableView*>(QStringLiteral("dataTable"));
    QTest::mouseClick(data->findChild<QPushButton*>(QStringLiteral("btnReadCompare")),
                      Qt::LeftButton);
    QCOMPARE(data->differenceCount(), std::size_t{1});
    QCOMPARE(data->currentOffset(), std::size_t{0x1A4});
    QCOMPARE(table->accessibleName(), QString::fromUtf8("Rozdíly: 1 bajt se liší"));
    // CRC-32 and sums of zlib.crc32 and sum() over the words low byte first; a screen
    // reader reads them all.
    auto* footer = data->findChild<QLabel*>(QStringLiteral("dataFooter"));
    QCOMPARE(footer->text(),
             QString::fromUtf8("Čip (FLASH 90S2313): 2048 B, CRC-32 0x0D949A35, součet 0xFC00\n"
                               "Soubor: 2048 B, CRC-32 0x35BBCECC, součet 0xFB7C\n"
                               "FLASH AVR: nižší bajt slova první, adresy po bajtech "
                               "(jako nástroje AVR)"));
    QCOMPARE(QAccessible::queryAccessibleInterface(footer)->text(QAccessible::Name),
             footer->text());
    QVERIFY(program.dialogs.unexpected.isEmpty());

    // Ctrl+G: an address outside the data is refused, one inside is gone to; Ctrl+C copies.
    program.dialogs.files = {QStringLiteral("900"), QStringLiteral("0x7f0")};
    program.dialogs.log.clear();
    data->goToAddress();
    data->goToAddress();
    QCOMPARE(program.dialogs.texts(ScriptedDialogs::Kind::Info),
             QStringList{QString::fromUtf8("Adresa „900“ není v zobrazených datech (0 až 07FF).")});
    QCOMPARE(data->currentOffset(), std::size_t{0x7F0});
    table->selectionModel()->select(
        QItemSelection(table->model()->index(2 * 0x7F, 0), table->model()->index(2 * 0x7F, 1)),
        QItemSelectionModel::ClearAndSelect);
    QVERIFY(QTest::qWaitForWindowActive(data));
    QTest::keyClick(table, Qt::Key_C, Qt::ControlModifier);
    // The file's 0x7F0 and 0x7F1, low byte first.
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("DA B5"));

    // Open chooses a file like the chip again: nothing differs any more.
    const QString same = home.cwd() + QStringLiteral("/same.bin");
    writeData(same);
    program.dialogs.files = {same};
    program.action("mnuOpen")->trigger();
    QCOMPARE(data->differenceCount(), std::size_t{0});
    QCOMPARE(program.action("mnuShowData")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_D));

    // Only its size is remembered, when it closes.
    data->resize(700, 400);
    data->close();
    QCOMPARE(home.setting(QStringLiteral("Width")), QStringLiteral("700"));
    QCOMPARE(home.setting(QStringLiteral("Height")), QStringLiteral("400"));
}

// A 90S2313 read beside the same file read for an 89C55 is no comparison: the window says
// whose bytes it holds until the device read is selected again, or the chip is read anew.
void DataWindowTest::comparesOnlyWithTheDeviceItWasReadFrom() {
    TestHome home;
    home.writeSettings("[RUN_PRG]\nCPU=10\n");
    Program program;
    const QString path = home.cwd() + QStringLiteral("/data.bin");
    writeData(path);
    program.frmTop->session().engine().files().CurrentFile = QFile::encodeName(path).toStdString();
    QTest::mouseClick(program.widget<QPushButton>("btnWrite"), Qt::LeftButton);
    QTest::mouseClick(program.widget<QPushButton>("btnRead"), Qt::LeftButton);
    program.action("mnuShowData")->trigger();
    DataWindow* data = program.frmTop->dataWindow();
    data->showDifferences(std::nullopt);
    auto* caption = data->findChild<QLabel*>(QStringLiteral("dataCaption"));
    const struct {
        const char* item;
        const char* caption;
    } steps[] = {
        {"mnu55", "Rozdíly: data čipu jsou z 90S2313, zvolen je 89C55; načtěte čip znovu"},
        {"mnu2313", "Rozdíly: 0 bajtů se liší"},
    };
    for (const auto& step : steps) {
        program.action(step.item)->trigger();
        QCOMPARE(caption->text(), QString::fromUtf8(step.caption));
        QCOMPARE(data->differenceCount(), std::size_t{0});
    }
    program.action("mnu55")->trigger();
    QTest::mouseClick(data->findChild<QPushButton*>(QStringLiteral("btnReadCompare")),
                      Qt::LeftButton);
    QVERIFY(caption->text().startsWith(QString::fromUtf8("Rozdíly: ")));
    QVERIFY(!caption->text().contains(QStringLiteral("90S2313")));
    QVERIFY(program.dialogs.unexpected.isEmpty());
}

QTEST_MAIN(DataWindowTest)
#include "DataWindowTest.moc"

// The data window on the simulated board: what a read brought, the file, where they differ.
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
};

void DataWindowTest::findsTheFirstDifferenceAfterAChangedFile() {
    TestHome home;
    home.writeSettings("[RUN_PRG]\nCPU=10\n");  // 90S2313: 2048 bytes of flash
    Program program;
    const QString path = home.cwd() + QStringLiteral("/data.bin");
    writeData(path);
    program.frmTop->session().files().CurrentFile = QFile::encodeName(path).toStdString();
    QTest::mouseClick(program.widget<QPushButton>("btnWrite"), Qt::LeftButton);

    // The file changes after the write: the verify fails and the differences show at the
    // byte it found, though without a read there is no chip side to differ yet.
    writeData(path, std::pair{0x1A5, '\x5A'});
    QTest::mouseClick(program.widget<QPushButton>("btnVerify"), Qt::LeftButton);
    DataWindow* data = program.frmTop->dataWindow();
    QVERIFY(data != nullptr && data->isVisible());
    QCOMPARE(data->windowTitle(), QStringLiteral("Data"));
    QCOMPARE(data->side(), HexModel::Side::Both);
    QCOMPARE(data->differenceCount(), std::size_t{0});
    QCOMPARE(data->currentOffset(), std::size_t{0x1A5});

    auto* table = data->findChild<QTableView*>(QStringLiteral("dataTable"));
    QTest::mouseClick(data->findChild<QPushButton*>(QStringLiteral("btnReadCompare")),
                      Qt::LeftButton);
    QCOMPARE(data->differenceCount(), std::size_t{1});
    QCOMPARE(data->currentOffset(), std::size_t{0x1A5});
    QCOMPARE(table->accessibleName(), QString::fromUtf8("Rozdíly: 1 bajt se liší"));
    // CRC-32 and sums of zlib.crc32 and sum() over the words low byte first.
    QCOMPARE(data->findChild<QLabel*>(QStringLiteral("dataFooter"))->text(),
             QString::fromUtf8("Čip (FLASH): 2048 B, CRC-32 0x0D949A35, součet 0xFC00\n"
                               "Soubor: 2048 B, CRC-32 0x35BBCECC, součet 0xFB7C"));
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
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("B5 DA"));

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

QTEST_MAIN(DataWindowTest)
#include "DataWindowTest.moc"

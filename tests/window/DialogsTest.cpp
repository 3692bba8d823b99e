// The real boxes and file dialogs, as the program shows them; each shown one is answered by
// a watchdog, so nothing waits on a user.
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <utility>

#include "WindowSupport.h"

using namespace trilo;
using namespace trilo::gui;
using namespace trilo::gui::test;

class DialogsTest : public QObject {
    Q_OBJECT
private slots:
    void messageBoxes_data();
    void messageBoxes();
    void yesNoAnswers_data();
    void yesNoAnswers();
    void questionsDefaultToWhatCannotHurt_data();
    void questionsDefaultToWhatCannotHurt();
    void fileDialogs_data();
    void fileDialogs();
    void saveAddsTheExtensionAndAsksNothing_data();
    void saveAddsTheExtensionAndAsksNothing();
    void cancelledDialogGivesNothing();
    void errorBoxThroughTheWindow();
};

void DialogsTest::messageBoxes_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("icon");
    QTest::addColumn<int>("buttons");
    QTest::newRow("information") << int(BoxKind::Info) << int(QMessageBox::Information)
                                 << int(QMessageBox::Ok);
    QTest::newRow("question") << int(BoxKind::YesNo) << int(QMessageBox::Information)
                              << int(QMessageBox::Yes | QMessageBox::No);
    QTest::newRow("error") << int(BoxKind::Error) << int(QMessageBox::Critical)
                           << int(QMessageBox::Ok);
}

void DialogsTest::messageBoxes() {
    QFETCH(int, kind);
    QFETCH(int, icon);
    QFETCH(int, buttons);
    const QString text = QString::fromUtf8("Uložit načtená data ?  ");
    auto box = makeMessageBox(nullptr, static_cast<BoxKind>(kind), text);
    QCOMPARE(box->windowTitle(), QStringLiteral("Trilo Programmer"));
    QCOMPARE(box->text(), text);
    QCOMPARE(int(box->icon()), icon);
    QCOMPARE(int(box->standardButtons()), buttons);
    QCOMPARE(box->textFormat(), Qt::AutoText);
}

void DialogsTest::yesNoAnswers_data() {
    QTest::addColumn<int>("click");
    QTest::addColumn<bool>("yes");
    QTest::newRow("Yes") << int(QMessageBox::Yes) << true;
    QTest::newRow("No") << int(QMessageBox::No) << false;
    QTest::newRow("Escape") << -1 << false;
}

void DialogsTest::yesNoAnswers() {
    QFETCH(int, click);
    QFETCH(bool, yes);
    QtDialogs dialogs;
    QString shown;
    ModalWatchdog watchdog([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        QVERIFY(box != nullptr);
        shown = box->text();
        if (click < 0) {
            QTest::keyClick(box, Qt::Key_Escape);
        } else {
            box->button(static_cast<QMessageBox::StandardButton>(click))->click();
        }
    });
    QCOMPARE(dialogs.yesNo(nullptr, Question{"Přepsat soubor ?"}), yes);
    QVERIFY(watchdog.seen());
    QCOMPARE(shown, QString::fromUtf8("Přepsat soubor ?"));
}

void DialogsTest::questionsDefaultToWhatCannotHurt_data() {
    QTest::addColumn<int>("scene");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("enter");
    QTest::addColumn<int>("escape");  // 0: Esc and the close button do nothing
    const int yes = QMessageBox::Yes;
    const int no = QMessageBox::No;
    QTest::newRow("chip") << 0 << QString::fromUtf8("V patici je jiný čip") << no << no;
    QTest::newRow("overwrite") << 1 << QString::fromUtf8("Přepsat soubor ?") << no << no;
    QTest::newRow("unsaved") << 2 << QString::fromUtf8("Uložit načtená data ?  ") << yes << 0;
}

// Each question as the program asks it, and its box as shown: Enter gives the answer that
// cannot hurt, read data go only by an explicit No, and the overwrite names the file.
void DialogsTest::questionsDefaultToWhatCannotHurt() {
    QFETCH(int, scene);
    QFETCH(QString, text);
    QFETCH(int, enter);
    QFETCH(int, escape);
    TestHome home;
    home.writeSettings("[SETUP_PRG]\nSimSocket=90s8515\n[RUN_PRG]\nCPU=10\n");
    Program program;
    const QString target = home.path("old.bin");
    for (const QString& file :
         {QFile::decodeName(program.frmTop->session().engine().files().BufferFile.c_str()),
          target}) {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write("data") == 4);
    }
    program.dialogs.answers = {false};
    program.dialogs.files = {target, QString()};
    program.action("mnuSaveAs")->setEnabled(true);
    if (scene == 0) {
        QTest::mouseClick(program.widget<QPushButton>("btnErase"), Qt::LeftButton);
    } else {
        program.action(scene == 1 ? "mnuSaveAs" : "mnuExit")->trigger();
    }
    QCOMPARE(program.dialogs.questions.size(), std::size_t(1));
    const Question& asked = program.dialogs.questions.front();
    QVERIFY2(QString::fromStdString(asked.text).startsWith(text), asked.text.c_str());
    const auto button = [](QMessageBox& box, int which) {
        return box.button(static_cast<QMessageBox::StandardButton>(which));
    };
    for (const auto key : {Qt::Key_Return, Qt::Key_Escape}) {
        auto box = makeMessageBox(nullptr, asked);
        QCOMPARE(box->informativeText(), scene == 1 ? target : QString());
        box->show();
        QTest::keyClick(box.get(), key);
        const int answer = key == Qt::Key_Return ? enter : escape;
        QCOMPARE(box->clickedButton(), answer == 0 ? nullptr : button(*box, answer));
        QCOMPARE(box->isVisible(), answer == 0);
        QCOMPARE(box->close(), answer != 0);
    }
}

void DialogsTest::fileDialogs_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("preset");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("typedSuffix");
    const int open = int(FileDialogKind::Open);
    const int save = int(FileDialogKind::Save);
    const QString data = QString::fromUtf8("Datové soubory");
    const QString all = QString::fromUtf8("Všechny soubory");
    QTest::newRow("open, no file") << open << QString() << data << QString();
    QTest::newRow("open, chip.bin")
        << open << "chip.bin" << QString::fromUtf8("Binární soubory *.BIN") << QString();
    QTest::newRow("open, fw.elf") << open << "fw.elf"
                                  << "ELF" << QString();
    QTest::newRow("save, no file") << save << QString() << data << "bin";
    QTest::newRow("save, FW.HEX") << save << "FW.HEX"
                                  << "Intel HEX"
                                  << "hex";
    QTest::newRow("save, fw.s19") << save << "fw.s19"
                                  << "Motorola S-record"
                                  << "srec";
    // ELF is never written.
    QTest::newRow("save, fw.elf") << save << "fw.elf" << all << "bin";
}

// Both dialogs offer every data file, each kind under its own label and every file; they
// start with the filter that shows the current file and leave the questions of existence
// and overwriting to the command.
void DialogsTest::fileDialogs() {
    QFETCH(int, kind);
    QFETCH(QString, preset);
    QFETCH(QString, shown);
    QFETCH(QString, typedSuffix);
    QTemporaryDir dir;
    auto dialog = makeFileDialog(nullptr, static_cast<FileDialogKind>(kind),
                                 preset.isEmpty() ? preset : dir.filePath(preset));

    QVERIFY(dialog->testOption(QFileDialog::HideNameFilterDetails));
    QCOMPARE(dialog->fileMode(), QFileDialog::AnyFile);
    auto* combo = dialog->findChild<QComboBox*>("fileTypeCombo");
    QVERIFY(combo != nullptr);
    QStringList labels;
    for (int i = 0; i < combo->count(); ++i) {
        labels << combo->itemText(i);
    }
    const bool save = static_cast<FileDialogKind>(kind) == FileDialogKind::Save;
    QStringList expected({QString::fromUtf8("Datové soubory"),
                          QString::fromUtf8("Binární soubory *.BIN"), QStringLiteral("Intel HEX"),
                          QStringLiteral("Motorola S-record")});
    if (!save) {
        expected << QStringLiteral("ELF");  // read, never written
    }
    expected << QString::fromUtf8("Všechny soubory");
    QCOMPARE(labels, expected);
    QCOMPARE(combo->currentText(), shown);
    if (!preset.isEmpty()) {
        QCOMPARE(QDir(dialog->directory()).canonicalPath(), QDir(dir.path()).canonicalPath());
    }
    QCOMPARE(dialog->acceptMode(), save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    QCOMPARE(dialog->testOption(QFileDialog::DontConfirmOverwrite), save);
    QCOMPARE(dialog->defaultSuffix(), typedSuffix);

    // The filter of every data file takes each kind in any letter case, as DOS tools wrote
    // the names, and nothing else.
    const QString patterns = dialog->nameFilters().constFirst().section('(', 1).chopped(1);
    const auto matches = [&](const QString& name) {
        for (const QString& one : patterns.split(' ')) {
            if (QRegularExpression(QRegularExpression::wildcardToRegularExpression(one))
                    .match(name)
                    .hasMatch()) {
                return true;
            }
        }
        return false;
    };
    for (const char* name :
         {"a.bin", "B.BIN", "c.Bin", "d.hex", "E.IHX", "f.ihex", "g.S19", "h.srec", "i.mot"}) {
        QVERIFY2(matches(QString::fromLatin1(name)), name);
    }
    QCOMPARE(matches(QStringLiteral("j.elf")), !save);
    QVERIFY(!matches(QStringLiteral("k.txt")));

    // Choosing a kind makes a typed name a file of that kind.
    if (save) {
        for (const auto& [index, suffix] :
             {std::pair(1, "bin"), std::pair(2, "hex"), std::pair(3, "srec")}) {
            emit dialog->filterSelected(dialog->nameFilters().at(index));
            QCOMPARE(dialog->defaultSuffix(), QString::fromLatin1(suffix));
        }
    }
}

void DialogsTest::saveAddsTheExtensionAndAsksNothing_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("chosen");
    QTest::newRow("no extension") << "image"
                                  << "image.bin";
    QTest::newRow("own extension") << "image.hex"
                                   << "image.hex";
    QTest::newRow("existing file") << "old.bin"
                                   << "old.bin";
}

void DialogsTest::saveAddsTheExtensionAndAsksNothing() {
    QFETCH(QString, typed);
    QFETCH(QString, chosen);
    QTemporaryDir dir;
    QFile old(dir.filePath("old.bin"));
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.close();
    QtDialogs dialogs;
    bool askedMore = false;
    ModalWatchdog watchdog([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        QVERIFY(dialog != nullptr);
        auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
        name->clear();
        QTest::keyClicks(name, typed);
        QTest::keyClick(name, Qt::Key_Return);
        QApplication::processEvents();
        askedMore = QApplication::activeModalWidget() != nullptr;
        if (askedMore) {
            QApplication::activeModalWidget()->close();
        }
    });
    const auto result = dialogs.saveFile(nullptr, dir.filePath("chip.bin"));
    QVERIFY(watchdog.seen());
    QVERIFY(!askedMore);
    QVERIFY(result.has_value());
    QCOMPARE(QFileInfo(*result).fileName(), chosen);
    QCOMPARE(QFileInfo(*result).dir().canonicalPath(), QDir(dir.path()).canonicalPath());
}

void DialogsTest::cancelledDialogGivesNothing() {
    QtDialogs dialogs;
    ModalWatchdog watchdog([](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); });
    QVERIFY(!dialogs.openFile(nullptr, QString()).has_value());
    QVERIFY(watchdog.seen());
}

// A handler's error reaches the error box with its full stop, and the window goes on.
void DialogsTest::errorBoxThroughTheWindow() {
    TestHome home;
    Program program;
    // The settings file can no longer be replaced: a directory stands in its place.
    QVERIFY(QFile::remove(home.settingsPath()));
    QVERIFY(QDir(home.cwd()).mkdir("programmer.ini"));

    program.action("mnu8515")->trigger();

    QCOMPARE(program.dialogs.texts(ScriptedDialogs::Kind::Error),
             QStringList({"Unable to read " + home.settingsPath() + " (not a regular file)."}));
    QCOMPARE(program.widget<QLabel>("txCpu")->text(), QStringLiteral("90S8515"));
    program.action("mnuDL")->trigger();
    QCOMPARE(program.dialogs.texts(ScriptedDialogs::Kind::Error).size(), 2);
    QVERIFY(!program.action("mnuDL")->isChecked());
}

QTEST_MAIN(DialogsTest)
#include "DialogsTest.moc"

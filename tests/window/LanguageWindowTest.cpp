// The window in the language programmer.ini names, and in the one chosen in Set Up at once.
#include <QLibraryInfo>

#include "WindowSupport.h"
#include "base/Text.h"

using namespace trilo;
using namespace trilo::gui;
using namespace trilo::gui::test;

class LanguageWindowTest : public QObject {
    Q_OBJECT
private slots:
    void startAndChoice_data();
    void startAndChoice();
    void cleanup();
};

namespace {

// What the window shows in a language: the Set Up options, a box of its own, a button of Qt's.
struct Words {
    QStringList options;
    QString noData;
    QString yes;
    QString chip;  // the status line's chip, said again in the new words
};

Words wordsOf(const QString& code) {
    if (code == QLatin1String("en")) {
        return {{"Automatically erase FLASH before writing", "Automatically save the chosen CPU",
                 "Automatically save the chosen file", "Automatically verify FLASH",
                 "Verify FLASH by reading"},
                "No data to write!",
                "&Yes",
                "90S2313, signature 1E 91 01"};
    }
    // Qt's own Czech where the system has it.
    const bool qtCzech = QFile::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) +
                                       QStringLiteral("/qtbase_cs.qm"));
    return {{QString::fromUtf8("Aut. mazat FLASH před zapisem"),
             QString::fromUtf8("Aut. ukládat zvolené CPU"),
             QString::fromUtf8("Aut. ukládat zvolený soubor"),
             QString::fromUtf8("Aut. verifikovat FLASH"),
             QString::fromUtf8("Verifikovat FLASH čtením")},
            QString::fromUtf8("Nejsou data k zápisu !"),
            qtCzech ? QStringLiteral("&Ano") : QStringLiteral("&Yes"),
            QStringLiteral("90S2313, podpis 1E 91 01")};
}

void expectWords(Program& program, const QString& code) {
    const Words words = wordsOf(code);
    QStringList options;
    for (Control c :
         {Control::mnuDM, Control::mnuCP, Control::mnuFL, Control::mnuDL, Control::mnuVerifyRead}) {
        options << program.caption(c);
    }
    QCOMPARE(options, words.options);
    // Save As without a read: the box through the scripted dialogs.
    program.dialogs.log.clear();
    program.frmTop->session().mnuSaveAsClick();
    QCOMPARE(program.dialogs.texts(ScriptedDialogs::Kind::Info), QStringList{words.noData});
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "&Yes"), words.yes);
    QVERIFY(program.action(qPrintable(QStringLiteral("mnuLanguage_") + code))->isChecked());
    QVERIFY2(program.caption(Control::statusLine).endsWith(words.chip),
             qPrintable(program.caption(Control::statusLine)));
}

}  // namespace

void LanguageWindowTest::startAndChoice_data() {
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("chosen");
    QTest::newRow("no key: Czech, then English") << QByteArray() << "cs"
                                                 << "en";
    QTest::newRow("Language=en, then Czech") << QByteArray("[SETUP_PRG]\nLanguage=en\n") << "en"
                                             << "cs";
    // Each starts with the 90S2313 chosen and checked, so that the status line names it.
}

void LanguageWindowTest::startAndChoice() {
    QFETCH(QByteArray, settings);
    QFETCH(QString, start);
    QFETCH(QString, chosen);
    TestHome home;
    home.writeSettings(settings + "[RUN_PRG]\nCPU=10\n");
    Program program;
    QTest::mouseClick(program.widget<QPushButton>("btnReadLB"), Qt::LeftButton);
    expectWords(program, start);
    if (QTest::currentTestFailed()) {
        return;
    }
    // The start-up's save writes the key only where the file had it.
    QCOMPARE(home.setting("Language"), settings.isEmpty() ? QString() : start);

    program.action(qPrintable(QStringLiteral("mnuLanguage_") + chosen))->trigger();
    QCOMPARE(home.setting("Language"), chosen);
    expectWords(program, chosen);
}

void LanguageWindowTest::cleanup() {
    // The next row starts in the program's own language, whatever this one left.
    setLanguage("cs");
    useLanguageInQt();
}

QTEST_MAIN(LanguageWindowTest)
#include "LanguageWindowTest.moc"

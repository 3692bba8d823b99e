// The About window: shown modally from Index > About, closed by Exit or the close box,
// never blocking a test.
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPixmap>

#include "WindowSupport.h"
#include "app/Artwork.h"

using namespace trilo;
using namespace trilo::gui;
using namespace trilo::gui::test;

namespace {

struct Seen {
    QString title;
    QString text;
    QImage picture;
    bool modal = false;
    bool isInfo = false;
};

Seen look(QWidget* modal) {
    Seen seen;
    seen.isInfo = modal->objectName() == "frmInfo";
    seen.title = modal->windowTitle();
    seen.modal = modal->isModal();
    if (auto* text = modal->findChild<QLabel*>("stxInfo")) {
        seen.text = text->text();
    }
    if (auto* image = modal->findChild<QLabel*>("Image1")) {
        seen.picture = image->pixmap().toImage();
    }
    return seen;
}

}  // namespace

class AboutWindowTest : public QObject {
    Q_OBJECT
private slots:
    void opensModallyAndClosesByExit();
    void secondOpeningByCloseBoxShowsTheSame();
    void linkOpensHomePageAndStaysOpen();
    void homePageIsAReadmeThatExists_data();
    void homePageIsAReadmeThatExists();
    void layout();
    void artwork();
};

void AboutWindowTest::opensModallyAndClosesByExit() {
    TestHome home;
    Program program;
    program.frmTop->show();
    QVERIFY(!program.frmInfo->isVisible());
    Seen seen;
    bool closedByReturn = false;
    ModalWatchdog watchdog([&](QWidget* modal) {
        seen = look(modal);
        // Exit is the default button: Return presses it wherever the focus is.
        QTest::keyClick(modal->focusWidget() != nullptr ? modal->focusWidget() : modal,
                        Qt::Key_Return);
        closedByReturn = !modal->isVisible();
    });

    program.action("mnuAbout")->trigger();

    QVERIFY(watchdog.seen());
    QVERIFY(closedByReturn);
    QVERIFY(seen.isInfo);
    QVERIFY(seen.modal);
    QCOMPARE(seen.title, QStringLiteral("Info"));
    QCOMPARE(seen.text.split('\n'), TfrmInfo::infoLines());
    QCOMPARE(TfrmInfo::infoLines().value(0), QString());
    QCOMPARE(TfrmInfo::infoLines().value(1),
             QStringLiteral("Programátor Trilo Programmer verze 1.0"));
    QVERIFY(!TfrmInfo::infoLines().value(2).isEmpty());
    QVERIFY(!program.frmInfo->isVisible());
    // The window is hidden, not gone: it lives as long as the main window.
    QVERIFY(program.frmTop->findChild<TfrmInfo*>("frmInfo") != nullptr);
    QVERIFY(program.dialogs.log.empty());
}

void AboutWindowTest::secondOpeningByCloseBoxShowsTheSame() {
    TestHome home;
    Program program;
    program.frmTop->show();
    std::vector<Seen> seen;
    for (int round = 0; round < 2; ++round) {
        ModalWatchdog watchdog([&](QWidget* modal) {
            seen.push_back(look(modal));
            // The title bar's close box.
            modal->close();
        });
        program.action("mnuAbout")->trigger();
        QVERIFY(watchdog.seen());
        QVERIFY(!program.frmInfo->isVisible());
    }
    QCOMPARE(seen.size(), std::size_t(2));
    QCOMPARE(seen[1].text, seen[0].text);
    QCOMPARE(seen[1].picture, seen[0].picture);
    QVERIFY(!seen[0].picture.isNull());
}

void AboutWindowTest::linkOpensHomePageAndStaysOpen() {
    TestHome home;
    Program program;
    program.frmTop->show();
    bool stillOpen = false;
    ModalWatchdog watchdog([&](QWidget* modal) {
        auto* link = modal->findChild<QLabel*>("lbWebLink");
        QTest::mouseClick(link, Qt::LeftButton);
        stillOpen = modal->isVisible() && QApplication::activeModalWidget() == modal;
        QTest::mouseClick(modal->findChild<QPushButton*>("Button1"), Qt::LeftButton);
    });
    program.action("mnuAbout")->trigger();

    QVERIFY(watchdog.seen());
    QVERIFY(stillOpen);
    QCOMPARE(program.opener.opened.size(), std::size_t(1));
    // No README is installed beside a test's build folder, as beside ./run's program: the
    // build tree's link there opens the source tree's.
    const QUrl readme = QUrl::fromLocalFile(
        QFileInfo(QStringLiteral(TRILO_SOURCE_DIR "/README.md")).canonicalFilePath());
    QCOMPARE(program.opener.opened[0], readme);
    QCOMPARE(program.frmInfo->findChild<QLabel*>("lbWebLink")->text(), readme.toString());
}

// The installed README, whatever the prefix; the source tree's for a program that was never
// installed, through the build tree's link in the installed place; with neither, the place
// as plain text that opens nothing.
void AboutWindowTest::homePageIsAReadmeThatExists_data() {
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QString>("opened");
    QTest::newRow("installed") << QStringList{"installed", "source"} << "installed";
    QTest::newRow("build tree") << QStringList{"source"} << "source";
    QTest::newRow("neither") << QStringList{} << QString();
}

void AboutWindowTest::homePageIsAReadmeThatExists() {
    QFETCH(QStringList, present);
    QFETCH(QString, opened);
    QTemporaryDir dir;
    const QStringList places{dir.filePath("installed/README.md"), dir.filePath("source/README.md")};
    for (const QString& name : present) {
        QVERIFY(QDir(dir.path()).mkpath(name));
        QFile readme(dir.filePath(name + "/README.md"));
        QVERIFY(readme.open(QIODevice::WriteOnly));
    }
    QVERIFY(opened != "source" || QFile::link(dir.filePath("source"), dir.filePath("installed")));
    RecordingOpener opener;
    TfrmInfo info(opener, nullptr, homePage(places[0]));
    info.show();
    QVERIFY(QTest::qWaitForWindowExposed(&info));
    auto* link = info.findChild<QLabel*>("lbWebLink");
    QTest::mouseClick(link, Qt::LeftButton);
    if (opened.isEmpty()) {
        QCOMPARE(link->text(), places[0]);
        QVERIFY(!link->font().underline());
        QVERIFY(opener.opened.empty());
    } else {
        const QUrl url = QUrl::fromLocalFile(dir.filePath(opened + "/README.md"));
        QCOMPARE(link->text(), url.toString());
        QCOMPARE(opener.opened, std::vector<QUrl>{url});
    }
}

void AboutWindowTest::layout() {
    TestHome home;
    Program program;
    TfrmInfo* info = program.frmInfo;
    const Metrics metrics;
    QCOMPARE(info->windowTitle(), QStringLiteral("Info"));
    QCOMPARE(info->minimumSize(), info->maximumSize());
    const Qt::WindowFlags flags = info->windowFlags();
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
    QVERIFY(!info->windowIcon().isNull());

    QCOMPARE(info->findChild<QLabel*>("Label1")->text(), QStringLiteral("Home Page:"));
    QCOMPARE(info->findChild<QPushButton*>("Button1")->text(), QStringLiteral("Exit"));
    auto* link = info->findChild<QLabel*>("lbWebLink");
    QVERIFY(link->font().underline());
    QCOMPARE(link->font().pixelSize(), metrics.px(15));
    auto* text = info->findChild<QLabel*>("stxInfo");
    QCOMPARE(text->frameShadow(), QFrame::Sunken);
    QVERIFY(text->alignment() & Qt::AlignHCenter);

    // Everything inside the window, clear of each other, and readable whole.
    QStringList faults;
    const QList<QWidget*> parts{link, info->findChild<QLabel*>("Label1"),
                                info->findChild<QLabel*>("Image1"), text,
                                info->findChild<QPushButton*>("Button1")};
    for (QWidget* part : parts) {
        QString why;
        if (!info->rect().contains(part->geometry())) {
            faults << part->objectName() + " leaves the window";
        }
        if (part->objectName() != "Image1" && !captionFits(part, &why)) {
            faults << why;
        }
        for (QWidget* other : parts) {
            if (other != part && part->geometry().intersects(other->geometry()) &&
                part->objectName() < other->objectName()) {
                faults << part->objectName() + " overlaps " + other->objectName();
            }
        }
    }
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(", ")));
}

void AboutWindowTest::artwork() {
    QCOMPARE(aboutPicture().size(), QSize(63, 60));
    const QIcon icon = programIcon();
    QVERIFY(icon.availableSizes().contains(QSize(16, 16)));
    QVERIFY(icon.availableSizes().contains(QSize(32, 32)));
    // A drawing, not an empty canvas: the chip's dark body in the middle, the blue socket
    // around it, nothing in the corner below the lever.
    for (const QImage& image : {aboutPicture(), iconImage(32), iconImage(16)}) {
        const double unit = std::min(image.width(), image.height()) / 64.0;
        const double left = (image.width() - 64 * unit) / 2;
        auto at = [&](double x, double y) {
            return image.pixelColor(static_cast<int>(left + x * unit), static_cast<int>(y * unit));
        };
        QCOMPARE(at(26, 50).alpha(), 255);
        QVERIFY(at(26, 50).lightness() < 80);
        QVERIFY(at(57, 32).blue() > at(57, 32).red() + 60);
        QCOMPARE(image.pixelColor(0, image.height() - 1).alpha(), 0);
    }
}

QTEST_MAIN(AboutWindowTest)
#include "AboutWindowTest.moc"

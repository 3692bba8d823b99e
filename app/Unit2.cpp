#include "app/Unit2.h"

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QPushButton>
#include <QUrl>

#include <algorithm>

#include "app/Artwork.h"
#include "base/Text.h"

namespace trilo::gui {

QString readmePlace() {
    return QDir::cleanPath(QCoreApplication::applicationDirPath() +
                           QStringLiteral("/" TRILO_DOC_FROM_BIN "/README.md"));
}

HomePage homePage(const QString& place) {
    const QFileInfo readme(place);
    if (!readme.isFile()) {
        return {place, false};
    }
    // A build tree's link opens the source tree's README, beside the pictures it shows.
    return {QUrl::fromLocalFile(readme.canonicalFilePath()).toString(), true};
}

TfrmInfo::TfrmInfo(UrlOpener& opener, QWidget* parent, const HomePage& home)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      opener_(opener),
      home_(home) {
    setObjectName(QStringLiteral("frmInfo"));
    setWindowTitle(QStringLiteral("Info"));
    setWindowIcon(programIcon());
    setModal(true);
    setFont(metrics_.font(14));
    // The button face, as the rest of the dialog's controls.
    QPalette face = palette();
    face.setColor(QPalette::Window, face.color(QPalette::Button));
    setPalette(face);
    setAutoFillBackground(true);

    lbWebLink = new QLabel(home.text, this);
    lbWebLink->setObjectName(QStringLiteral("lbWebLink"));
    QFont linkFont = metrics_.font(15);
    linkFont.setUnderline(home_.reachable);
    lbWebLink->setFont(linkFont);
    // Wider than designed, and so are the information text and the window: DejaVu Sans runs
    // wider than the design's font, and the address, a path, must show whole.
    const int linkWidth = std::max(
        metrics_.px(290), QFontMetrics(linkFont).horizontalAdvance(home.text) + metrics_.px(4));
    lbWebLink->setGeometry(metrics_.px(100), metrics_.px(108), linkWidth, metrics_.px(18));
    // The design's 140-pixel client area ends above "Exit" (148 + 30); it grows to hold it.
    setFixedSize(metrics_.px(110) + linkWidth, metrics_.px(186));
    if (home_.reachable) {
        // The active title bar's colour: the highlight is its nearest kin in a Qt palette.
        QPalette linkPalette = lbWebLink->palette();
        linkPalette.setColor(QPalette::WindowText,
                             palette().color(QPalette::Active, QPalette::Highlight));
        lbWebLink->setPalette(linkPalette);
        lbWebLink->setCursor(Qt::PointingHandCursor);
        lbWebLink->installEventFilter(this);
    }

    Label1 = new QLabel(QStringLiteral("Home Page:"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(metrics_.rect(12, 108, 84, 18));

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(metrics_.rect(10, 20, 80, 80));
    Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Image1->setPixmap(QPixmap::fromImage(aboutPicture()));

    stxInfo = new QLabel(this);
    stxInfo->setObjectName(QStringLiteral("stxInfo"));
    stxInfo->setGeometry(metrics_.px(100), metrics_.px(20), linkWidth, metrics_.px(70));
    stxInfo->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    stxInfo->setAlignment(Qt::AlignHCenter | Qt::AlignTop);

    Button1 = new QPushButton(QStringLiteral("Exit"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry((width() - metrics_.px(109)) / 2, metrics_.px(148), metrics_.px(109),
                         metrics_.px(30));
    // Return closes the box, as Escape does.
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });

    FormCreate();
}

QStringList TfrmInfo::infoLines() {
    return {QString(), QString::fromUtf8(_("Programátor Trilo Programmer verze 1.0")),
            QString::fromUtf8(_("Napsali autoři projektu Trilo Programmer"))};
}

void TfrmInfo::FormCreate() {
    retranslate();
}

void TfrmInfo::retranslate() {
    stxInfo->setText(infoLines().join(QLatin1Char('\n')));
}

void TfrmInfo::showModal() {
    // Placed before showing, so Qt leaves it there rather than centring it on its parent.
    centreOnScreen(this);
    exec();
}

void TfrmInfo::lbWebLinkClick() {
    // The constant, not the label's text read back; a place where nothing is stays shut.
    if (home_.reachable) {
        opener_.open(QUrl(home_.text));
    }
}

void TfrmInfo::Button1Click() {
    close();
}

bool TfrmInfo::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lbWebLink && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton &&
        lbWebLink->rect().contains(static_cast<QMouseEvent*>(event)->position().toPoint())) {
        lbWebLinkClick();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace trilo::gui

#pragma once

#include <QDialog>

#include "app/Dialogs.h"
#include "app/Metrics.h"

class QLabel;
class QPushButton;

namespace trilo::gui {

// The maker's home page, shown by lbWebLink and opened by a click on it. Until the project
// has a web page it is the README, which needs no network: the one the install puts into the
// documentation directory, found from the program's own directory under whatever prefix. A
// program run from its build tree (./run) finds a link to the source tree's README there and
// opens the source tree's. With nothing there, the label shows the place as plain text,
// which a click does not open.
struct HomePage {
    QString text;    // a file URL, or the installed place when nothing is there
    bool reachable;  // the README exists: the label is a link
};
// Where the README is looked for: the documentation directory beside the program's folder.
QString readmePlace();
HomePage homePage(const QString& place = readmePlace());

// The About window: created hidden at start-up, shown modally from Index > About.
class TfrmInfo : public QDialog {
    Q_OBJECT
public:
    explicit TfrmInfo(UrlOpener& opener, QWidget* parent = nullptr,
                      const HomePage& home = homePage());

    // Shows the window modally and returns once it is closed (by Exit or the close box).
    void showModal();

    // The information text, one entry per line; the first line is empty.
    static QStringList infoLines();

    // The information text in the chosen language, as made and when it changes.
    void retranslate();

    void lbWebLinkClick();
    void Button1Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();

    UrlOpener& opener_;
    const HomePage home_;
    Metrics metrics_;
    QLabel* lbWebLink = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* stxInfo = nullptr;
    QPushButton* Button1 = nullptr;
};

}  // namespace trilo::gui

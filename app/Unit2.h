#pragma once

#include <QDialog>

#include "app/Dialogs.h"
#include "app/Metrics.h"

class QLabel;
class QPushButton;

namespace trilo::gui {

// The maker's home page, shown by lbWebLink and opened by a click on it. Until the project
// has a web page it is the README that the install puts into the documentation directory,
// found from the program's own directory: it is there under whatever prefix the program was
// installed to, and needs no network.
QString homePage();

// The About window: created hidden at start-up, shown modally from Index > About.
class TfrmInfo : public QDialog {
    Q_OBJECT
public:
    explicit TfrmInfo(UrlOpener& opener, QWidget* parent = nullptr);

    // Shows the window modally and returns once it is closed (by Exit or the close box).
    void showModal();

    // The information text, one entry per line; the first line is empty.
    static QStringList infoLines();

    void lbWebLinkClick();
    void Button1Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();

    UrlOpener& opener_;
    Metrics metrics_;
    QLabel* lbWebLink = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* stxInfo = nullptr;
    QPushButton* Button1 = nullptr;
};

}  // namespace trilo::gui

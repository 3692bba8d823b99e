#pragma once

#include <QLocalServer>
#include <QString>

namespace trilo {
class Platform;
}

namespace trilo::gui {

class TfrmTop;

// Where the running window listens for later starts: a socket beside the instance lock, in
// the user's private directory, so only the user's own starts reach it.
QString windowSocketPath(Platform& platform);

// The running window's side: each connection brings the file of a later start (raw name
// bytes, possibly none) and ends; the window comes to the front and takes the file.
class WindowServer : public QObject {
    Q_OBJECT
public:
    // The caller holds the instance lock, so a socket left at path by a crashed run is stale.
    WindowServer(TfrmTop& window, const QString& path);
    bool listening() const { return server_.isListening(); }

private:
    void accept();

    TfrmTop& window_;
    QLocalServer server_;
};

// A later start's side: hands the file (empty: none) to the running window. False when no
// window answers within the time.
bool handOver(const QString& path, const QString& file, int timeoutMs = 2000);

}  // namespace trilo::gui

#include "app/SingleWindow.h"

#include <QFile>
#include <QLocalSocket>
#include <memory>

#include "app/Triloprog.h"
#include "presenter/Session.h"

namespace trilo::gui {

namespace {

// A file name is at most PATH_MAX bytes; anything longer is no file name.
constexpr qint64 kMessageLimit = 4096;

}  // namespace

QString windowSocketPath(Platform& platform) {
    return QFile::decodeName(Engine::windowSocketPath(platform).c_str());
}

WindowServer::WindowServer(TfrmTop& window, const QString& path) : window_(window) {
    if (path.isEmpty()) {
        return;
    }
    QLocalServer::removeServer(path);
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&server_, &QLocalServer::newConnection, this, &WindowServer::accept);
    // Without the socket the window works all the same; only later starts cannot reach it.
    (void)server_.listen(path);
}

void WindowServer::accept() {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        auto message = std::make_shared<QByteArray>();
        connect(socket, &QLocalSocket::readyRead, this, [socket, message] {
            message->append(socket->readAll());
            if (message->size() > kMessageLimit) {
                socket->abort();
            }
        });
        connect(socket, &QLocalSocket::disconnected, this, [this, socket, message] {
            message->append(socket->readAll());
            socket->deleteLater();
            if (message->size() > kMessageLimit) {
                return;
            }
            window_.bringToFront();
            if (!message->isEmpty()) {
                window_.openDataFile(QFile::decodeName(*message));
            }
        });
    }
}

bool handOver(const QString& path, const QString& file, int timeoutMs) {
    if (path.isEmpty()) {
        return false;
    }
    QLocalSocket socket;
    socket.connectToServer(path);
    if (!socket.waitForConnected(timeoutMs)) {
        return false;
    }
    const QByteArray message = QFile::encodeName(file);
    if (!message.isEmpty()) {
        socket.write(message);
        if (!socket.waitForBytesWritten(timeoutMs)) {
            return false;
        }
    }
    socket.disconnectFromServer();
    return socket.state() == QLocalSocket::UnconnectedState ||
           socket.waitForDisconnected(timeoutMs);
}

}  // namespace trilo::gui

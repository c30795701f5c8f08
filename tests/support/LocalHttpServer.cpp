#include "LocalHttpServer.h"

#include <QTcpSocket>

#include <memory>

LocalHttpServer::LocalHttpServer() {
    if (!Server.listen(QHostAddress::LocalHost))
        qFatal("LocalHttpServer: cannot listen on 127.0.0.1: %s", qPrintable(Server.errorString()));
    connect(&Server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = Server.nextPendingConnection()) {
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            auto received = std::make_shared<QByteArray>();
            connect(socket, &QTcpSocket::readyRead, this, [this, socket, received] {
                const bool headerWasComplete = received->contains("\r\n\r\n");
                *received += socket->readAll();
                if (!headerWasComplete && received->contains("\r\n\r\n"))
                    answer(*socket, *received);
            });
        }
    });
}

QString LocalHttpServer::baseUrl() const {
    return QStringLiteral("http://127.0.0.1:%1").arg(Server.serverPort());
}

void LocalHttpServer::respond(const QByteArray& path, int status, const QByteArray& body) {
    Responses.insert(path, {status, body, {}, false});
}
void LocalHttpServer::redirect(const QByteArray& path, const QByteArray& location) {
    Responses.insert(path, {302, {}, location, false});
}
void LocalHttpServer::neverAnswer(const QByteArray& path) {
    Responses.insert(path, {0, {}, {}, true});
}

void LocalHttpServer::answer(QTcpSocket& socket, const QByteArray& request) {
    // "GET <path> HTTP/1.1"
    const QByteArrayList requestLine = request.left(request.indexOf("\r\n")).split(' ');
    const QByteArray path = requestLine.value(1);
    Paths.append(path);
    const Response response = Responses.value(path);
    if (response.silent)
        return;
    QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + " Canned\r\n";
    if (!response.location.isEmpty())
        head += "Location: " + response.location + "\r\n";
    head += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\nConnection: close\r\n\r\n";
    socket.write(head + response.body);
    socket.disconnectFromHost();
}

#pragma once

#include <QByteArrayList>
#include <QHash>
#include <QTcpServer>
#include <QTcpSocket>

#include <memory>

// An HTTP server on 127.0.0.1 for downloads in tests. It answers each request
// from a table of canned responses by path (404 for any other path), closes
// the connection after each answer, and records the paths it was asked for
// exactly as they came in the request line.
class LocalHttpServer : public QObject {
public:
    LocalHttpServer() {
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

    // "http://127.0.0.1:<port>"
    QString baseUrl() const { return QStringLiteral("http://127.0.0.1:%1").arg(Server.serverPort()); }
    // Status 0: the request is accepted and never answered. A location makes it a
    // redirect.
    void respond(const QByteArray& path, int status, const QByteArray& body = {},
                 const QByteArray& location = {}) {
        Responses.insert(path, {status, body, location});
    }
    const QByteArrayList& requestPaths() const { return Paths; }

private:
    struct Response {
        int status = 404;
        QByteArray body;
        QByteArray location;
    };
    void answer(QTcpSocket& socket, const QByteArray& request) {
        // "GET <path> HTTP/1.1"
        const QByteArray path = request.left(request.indexOf("\r\n")).split(' ').value(1);
        Paths.append(path);
        const Response response = Responses.value(path);
        if (response.status == 0)
            return;
        QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + " Canned\r\n";
        if (!response.location.isEmpty())
            head += "Location: " + response.location + "\r\n";
        head +=
            "Content-Length: " + QByteArray::number(response.body.size()) + "\r\nConnection: close\r\n\r\n";
        socket.write(head + response.body);
        socket.disconnectFromHost();
    }

    QTcpServer Server;
    QHash<QByteArray, Response> Responses;
    QByteArrayList Paths;
};

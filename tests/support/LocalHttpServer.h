#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QHash>
#include <QTcpServer>

// An HTTP server on 127.0.0.1 for downloads in tests. It answers each request
// from a table of canned responses by path (404 for any other path), closes
// the connection after each answer, and records the paths it was asked for
// exactly as they came in the request line.
class LocalHttpServer : public QObject {
    Q_OBJECT
public:
    LocalHttpServer();

    // "http://127.0.0.1:<port>"
    QString baseUrl() const;

    void respond(const QByteArray& path, int status, const QByteArray& body);
    void redirect(const QByteArray& path, const QByteArray& location);
    // Accepts the request and never answers it.
    void neverAnswer(const QByteArray& path);

    const QByteArrayList& requestPaths() const { return Paths; }

private:
    struct Response {
        int status = 404;
        QByteArray body;
        QByteArray location;
        bool silent = false;
    };
    void answer(QTcpSocket& socket, const QByteArray& request);

    QTcpServer Server;
    QHash<QByteArray, Response> Responses;
    QByteArrayList Paths;
};

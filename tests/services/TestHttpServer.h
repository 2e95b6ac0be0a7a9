#pragma once
// A plain HTTP server on 127.0.0.1 for the update-check tests.
#include <QHostAddress>
#include <QList>
#include <QTcpServer>
#include <QTcpSocket>

#include <functional>
#include <map>
#include <memory>
#include <optional>

// A plain HTTP server on 127.0.0.1, answering each request with what Respond
// returns (nothing: the connection stays open and silent).
class TestHttpServer {
public:
    struct Request {
        QByteArray method, target;
        std::map<QByteArray, QByteArray> headers; // names in lower case
    };

    TestHttpServer()
    {
        server_.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server_, &QTcpServer::newConnection, [this] { Accept(); });
    }

    QString Base() const { return QStringLiteral("http://127.0.0.1:%1").arg(server_.serverPort()); }

    static QByteArray Ok(const QByteArray& body, bool announceLength = true)
    {
        QByteArray head = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nConnection: close\r\n";
        if (announceLength)
            head += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
        return head + "\r\n" + body;
    }
    static QByteArray Status(const QByteArray& line, const QByteArray& extraHeaders = {})
    {
        return "HTTP/1.1 " + line + "\r\n" + extraHeaders + "Content-Length: 0\r\nConnection: close\r\n\r\n";
    }

    std::function<std::optional<QByteArray>(const Request&)> Respond;
    QList<Request> Requests;

private:
    void Accept()
    {
        while (QTcpSocket* socket = server_.nextPendingConnection()) {
            socket->setParent(&server_);
            auto buffer = std::make_shared<QByteArray>();
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, buffer] {
                *buffer += socket->readAll();
                const qsizetype end = buffer->indexOf("\r\n\r\n");
                if (end < 0 || socket->property("answered").toBool())
                    return;
                socket->setProperty("answered", true); // one request per connection
                const Request request = Parse(buffer->left(end));
                buffer->remove(0, end + 4);
                Requests.append(request);
                const std::optional<QByteArray> answer = Respond ? Respond(request) : std::nullopt;
                if (!answer)
                    return;
                socket->write(*answer);
                QObject::connect(socket, &QTcpSocket::bytesWritten, socket, [socket] {
                    if (socket->bytesToWrite() == 0)
                        socket->disconnectFromHost();
                });
            });
        }
    }

    static Request Parse(const QByteArray& head)
    {
        Request request;
        const QList<QByteArray> lines = head.split('\n');
        const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
        request.method = first.value(0);
        request.target = first.value(1);
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const qsizetype colon = lines[i].indexOf(':');
            if (colon > 0)
                request.headers[lines[i].left(colon).trimmed().toLower()] = lines[i].mid(colon + 1).trimmed();
        }
        return request;
    }

    QTcpServer server_;
};

#include "preview/static_file_server.h"

#include <QAbstractHttpServer>
#include <QFile>
#include <QHostAddress>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QTcpServer>

#include <filesystem>
#include <system_error>

#include "preview/request_path.h"

namespace tavlin {

class StaticFileServer::Server : public QAbstractHttpServer {
public:
    explicit Server(const std::string& root) : root_(root) {}

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override {
        QHttpServerResponder responder = makeResponder(request, socket);
        using Status = QHttpServerResponder::StatusCode;
        const bool head = request.method() == QHttpServerRequest::Method::Head;
        if (!head && request.method() != QHttpServerRequest::Method::Get) {
            responder.write(QByteArray("Only GET and HEAD are served.\n"),
                            {{"Content-Type", "text/plain; charset=utf-8"}, {"Allow", "GET, HEAD"}},
                            Status::MethodNotAllowed);
            return true;
        }
        // The path still encoded: decoding is the resolver's job, so that
        // "%2e%2e" and ".." are judged alike.
        const std::string path = request.url().path(QUrl::FullyEncoded).toStdString();
        std::optional<std::string> file = resolveRequestPath(root_, path);
        auto missing = [&] {
            QByteArray body = head ? QByteArray() : QByteArray("Not found.\n");
            responder.write(body, {{"Content-Type", "text/plain; charset=utf-8"}}, Status::NotFound);
        };
        if (!file) {
            missing();
            return true;
        }
        auto input = std::make_unique<QFile>(QString::fromStdString(*file));
        if (!input->open(QIODevice::ReadOnly)) {
            missing();
            return true;
        }
        const QByteArray type = QByteArray::fromStdString(contentTypeFor(*file));
        if (head) {
            responder.writeStatusLine(Status::Ok);
            responder.writeHeader("Content-Type", type);
            responder.writeHeader("Content-Length", QByteArray::number(input->size()));
            responder.writeHeader("Cache-Control", "no-cache");
            responder.writeHeader("X-Content-Type-Options", "nosniff");
            responder.writeBody(QByteArray());
            return true;
        }
        // A publication changes under the preview each time it is published
        // again, so the browser must ask every time.
        responder.write(input.release(),
                        {{"Content-Type", type}, {"Cache-Control", "no-cache"}, {"X-Content-Type-Options", "nosniff"}},
                        Status::Ok);
        return true;
    }

    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override {
        makeResponder(request, socket).write(QHttpServerResponder::StatusCode::NotFound);
    }

private:
    std::string root_;
};

StaticFileServer::StaticFileServer(std::string folder) : folder_(std::move(folder)) {}

StaticFileServer::~StaticFileServer() = default;

Result<uint16_t> StaticFileServer::listen(uint16_t port) {
    if (server_) return Result<uint16_t>::failure(Failure::Unsupported, "the server is already listening");
    std::error_code ec;
    std::filesystem::path root = std::filesystem::canonical(folder_, ec);
    if (ec || !std::filesystem::is_directory(root, ec))
        return Result<uint16_t>::failure(Failure::CannotRead, "\"" + folder_ + "\" is not a folder that can be read");
    auto tcp = std::make_unique<QTcpServer>();
    // Loopback only: a preview is for this machine's browser, not the network.
    if (!tcp->listen(QHostAddress::LocalHost, port))
        return Result<uint16_t>::failure(Failure::Unsupported, "cannot listen on 127.0.0.1 port " + std::to_string(port) +
                                                                   ": " + tcp->errorString().toStdString());
    root_ = root.string();
    port_ = tcp->serverPort();
    server_ = std::make_unique<Server>(root_);
    server_->bind(tcp.release());  // the HTTP server takes the TCP server as its child
    return port_;
}

std::string StaticFileServer::address() const {
    return port_ ? "http://127.0.0.1:" + std::to_string(port_) + "/" : std::string();
}

}  // namespace tavlin

// The preview server against real clients: raw HTTP over a socket for the
// hostile paths (a client library would tidy "../" away before sending) and
// Qt's network access manager for ordinary downloads.

#include <QEventLoop>
#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkInterface>
#include <QNetworkReply>
#include <QTcpSocket>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "preview/static_file_server.h"
#include "support/scratch.h"

namespace tavlin {
namespace {

namespace fs = std::filesystem;
using test::ScratchDir;

struct Reply {
    int status = 0;
    std::map<std::string, std::string> headers;  // names in lower case
    std::string body;
    bool connected = false;
};

// Sends `request` as it is and reads until the server closes or 5 s pass,
// keeping the event loop turning so the server in this thread can answer.
Reply rawRequest(uint16_t port, const std::string& request, const QHostAddress& host = QHostAddress::LocalHost) {
    QTcpSocket socket;
    QByteArray data;
    QEventLoop loop;
    Reply reply;
    QObject::connect(&socket, &QTcpSocket::connected, [&] {
        reply.connected = true;
        socket.write(QByteArray::fromStdString(request));
    });
    // The server may keep the connection open: stop once the whole answer is in.
    const bool headOnly = request.rfind("HEAD ", 0) == 0;
    QObject::connect(&socket, &QTcpSocket::readyRead, [&] {
        data += socket.readAll();
        qsizetype end = data.indexOf("\r\n\r\n");
        if (end < 0) return;
        QByteArray lower = data.left(end).toLower();
        qsizetype at = lower.indexOf("\r\ncontent-length:");
        qsizetype length = at < 0 ? 0 : lower.mid(at + 17, lower.indexOf("\r\n", at + 2) - at - 17).trimmed().toLongLong();
        if (headOnly || data.size() - end - 4 >= length) loop.quit();
    });
    QObject::connect(&socket, &QTcpSocket::disconnected, &loop, &QEventLoop::quit);
    QObject::connect(&socket, &QTcpSocket::errorOccurred, &loop, [&](QAbstractSocket::SocketError e) {
        if (e != QAbstractSocket::RemoteHostClosedError) loop.quit();
    });
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    socket.connectToHost(host, port);
    loop.exec();
    data += socket.readAll();
    std::string text = data.toStdString();
    size_t end = text.find("\r\n\r\n");
    if (end == std::string::npos) return reply;
    std::string head = text.substr(0, end);
    reply.body = text.substr(end + 4);
    size_t lineEnd = head.find("\r\n");
    std::string status = head.substr(0, lineEnd);
    if (status.size() > 12) reply.status = std::stoi(status.substr(9, 3));
    while (lineEnd != std::string::npos) {
        size_t next = head.find("\r\n", lineEnd + 2);
        std::string line = head.substr(lineEnd + 2, next == std::string::npos ? std::string::npos : next - lineEnd - 2);
        size_t colon = line.find(':');
        if (colon != std::string::npos) {
            std::string name = line.substr(0, colon);
            for (char& c : name) c = char(std::tolower(static_cast<unsigned char>(c)));
            reply.headers[name] = line.substr(line.find_first_not_of(' ', colon + 1));
        }
        lineEnd = next;
    }
    return reply;
}

Reply get(uint16_t port, const std::string& target, const std::string& method = "GET") {
    return rawRequest(port, method + " " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
}

class PreviewServer : public ::testing::Test {
protected:
    void SetUp() override {
        // The served folder, with a secret beside it that must stay out of reach.
        root = scratch.file("site");
        fs::create_directories(root + "/sub");
        fs::create_directories(scratch.file("outside"));
        scratch.write("secret.txt", "SECRET-BESIDE");
        scratch.write("outside/secret.txt", "SECRET-OUTSIDE");
        scratch.write("site/index.html", "<!DOCTYPE html><p>page</p>\n");
        scratch.write("site/tavlin.js", "console.log('viewer');\n");
        scratch.write("site/sub/v0s0.jpg", std::string("\xFF\xD8\xFF\xE0jpeg", 8));
        scratch.write("site/my page.txt", "spaced\n");
        scratch.write("site/a0.au", ".snd");
        fs::create_symlink(scratch.file("secret.txt"), root + "/link-out.txt");
        fs::create_symlink(scratch.file("outside"), root + "/dir-out");
        fs::create_symlink(root + "/tavlin.js", root + "/link-in.js");
        fs::create_symlink("/", root + "/rootlink");
        // Several megabytes, so the file goes out in many pieces.
        std::string big(3 * 1024 * 1024 + 17, '\0');
        for (size_t i = 0; i < big.size(); ++i) big[i] = char((i * 2654435761u) >> 24);
        scratch.write("site/big.jar", big);
        ASSERT_TRUE(server.listen().ok());
        port = server.port();
    }

    ScratchDir scratch;
    std::string root;
    StaticFileServer server{scratch.path() + "/site"};
    uint16_t port = 0;
};

TEST_F(PreviewServer, ServesFilesWithTheirTypesAndNothingElse) {
    EXPECT_EQ(server.address(), "http://127.0.0.1:" + std::to_string(port) + "/");
    struct Case {
        const char* target;
        int status;
        const char* type;
        const char* body;
    } cases[] = {
        {"/", 200, "text/html; charset=utf-8", "<!DOCTYPE html><p>page</p>\n"},
        {"/index.html", 200, "text/html; charset=utf-8", "<!DOCTYPE html><p>page</p>\n"},
        {"/index.html?v=2#x", 200, "text/html; charset=utf-8", nullptr},
        {"/tavlin.js", 200, "text/javascript; charset=utf-8", "console.log('viewer');\n"},
        {"/sub/v0s0.jpg", 200, "image/jpeg", nullptr},
        {"/a0.au", 200, "audio/basic", ".snd"},
        {"/my%20page.txt", 200, "text/plain; charset=utf-8", "spaced\n"},
        {"/link-in.js", 200, "text/javascript; charset=utf-8", "console.log('viewer');\n"},
        // No listings, and no guessing.
        {"/sub/", 404, nullptr, nullptr},
        {"/sub", 404, nullptr, nullptr},
        {"/missing.txt", 404, nullptr, nullptr},
        {"/index.html%00.txt", 404, nullptr, nullptr},
        {"/index.html%", 404, nullptr, nullptr},
        {"/index%zz.html", 404, nullptr, nullptr},
    };
    for (const Case& c : cases) {
        Reply r = get(port, c.target);
        EXPECT_EQ(r.status, c.status) << c.target;
        if (c.type) {
            EXPECT_EQ(r.headers["content-type"], c.type) << c.target;
        }
        if (c.body) {
            EXPECT_EQ(r.body, c.body) << c.target;
        }
        if (c.status == 200) {
            EXPECT_EQ(r.headers["content-length"], std::to_string(r.body.size())) << c.target;
        }
    }
}

TEST_F(PreviewServer, NoPathLeadsOutOfTheFolder) {
    const char* hostile[] = {
        "/../secret.txt",
        "/sub/../../secret.txt",
        "/%2e%2e/secret.txt",
        "/%2E%2E/secret.txt",
        "/.%2e/secret.txt",
        "/%2e%2e%2fsecret.txt",
        "/..%2Fsecret.txt",
        "/..%5csecret.txt",
        "/..\\secret.txt",
        "/%252e%252e/secret.txt",
        "/./../secret.txt",
        "/sub/./../../outside/secret.txt",
        "//../secret.txt",
        "/link-out.txt",
        "/dir-out/secret.txt",
        "/rootlink/etc/passwd",
        "/etc/passwd",
        "//etc/passwd",
        "http://127.0.0.1/../secret.txt",
        "/%2fetc%2fpasswd",
    };
    const std::string secretBeside = "SECRET-BESIDE", secretOutside = "SECRET-OUTSIDE";
    for (const char* target : hostile) {
        for (const char* method : {"GET", "HEAD"}) {
            Reply r = get(port, target, method);
            EXPECT_EQ(r.status, 404) << method << " " << target;
            EXPECT_EQ(r.body.find(secretBeside), std::string::npos) << target;
            EXPECT_EQ(r.body.find(secretOutside), std::string::npos) << target;
            EXPECT_EQ(r.body.find("root:"), std::string::npos) << target;
        }
    }
}

TEST_F(PreviewServer, HeadTellsTheSizeWithoutTheBodyAndOtherMethodsAreRefused) {
    Reply head = get(port, "/big.jar", "HEAD");
    EXPECT_EQ(head.status, 200);
    EXPECT_EQ(head.headers["content-type"], "application/java-archive");
    EXPECT_EQ(head.headers["content-length"], std::to_string(fs::file_size(root + "/big.jar")));
    EXPECT_TRUE(head.body.empty()) << head.body.size();
    for (const char* method : {"POST", "PUT", "DELETE"}) {
        Reply r = get(port, "/index.html", method);
        EXPECT_EQ(r.status, 405) << method;
        EXPECT_EQ(r.headers["allow"], "GET, HEAD") << method;
    }
    EXPECT_TRUE(fs::exists(root + "/index.html"));
}

TEST_F(PreviewServer, AClientLibraryDownloadsLargeFilesWhole) {
    QNetworkAccessManager manager;
    QNetworkReply* reply = manager.get(QNetworkRequest(QUrl(QString::fromStdString(server.address() + "big.jar"))));
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    loop.exec();
    ASSERT_TRUE(reply->isFinished());
    EXPECT_EQ(reply->error(), QNetworkReply::NoError) << reply->errorString().toStdString();
    EXPECT_EQ(reply->readAll().toStdString(), test::readAll(root + "/big.jar"));
    reply->deleteLater();
}

TEST_F(PreviewServer, ListensOnLoopbackOnlyAndReportsWhatItCannotDo) {
    // Every other address of this machine refuses the port.
    int tried = 0;
    for (const QHostAddress& a : QNetworkInterface::allAddresses()) {
        if (a.isLoopback() || a.protocol() != QAbstractSocket::IPv4Protocol) continue;
        ++tried;
        Reply r = rawRequest(port, "GET / HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n", a);
        EXPECT_FALSE(r.connected) << a.toString().toStdString();
    }
    if (tried == 0) std::printf("(no other IPv4 address to try)\n");

    StaticFileServer same(root);
    Result<uint16_t> busy = same.listen(port);
    ASSERT_FALSE(busy.ok());
    EXPECT_NE(busy.reason().find(std::to_string(port)), std::string::npos) << busy.reason();

    StaticFileServer gone(scratch.file("no-such-folder"));
    Result<uint16_t> none = gone.listen();
    ASSERT_FALSE(none.ok());
    EXPECT_NE(none.reason().find("no-such-folder"), std::string::npos) << none.reason();
    StaticFileServer file(root + "/index.html");
    EXPECT_FALSE(file.listen().ok());
}

}  // namespace
}  // namespace tavlin

#pragma once
// A small web server for one folder, on 127.0.0.1 only: GET and HEAD of the
// files inside it, with their content types. Nothing outside the folder is
// reachable (see request_path.h) and no folder is ever listed. It serves from
// the Qt event loop of the thread that made it, as long as it lives.

#include <cstdint>
#include <memory>
#include <string>

#include "base/result.h"

namespace tavlin {

class StaticFileServer {
public:
    explicit StaticFileServer(std::string folder);
    ~StaticFileServer();
    StaticFileServer(const StaticFileServer&) = delete;
    StaticFileServer& operator=(const StaticFileServer&) = delete;

    // Starts listening on 127.0.0.1 at `port` (0: a free one); the port, or
    // why the folder cannot be served or the port cannot be used.
    Result<uint16_t> listen(uint16_t port = 0);
    bool listening() const { return port_ != 0; }
    uint16_t port() const { return port_; }
    // "http://127.0.0.1:PORT/" once listening.
    std::string address() const;
    // The folder as it is served (links resolved).
    const std::string& folder() const { return root_; }

private:
    class Server;
    std::string folder_;
    std::string root_;
    uint16_t port_ = 0;
    std::unique_ptr<Server> server_;
};

}  // namespace tavlin

// tavlin serve: a published folder over HTTP on 127.0.0.1, so that a browser
// can play it (browsers refuse the viewer's reads from file:// pages). Prints
// the page's address on the first line and serves until it is stopped.

#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "base/paths.h"
#include "cli/commands.h"
#include "preview/static_file_server.h"

namespace tavlin::cli {

namespace {

const char kUsage[] = "usage: tavlin serve OUTDIR [--port N]";

}  // namespace

int serveCommand(const Args& args) {
    std::vector<std::string> words;
    long port = 0;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--port") {
            if (i + 1 >= args.size()) return fail("serve", kUsage);
            const std::string& v = args[++i];
            char* end = nullptr;
            port = std::strtol(v.c_str(), &end, 10);
            if (v.empty() || *end || port < 0 || port > 65535) return fail(v, "not a port from 0 to 65535");
        } else if (!a.empty() && a[0] == '-' && a.size() > 1) {
            return fail(a, "unknown option (see tavlin --help)");
        } else {
            words.push_back(a);
        }
    }
    if (words.size() != 1) return fail("serve", kUsage);
    if (!isDirectory(words[0])) return fail(words[0], "not a folder");

    static int argc = 1;
    static char name[] = "tavlin";
    static char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    StaticFileServer server(words[0]);
    Result<uint16_t> listening = server.listen(uint16_t(port));
    if (!listening) return fail(words[0], listening.reason());
    std::string page = fileExists(joinPath(server.folder(), "index.html")) ? "index.html" : "";
    std::printf("%s%s\n", server.address().c_str(), page.c_str());
    std::fflush(stdout);
    std::fprintf(stderr, "tavlin: serving %s on 127.0.0.1 until stopped (Ctrl+C)\n", server.folder().c_str());
    return app.exec();
}

}  // namespace tavlin::cli

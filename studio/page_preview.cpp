#include "studio/page_preview.h"

#include <QCoreApplication>

#include <filesystem>
#include <map>
#include <memory>
#include <system_error>

#include "core/prompts.h"
#include "core/resource_folder.h"
#include "preview/static_file_server.h"
#include "ui/platform.h"

namespace tavlin {

namespace {

using Servers = std::map<std::string, std::unique_ptr<StaticFileServer>>;
Servers* servers = nullptr;

// The servers are Qt objects: they go with the application, not at exit.
Servers& allServers() {
    if (!servers) {
        servers = new Servers;
        qAddPostRoutine([] {
            delete servers;
            servers = nullptr;
        });
    }
    return *servers;
}

}  // namespace

std::string previewAddress(const std::string& folder, std::string* why) {
    std::error_code ec;
    std::string key = std::filesystem::weakly_canonical(folder, ec).string();
    if (ec || key.empty()) key = folder;
    Servers& all = allServers();
    auto it = all.find(key);
    if (it == all.end()) {
        auto server = std::make_unique<StaticFileServer>(key);
        Result<uint16_t> listening = server->listen();
        if (!listening) {
            if (why) *why = listening.reason();
            return {};
        }
        it = all.emplace(key, std::move(server)).first;
    }
    return it->second->address() + "index.html";
}

bool previewPublishedPage(const std::string& folder) {
    std::string why;
    std::string address = previewAddress(folder, &why);
    if (address.empty()) {
        ShowMessage("%s\n\n%s", resources().StringCopy("e_cant_preview").c_str(), why.c_str());
        return false;
    }
    return OpenWithShell(address);
}

}  // namespace tavlin

#pragma once
// Published pages are shown through a web server on 127.0.0.1: a browser
// will not let the viewer read its own files from a file:// page. One server
// per folder, started on first use at a free port and kept until the studio
// ends, so an open browser tab goes on working.

#include <string>

namespace tavlin {

// "http://127.0.0.1:PORT/index.html" for the folder's page, or empty with
// the reason in `why` when the folder cannot be served.
std::string previewAddress(const std::string& folder, std::string* why = nullptr);

// Opens the folder's page in the desktop's browser through its server; a
// folder that cannot be served is reported to the user. True when opened.
bool previewPublishedPage(const std::string& folder);

}  // namespace tavlin

#include "app/Startup.h"

#include <filesystem>
#include <system_error>

#include "app/Document.h"

namespace zelk {

std::string FindFileArgument(const std::vector<std::string>& args) {
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.empty() || a[0] == '-') continue;
        return a;
    }
    return std::string();
}

StartupResult RunStartup(CZELKDoc& doc, const std::vector<std::string>& args) {
    Platform& pf = doc.platform;
    StartupResult result;
    const std::intptr_t previousForeground = pf.GetForegroundWindow();

    result.file = FindFileArgument(args);
    if (!result.file.empty()) {
        // The document is opened with the file's full path, as every later open is.
        std::error_code ec;
        const std::filesystem::path full = std::filesystem::absolute(result.file, ec);
        if (!ec) result.file = full.lexically_normal().string();
    }
    result.ok = result.file.empty() ? doc.OnNewDocument() : doc.OnOpenDocument(result.file);
    if (!result.ok) {
        // The application ends; a failure must not be reported as success.
        if (doc.iExitCode == 0) doc.iExitCode = 1;
        return result;
    }

    if (!result.file.empty()) {
        pf.ShowMainWindow(false);
        pf.SetForegroundWindow(previousForeground);
    } else {
        pf.ShowMainWindow(true);
    }
    pf.RedrawAllViews();
    return result;
}

}  // namespace zelk

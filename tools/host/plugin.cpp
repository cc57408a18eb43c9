#include "tools/host/plugin.h"

#include <string>

#include "tools/disk/file_reading.h"
#include "tools/system/library.h"
#include "tools/system/terminal.h"

std::filesystem::path DefaultPluginPath() {
    return BesideExecutable(QBT_PLUGIN_FROM_INSTALLED_EXECUTABLE, QBT_PLUGIN_FROM_EXECUTABLE);
}

namespace {

template <typename Function>
void Find(void* library, const char* name, Function& function, std::string& missing) {
    function = reinterpret_cast<Function>(FindExport(library, name));
    if (function == nullptr) missing += missing.empty() ? name : std::string(", ") + name;
}

}  // namespace

Result<Plugin> LoadPlugin(const std::filesystem::path& path) {
    // An absolute path, so that the loader never searches its library path for a bare name.
    const std::filesystem::path absolutePath = std::filesystem::absolute(path);
    const Result<void*> opened = OpenLibrary(absolutePath);
    if (!opened.Ok()) {
        return Failure{
            FailureKind::kPluginUnusable,
            "cannot load the plug-in " + PathToTerminal(path) + ": " + opened.Why().message};
    }
    void* const library = *opened;
    Plugin plugin{};
    std::string missing;
    Find(library, "GetPluginVersion", plugin.GetPluginVersion, missing);
    Find(library, "GetPluginAuthor", plugin.GetPluginAuthor, missing);
    Find(library, "GetPluginInfo", plugin.GetPluginInfo, missing);
    Find(library, "GetMaker", plugin.GetMaker, missing);
    Find(library, "GetTitle", plugin.GetTitle, missing);
    Find(library, "GetSaveInfo", plugin.GetSaveInfo, missing);
    Find(library, "GetMediaInfo", plugin.GetMediaInfo, missing);
    Find(library, "GetCountry", plugin.GetCountry, missing);
    Find(library, "GetImgNum", plugin.GetImgNum, missing);
    if (!missing.empty()) {
        return Failure{FailureKind::kPluginUnusable,
                       PathToTerminal(path) +
                           " is not a complete list plug-in: it does not export " + missing};
    }
    return plugin;
}

// Loading the built plug-in as a host does: by file name, every export looked up by name.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "plugin/exports.h"

namespace {

struct LibraryCloser {
    void operator()(void* library) const { dlclose(library); }
};

TEST(Loading, EveryExportIsFoundByNameAndAnswers) {
    const std::unique_ptr<void, LibraryCloser> library(dlopen(QBT_PLUGIN_PATH, RTLD_NOW));
    ASSERT_TRUE(library) << dlerror();
    for (const char* name :
         {"GetCountry", "GetImgNum", "GetMaker", "GetMediaInfo", "GetPluginAuthor", "GetPluginInfo",
          "GetPluginVersion", "GetSaveInfo", "GetTitle"}) {
        EXPECT_NE(dlsym(library.get(), name), nullptr) << name;
    }

    using VersionExport = decltype(&GetPluginVersion);
    using TitleExport = decltype(&GetTitle);
    const auto version = reinterpret_cast<VersionExport>(dlsym(library.get(), "GetPluginVersion"));
    const auto title = reinterpret_cast<TitleExport>(dlsym(library.get(), "GetTitle"));
    ASSERT_NE(version, nullptr);
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(version(), 101);

    const char* list = "<GAME><ROMCRC>0000BEEF</ROMCRC><TITLE>Loaded</TITLE></GAME>";
    char buffer[16];
    char* out = buffer;
    const int32_t size = title(list, "beef", 0, nullptr, 0);
    ASSERT_EQ(size, 7);
    EXPECT_EQ(title(list, "beef", 0, &out, size), 6);
    EXPECT_STREQ(buffer, "Loaded");
}

}  // namespace

// The DLL as the 32-bit host uses it: loaded by module name through the Win32 loader, each export
// found by name and by ordinal, and called through __cdecl pointers with a size query first and
// then a copy into a buffer of that size. Nothing here links the DLL.
#include <gtest/gtest.h>
#include <windows.h>
#include <winver.h>

#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

#include "plugin/exports.h"
#include "tests/misaligned_stack.h"
#include "tests/support/game_list_generator.h"

namespace {

// The declarations give the types (__cdecl included); the functions come from GetProcAddress.
using VersionExport = decltype(&GetPluginVersion);
using IdentityExport = decltype(&GetPluginAuthor);
using TextExport = decltype(&GetTitle);
using NumberExport = decltype(&GetImgNum);

constexpr const char* kModuleName = "Quillbridge_to_Tamberlow.dll";

// In ordinal order: the export table numbers the names alphabetically from 1.
constexpr const char* kExportNames[] = {"GetCountry",       "GetImgNum",       "GetMaker",
                                        "GetMediaInfo",     "GetPluginAuthor", "GetPluginInfo",
                                        "GetPluginVersion", "GetSaveInfo",     "GetTitle"};

class LoadedPlugin : public testing::Test {
protected:
    static void SetUpTestSuite() { module_ = LoadLibraryA(kModuleName); }
    static void TearDownTestSuite() {
        if (module_ != nullptr) FreeLibrary(module_);
    }
    void SetUp() override {
        ASSERT_NE(module_, nullptr) << kModuleName << " did not load, error " << GetLastError();
    }

    template <typename Export>
    static Export Find(const char* name) {
        return reinterpret_cast<Export>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
    }

    // Size query, then a copy into a buffer of exactly that size, as the host asks.
    static std::string Ask(TextExport query, const std::string& list, const char* key) {
        const int32_t size = query(list.c_str(), key, 0, nullptr, 0);
        if (size <= 0) {
            ADD_FAILURE() << "size query gave " << size;
            return "";
        }
        std::vector<char> buffer(static_cast<std::size_t>(size), '#');
        char* out = buffer.data();
        const int32_t length = query(list.c_str(), key, 0, &out, size);
        EXPECT_EQ(length, size - 1);
        return std::string(buffer.data(), static_cast<std::size_t>(length > 0 ? length : 0));
    }

    static inline HMODULE module_ = nullptr;
};

std::string Utf8List(const std::string& elements) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<GAMES>\n<GAME>\n"
           "  <ROMCRC>0BADF00D</ROMCRC>\n  " +
           elements + "\n</GAME>\n</GAMES>\n";
}

TEST_F(LoadedPlugin, IsFoundByItsModuleName) {
    char path[MAX_PATH] = {};
    ASSERT_GT(GetModuleFileNameA(module_, path, MAX_PATH), 0U);
    const std::string loaded(path);
    EXPECT_EQ(loaded.substr(loaded.find_last_of("\\/") + 1), kModuleName);
    EXPECT_EQ(GetModuleHandleA(kModuleName), module_);
}

TEST_F(LoadedPlugin, EveryExportHasItsNameAndOrdinalAndIsCode) {
    for (WORD ordinal = 1; ordinal <= std::size(kExportNames); ++ordinal) {
        const char* name = kExportNames[ordinal - 1];
        const FARPROC byName = GetProcAddress(module_, name);
        const FARPROC byOrdinal = GetProcAddress(module_, MAKEINTRESOURCEA(ordinal));
        ASSERT_NE(byName, nullptr) << name;
        EXPECT_EQ(byOrdinal, byName) << name << " is not ordinal " << ordinal;

        MEMORY_BASIC_INFORMATION memory = {};
        ASSERT_NE(VirtualQuery(reinterpret_cast<void*>(byName), &memory, sizeof memory), 0U);
        EXPECT_TRUE(memory.Protect & (PAGE_EXECUTE_READ | PAGE_EXECUTE | PAGE_EXECUTE_WRITECOPY))
            << name << " is not code";
    }
    EXPECT_EQ(GetProcAddress(module_, MAKEINTRESOURCEA(10)), nullptr) << "a tenth export";
    EXPECT_EQ(GetProcAddress(module_, "_GetTitle"), nullptr) << "decorated name";
    EXPECT_EQ(GetProcAddress(module_, "GetTitle@20"), nullptr) << "decorated name";
}

// Bytes an export leaves on the stack after being called with `argumentCount` zero arguments: a
// __cdecl function leaves them all for its caller to pop; one that pops them itself would
// unbalance a host's stack. The pushes leave the stack aligned to 4 bytes only, as hosts built
// by other compilers may call.
std::uintptr_t ArgumentBytesLeftForCaller(FARPROC function, int argumentCount) {
    std::uintptr_t left = 0;
    asm volatile(
        "movl %%esp, %%esi\n\t"
        "1:\n\t"
        "testl %%ecx, %%ecx\n\t"
        "jz 2f\n\t"
        "pushl $0\n\t"
        "decl %%ecx\n\t"
        "jmp 1b\n\t"
        "2:\n\t"
        "call *%%ebx\n\t"
        "movl %%esi, %%edx\n\t"
        "subl %%esp, %%edx\n\t"
        "movl %%esi, %%esp\n\t"
        : "=d"(left), "+c"(argumentCount)
        : "b"(function)
        : "eax", "esi", "memory", "cc");
    return left;
}

TEST_F(LoadedPlugin, ExportsLeaveTheirArgumentsForTheCallerToPop) {
    // Zero arguments are harmless everywhere: a size query, or a null list (ErrBadArgument).
    const int argumentCounts[] = {5, 3, 5, 5, 2, 2, 0, 5, 5};
    for (std::size_t i = 0; i < std::size(kExportNames); ++i) {
        const FARPROC function = GetProcAddress(module_, kExportNames[i]);
        ASSERT_NE(function, nullptr) << kExportNames[i];
        EXPECT_EQ(ArgumentBytesLeftForCaller(function, argumentCounts[i]),
                  static_cast<std::uintptr_t>(argumentCounts[i]) * 4)
            << kExportNames[i];
    }
}

TEST_F(LoadedPlugin, IdentityAsTheHostReadsIt) {
    const auto version = Find<VersionExport>("GetPluginVersion");
    const auto info = Find<IdentityExport>("GetPluginInfo");
    const auto author = Find<IdentityExport>("GetPluginAuthor");
    ASSERT_TRUE(version && info && author);
    EXPECT_EQ(version(), 101);

    ASSERT_EQ(info(nullptr, 0), 44);
    char description[44];
    char* out = description;
    ASSERT_EQ(info(&out, sizeof description), 43);
    EXPECT_EQ(std::string(description, 44),
              std::string("Quillbridge"
                          "\x97\x70\x82\xCC\x83\x8A\x83\x6C\x81\x5B\x83\x80\x83\x66\x81\x5B"
                          "\x83\x5E\x82\xF0\x94\x71\x8E\xD8\x82\xB5\x82\xDC\x82\xB7\x81\x42",
                          44));

    const int32_t authorSize = author(nullptr, 0);
    ASSERT_GT(authorSize, 1);
    std::vector<char> credit(static_cast<std::size_t>(authorSize));
    out = credit.data();
    EXPECT_EQ(author(&out, authorSize), authorSize - 1);
    EXPECT_NE(std::string(credit.data()).find(" - "), std::string::npos);
}

TEST_F(LoadedPlugin, JapaneseTitleFromAUtf8ListComesBackInCodePage932) {
    ASSERT_EQ(GetACP(), 932U) << "run under Wine with LC_ALL=ja_JP.UTF-8";
    const auto title = Find<TextExport>("GetTitle");
    ASSERT_NE(title, nullptr);
    const std::string list = Utf8List("<TITLE>\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88</TITLE>");
    EXPECT_EQ(Ask(title, list, "0badf00d"), "\x83\x65\x83\x58\x83\x67");  // テスト
}

TEST_F(LoadedPlugin, EveryFieldExportAnswers) {
    const std::string list = Utf8List(
        "<PUBLISHER>Maker &amp; Co</PUBLISHER><SAVETYPE>SRAM</SAVETYPE><LOCATION>7</LOCATION>"
        "<ROMSIZE>16 Mbit</ROMSIZE><SOURCEROM>Cart</SOURCEROM><RELEASENUMBER>0042</RELEASENUMBER>"
        "<TITLE>Title</TITLE>");
    EXPECT_EQ(Ask(Find<TextExport>("GetMaker"), list, "0BADF00D"), "Maker & Co");
    EXPECT_EQ(Ask(Find<TextExport>("GetTitle"), list, "0BADF00D"), "Title");
    EXPECT_EQ(Ask(Find<TextExport>("GetSaveInfo"), list, "0BADF00D"), "SRAM");
    EXPECT_EQ(Ask(Find<TextExport>("GetCountry"), list, "0BADF00D"), "(J)");
    EXPECT_EQ(Ask(Find<TextExport>("GetMediaInfo"), list, "0BADF00D"),
              "RomSize:16 Mbit / SrcRom:Cart");
    EXPECT_EQ(Find<NumberExport>("GetImgNum")(list.c_str(), "0BADF00D", 0), 42);
}

// The codes as numbers, the way a host compiled without the header knows them. -1025 (memory
// exhausted) cannot be provoked from outside without starving the whole process.
TEST_F(LoadedPlugin, EveryResultCodeReachesTheHost) {
    const auto title = Find<TextExport>("GetTitle");
    const auto country = Find<TextExport>("GetCountry");
    const auto releaseNumber = Find<NumberExport>("GetImgNum");
    ASSERT_TRUE(title && country && releaseNumber);
    const std::string list = Utf8List("<LOCATION>26</LOCATION><RELEASENUMBER> 1</RELEASENUMBER>");

    EXPECT_EQ(title(list.c_str(), "12345678", 0, nullptr, 0), -512);
    EXPECT_EQ(title(list.c_str(), "0BADF00D", 0, nullptr, 0), -513);
    EXPECT_EQ(country(list.c_str(), "0BADF00D", 0, nullptr, 0), -768);
    EXPECT_EQ(releaseNumber(list.c_str(), "0BADF00D", 0), -769);
    EXPECT_EQ(title(nullptr, "0BADF00D", 0, nullptr, 0), -1024);
}

// Real lookups at each stack alignment a host built by another compiler may leave: a generated
// list of a megabyte, long enough for the searches' vector loops, and texts built so that the
// search changes mode (other anchors, dense mode, the automaton) before it finds its record.
TEST_F(LoadedPlugin, LooksUpOnAStackAlignedToFourBytes) {
    const auto title = Find<TextExport>("GetTitle");
    const auto releaseNumber = Find<NumberExport>("GetImgNum");
    ASSERT_TRUE(title && releaseNumber);
    const GeneratedList list = GenerateGameList(1 << 20);
    const std::vector<HostileList> hostile = GenerateHostileLists(64 << 10);
    // Answers at the alignment GCC keeps are the yardstick for the others.
    std::vector<std::string> expected;
    for (const std::string* key : {&list.keys.back(), &list.keys[list.keys.size() / 2]}) {
        expected.push_back(Ask(title, list.text, key->c_str()));
    }
    ASSERT_FALSE(expected[0].empty());
    const std::int32_t expectedNumber =
        releaseNumber(list.text.c_str(), list.keys.back().c_str(), 0);
    AtEveryStackAlignment([&] {
        EXPECT_EQ(Ask(title, list.text, list.keys.back().c_str()), expected[0]);
        EXPECT_EQ(Ask(title, list.text, list.keys[list.keys.size() / 2].c_str()), expected[1]);
        EXPECT_EQ(releaseNumber(list.text.c_str(), list.keys.back().c_str(), 0), expectedNumber);
        EXPECT_EQ(title(list.text.c_str(), kAbsentKey, 0, nullptr, 0), -512);
        for (const HostileList& text : hostile) {
            EXPECT_EQ(Ask(title, text.text, text.key.c_str()), "found") << text.name;
        }
    });
}

// The version resource, as Explorer's Properties and installers read it, in the DLL and in
// qbt.exe beside it.
class VersionResource : public LoadedPlugin {
protected:
    static std::string Field(const std::vector<char>& block, const char* name) {
        const std::string query = std::string("\\StringFileInfo\\040904B0\\") + name;
        void* value = nullptr;
        UINT length = 0;
        if (!VerQueryValueA(block.data(), query.c_str(), &value, &length) || length == 0) {
            return "<missing>";
        }
        return static_cast<const char*>(value);
    }

    static std::string AuthorCredit() {
        const auto author = Find<IdentityExport>("GetPluginAuthor");
        std::vector<char> credit(static_cast<std::size_t>(author(nullptr, 0)));
        char* out = credit.data();
        author(&out, static_cast<int32_t>(credit.size()));
        return credit.data();
    }

    static std::string BesideTheDll(const std::string& fileName) {
        char path[MAX_PATH] = {};
        GetModuleFileNameA(module_, path, MAX_PATH);
        const std::string dll(path);
        return dll.substr(0, dll.find_last_of("\\/") + 1) + fileName;
    }
};

TEST_F(VersionResource, NamesTheProjectVersionAndAuthorInTheDllAndTheTool) {
    const std::string credit = AuthorCredit();
    const struct {
        std::string fileName;
        DWORD fileType;
    } files[] = {{kModuleName, VFT_DLL}, {"qbt.exe", VFT_APP}};
    for (const auto& file : files) {
        SCOPED_TRACE(file.fileName);
        const std::string path = BesideTheDll(file.fileName);
        DWORD ignored = 0;
        const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
        ASSERT_GT(size, 0U) << "no version resource, error " << GetLastError();
        std::vector<char> block(size);
        ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, block.data()));

        VS_FIXEDFILEINFO* fixed = nullptr;
        UINT length = 0;
        ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
        ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
        EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDU);
        EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(QBT_VERSION_MINOR, QBT_VERSION_MAJOR));
        EXPECT_EQ(fixed->dwFileVersionLS, MAKELONG(0, QBT_VERSION_PATCH));
        EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
        EXPECT_EQ(fixed->dwProductVersionLS, fixed->dwFileVersionLS);
        EXPECT_EQ(fixed->dwFileType, file.fileType);

        EXPECT_EQ(Field(block, "FileVersion"), QBT_VERSION ".0");
        EXPECT_EQ(Field(block, "ProductVersion"), QBT_VERSION);
        EXPECT_EQ(Field(block, "ProductName"), "Quillbridge_to_Tamberlow");
        EXPECT_EQ(Field(block, "OriginalFilename"), file.fileName);
        EXPECT_EQ(Field(block, "InternalName"), file.fileName.substr(0, file.fileName.find('.')));
        EXPECT_GT(Field(block, "FileDescription").size(), 10U);
        // The company is the credit's name part; the copyright carries the whole credit.
        EXPECT_TRUE(credit.starts_with(Field(block, "CompanyName") + " - ")) << credit;
        EXPECT_NE(Field(block, "LegalCopyright").find(credit), std::string::npos);
    }
}

}  // namespace

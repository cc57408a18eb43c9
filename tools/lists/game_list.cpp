#include "tools/lists/game_list.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "tools/base/ascii.h"
#include "tools/disk/file_reading.h"
#include "tools/system/terminal.h"
#include "tools/system/text_encoding.h"

namespace {

// Whether the bytes look like UTF-16 that lost its byte-order mark: a NUL in one half of most
// pairs, as ASCII markup has in UTF-16, and hardly any in the other, which a binary file's
// runs of zeros have too.
bool LooksLikeUtf16(std::string_view bytes) {
    bytes = bytes.substr(0, 4096);
    std::size_t nulsAt[2] = {0, 0};
    for (std::size_t at = 0; at < bytes.size(); ++at) nulsAt[at % 2] += bytes[at] == '\0';
    const std::size_t pairs = bytes.size() / 2;
    const std::size_t most = std::max(nulsAt[0], nulsAt[1]);
    const std::size_t fewest = std::min(nulsAt[0], nulsAt[1]);
    return pairs > 0 && most * 4 >= pairs * 3 && fewest * 16 <= pairs;
}

// Why a file in which the plug-in can find no game is no game list.
std::string WhyNoGames(std::string_view bytes) {
    if (bytes.empty()) return "it is empty";
    if (bytes.starts_with("PK\x03\x04") || bytes.starts_with("PK\x05\x06")) {
        return "it is a zip archive: unpack the list first";
    }
    if (bytes.starts_with("\x1F\x8B")) return "it is compressed (gzip): unpack the list first";
    if (LooksLikeUtf16(bytes)) {
        return "it looks like UTF-16 without a byte-order mark: save it as UTF-8, or as UTF-16 "
               "with one";
    }
    const bool binary = std::any_of(bytes.begin(), bytes.end(), [](char byte) {
        const auto value = static_cast<unsigned char>(byte);
        return value < 0x20 && value != '\t' && value != '\n' && value != '\r';
    });
    if (binary) return "it is not text";
    return "no game found in it (no </ROMCRC>)";
}

// Whether a closing ROMCRC tag, the one element every game has, occurs in any letter case.
bool HoldsAGame(std::string_view text) {
    for (std::size_t at = text.find('<'); at != std::string_view::npos;
         at = text.find('<', at + 1)) {
        if (EqualsFolded(text.substr(at, 9), "</romcrc>")) return true;
    }
    return false;
}

}  // namespace

std::filesystem::path DefaultGameListPath() {
    return BesideExecutable(QBT_LIST_FROM_INSTALLED_EXECUTABLE, QBT_LIST_FROM_EXECUTABLE);
}

std::string DeclaredAsUtf8(std::string_view list) {
    const std::string_view utf8 = "UTF-8";
    const std::size_t end = list.starts_with("<?xml") ? list.find("?>") : std::string_view::npos;
    if (end == std::string_view::npos) {
        return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + std::string(list);
    }
    std::string text(list);
    const std::size_t attribute = FindFolded(list.substr(0, end), "encoding");
    const std::size_t open = attribute == std::string_view::npos
                                 ? std::string_view::npos
                                 : list.find_first_of("\"'", attribute);
    const std::size_t close = open < end ? list.find(list[open], open + 1) : std::string_view::npos;
    if (close < end) return text.replace(open + 1, close - open - 1, utf8);
    return text.insert(end, std::string(" encoding=\"") + std::string(utf8) + "\"");
}

namespace {

// The list as a host that reads Unicode files hands it over.
std::string AsHostHandsIt(std::string bytes) {
    if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF")) {
        return DeclaredAsUtf8(Utf16ToUtf8(std::string_view(bytes).substr(2), bytes[0] == '\xFE'));
    }
    return bytes;
}

// The plug-in is handed a C string: it sees the list up to its first NUL.
std::string_view PluginSees(std::string_view list) { return list.substr(0, list.find('\0')); }

}  // namespace

bool ReadsAsGameList(std::string_view bytes) {
    return HoldsAGame(PluginSees(AsHostHandsIt(std::string(bytes))));
}

Result<std::string> ReadGameList(const std::filesystem::path& path) {
    Result<std::string> read = ReadWholeFile(path, "the game list");
    if (!read.Ok()) return read;
    std::string bytes = AsHostHandsIt(std::move(*read));
    if (!HoldsAGame(PluginSees(bytes))) {
        return Failure{FailureKind::kCannotRead, "the game list " + PathToTerminal(path) +
                                                     " cannot be used: " + WhyNoGames(bytes)};
    }
    return bytes;
}

namespace {

std::unique_ptr<const Utf8Lookups> Utf8LookupsFor(std::string_view listText,
                                                  std::vector<std::string>& warnings) {
    if (!PluginTakesForUtf8(listText.substr(0, listText.find('\0')))) return nullptr;
    auto utf8 = std::make_unique<const Utf8Lookups>(true);
    if (!utf8->Shortfall().empty()) {
        warnings.push_back(utf8->Shortfall() +
                           ": the list's titles lose the characters the terminal's codeset lacks");
    }
    return utf8;
}

ValueEncoding EncodingWarnedOf(std::string_view listText, std::string_view overrideName,
                               bool answersInUtf8, std::vector<std::string>& warnings) {
    Result<FoundEncoding> found = ValueEncodingOf(listText, overrideName, answersInUtf8);
    if (!found.Ok()) {
        warnings.push_back(found.Why().message);
        found = ValueEncodingOf(listText, "", answersInUtf8);
    }
    warnings.insert(warnings.end(), found->warnings.begin(), found->warnings.end());
    return found->encoding;
}

}  // namespace

Result<std::unique_ptr<const GameList>> LoadGameList(const std::filesystem::path& path,
                                                     std::string_view overrideName) {
    Result<std::string> text = ReadGameList(path);
    if (!text.Ok()) return text.Why();
    if (!overrideName.empty() && !IsKnownListEncoding(overrideName)) {
        return UnknownListEncoding(overrideName);
    }
    return std::make_unique<const GameList>(std::move(*text), overrideName);
}

GameList::GameList(std::string listText, std::string_view overrideName)
    : text(std::move(listText)),
      utf8(Utf8LookupsFor(text, warnings)),
      encoding(EncodingWarnedOf(text, overrideName, utf8 && utf8->Active(), warnings)),
      index(text) {}

const char* GameList::TextFor(const std::string& key, std::int32_t keyType,
                              std::string& scratch) const {
    std::optional<std::string> record = index.TextFor(key, keyType);
    if (!record) return text.c_str();
    scratch = std::move(*record);
    return scratch.c_str();
}

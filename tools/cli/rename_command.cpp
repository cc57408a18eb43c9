#include "tools/rename_command.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <iostream>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tools/file_reading.h"
#include "tools/journal.h"
#include "tools/list_encoding.h"
#include "tools/name_moves.h"
#include "tools/new_names.h"
#include "tools/progress_bar.h"
#include "tools/rom_files.h"
#include "tools/rom_lookup.h"
#include "tools/tool_error.h"
#include "tools/tool_platform.h"

namespace fs = std::filesystem;

namespace {

// ---- What each file is and what it should be called ----------------------------------------

enum class Outcome {
    kRename,  // the plan
    kRenamed,
    kAlreadyRight,
    kNotInList,
    kUnreadable,
    kSkipped,  // an archive of several files, a link, no name from the pattern
    kConflict,
    kFailed,
};

const char* InWords(Outcome outcome) {
    switch (outcome) {
        case Outcome::kRename: return "rename";
        case Outcome::kRenamed: return "renamed";
        case Outcome::kAlreadyRight: return "already right";
        case Outcome::kNotInList: return "not in the list";
        case Outcome::kUnreadable: return "unreadable";
        case Outcome::kSkipped: return "skipped";
        case Outcome::kConflict: return "conflict";
        case Outcome::kFailed: return "failed";
    }
    return "";
}

struct Item {
    fs::path file;  // as found
    std::string key;
    std::string newName;  // UTF-8; empty when there is none
    Outcome outcome = Outcome::kSkipped;
    std::string reason;
};

fs::path Target(const Item& item) { return item.file.parent_path() / PathFromUtf8(item.newName); }

struct NamingContext {
    const Plugin& plugin;
    const std::string& listText;
    int32_t keyType;
    const ValueEncoding& encoding;
    const NamePattern& pattern;
};

// One call with a buffer that holds the usual value; the host's size query and exact copy only
// for a value that may have been cut to fit it.
template <typename Query>
FieldAnswer AskWithRoomyBuffer(const Query& query) {
    constexpr int32_t kRoomyBuffer = 256;
    std::string buffer(kRoomyBuffer, '\0');
    char* out = buffer.data();
    const int32_t length = query(&out, kRoomyBuffer);
    if (length < 0) return {length, ""};
    if (length == kRoomyBuffer - 1) return AskLikeHost(query);
    buffer.resize(static_cast<std::size_t>(length));
    return {length, buffer};
}

// The fields the pattern uses, one export call each; false when the key is not in the list.
bool AskFields(const NamingContext& context, const std::string& key, NameFields& fields) {
    const Plugin& plugin = context.plugin;
    const char* list = context.listText.c_str();
    const TextExport exports[kRelease] = {plugin.GetMaker, plugin.GetTitle, plugin.GetSaveInfo,
                                          plugin.GetMediaInfo, plugin.GetCountry};
    for (std::size_t field = 0; field < kRelease; ++field) {
        if (!context.pattern.Uses(static_cast<NameField>(field))) continue;
        const FieldAnswer answer = AskWithRoomyBuffer([&](char** out, int32_t outSize) {
            return exports[field](list, key.c_str(), context.keyType, out, outSize);
        });
        if (answer.result == ErrKeyNotFound) return false;
        if (answer.result >= 0 && !answer.text.empty()) {
            fields.texts[field] = NameTextFromValue(answer.text, context.encoding);
        }
    }
    if (context.pattern.Uses(kRelease)) {
        const int32_t release = plugin.GetImgNum(list, key.c_str(), context.keyType);
        if (release == ErrKeyNotFound) return false;
        if (release >= 0) fields.release = release;
    }
    return true;
}

Item Examine(const fs::path& file, const NamingContext& context) {
    Item item{file, "", "", Outcome::kSkipped, ReasonToSkip(file)};
    if (!item.reason.empty()) return item;
    std::vector<std::string> problems;
    const std::vector<RomChecksum> checksums = ChecksumsOf(file, problems);
    if (!problems.empty()) {
        item.outcome = Outcome::kUnreadable;
        item.reason = problems.front();
        return item;
    }
    if (checksums.size() != 1) {
        item.reason = checksums.empty() ? "an archive with no file in it"
                                        : "an archive of " + std::to_string(checksums.size()) +
                                              " files: only one that holds a single ROM is named";
        return item;
    }
    item.key = CrcKey(checksums.front().crc);
    NameFields fields;
    fields.crc = item.key;
    fields.name = Utf8Of(file.stem());
    if (!AskFields(context, item.key, fields)) {
        item.outcome = Outcome::kNotInList;
        return item;
    }
    item.newName = SafeFileName(context.pattern.Format(fields), Utf8Of(file.extension()));
    if (item.newName.empty()) {
        item.reason = "the pattern gives this ROM no name";
    } else {
        item.outcome =
            item.newName == Utf8Of(file.filename()) ? Outcome::kAlreadyRight : Outcome::kRename;
    }
    return item;
}

// Checksums and lookups, file by file on `jobs` threads; the plug-in keeps no state.
std::vector<Item> ExamineAll(const std::vector<fs::path>& files, const NamingContext& context,
                             unsigned jobs) {
    std::vector<Item> items(files.size());
    std::atomic<std::size_t> next{0};
    std::atomic<std::size_t> done{0};
    ProgressBar progress("reading", files.size());
    const auto work = [&] {
        for (std::size_t index; (index = next++) < files.size();) {
            try {
                items[index] = Examine(files[index], context);
            } catch (const std::exception& error) {
                items[index] = {files[index], "", "", Outcome::kFailed, error.what()};
            }
            progress.Show(++done);
        }
    };
    std::vector<std::thread> helpers;
    for (unsigned helper = 1; helper < jobs && helper < files.size(); ++helper) {
        helpers.emplace_back(work);
    }
    work();
    for (std::thread& helper : helpers) helper.join();
    return items;
}

// The files under the paths given, each once however often it is named; a symbolic link is
// never renamed and a folder behind one never entered, so nothing outside the folders given is
// touched and no file is renamed through two names.
std::vector<fs::path> CollectFiles(const std::vector<std::string>& arguments,
                                   std::vector<Item>& links, std::vector<std::string>& problems) {
    const auto isLink = [](const fs::path& path) {
        std::error_code error;
        return fs::is_symlink(fs::symlink_status(path, error));
    };
    const auto skipLink = [&](const fs::path& path) {
        links.push_back({path, "", "", Outcome::kSkipped, "a symbolic link: links are left alone"});
    };
    std::vector<std::string> walked;
    for (const std::string& argument : arguments) {
        if (isLink(PathFromTerminal(argument))) {
            skipLink(PathFromTerminal(argument));
        } else {
            walked.push_back(argument);
        }
    }
    std::vector<fs::path> files;
    std::set<fs::path> seen;
    for (const fs::path& file : CollectRomFiles(walked, problems)) {
        if (isLink(file)) {
            skipLink(file);
            continue;
        }
        std::error_code error;
        const fs::path canonical = fs::canonical(file, error);
        if (seen.insert(error ? Absolute(file) : canonical).second) files.push_back(file);
    }
    return files;
}

// ---- The plan: who gets which name, and in which order --------------------------------------

// The names in each folder, folded, as the renames planned so far leave them.
class FolderNames {
public:
    std::multimap<std::string, fs::path>& Of(const fs::path& folder) {
        auto [names, added] = folders_.try_emplace(folder);
        if (added) {
            std::error_code error;
            fs::directory_iterator entry(folder, error);
            for (; !error && entry != fs::directory_iterator(); entry.increment(error)) {
                const fs::path name = entry->path().filename();
                names->second.emplace(Folded(Utf8Of(name)), name);
            }
        }
        return names->second;
    }

private:
    std::map<fs::path, std::multimap<std::string, fs::path>> folders_;
};

// Marks the renames that cannot happen as conflicts and returns the order of the rest: two ROMs
// that want one name, the first wins; a name held by a file that moves away is taken after it
// has; a name held by a file that stays (or by a ring of files each waiting for the next's name)
// is a conflict. Names are compared as FAT and Windows compare them, so the result is valid on
// a card too.
std::vector<std::size_t> PlanRenames(std::vector<Item>& items) {
    std::map<std::string, std::size_t> claimed;
    std::vector<std::size_t> pending;
    for (std::size_t index = 0; index < items.size(); ++index) {
        Item& item = items[index];
        if (item.outcome != Outcome::kRename) continue;
        const std::string claim =
            Utf8Of(Absolute(item.file.parent_path())) + '/' + Folded(item.newName);
        const auto [first, isFirst] = claimed.try_emplace(claim, index);
        if (isFirst) {
            pending.push_back(index);
        } else {
            item.outcome = Outcome::kConflict;
            item.reason = PathToTerminal(items[first->second].file) + " takes the name first";
        }
    }

    FolderNames names;
    std::vector<std::size_t> order;
    for (bool moved = true; moved && !pending.empty();) {
        moved = false;
        std::vector<std::size_t> waiting;
        for (const std::size_t index : pending) {
            Item& item = items[index];
            auto& folder = names.Of(Absolute(item.file.parent_path()));
            const std::string from = Folded(Utf8Of(item.file.filename()));
            const std::string to = Folded(item.newName);
            // A change of case only: the file holds the folded name itself.
            if (folder.count(to) > (from == to ? 1u : 0u)) {
                waiting.push_back(index);
                continue;
            }
            for (auto [at, end] = folder.equal_range(from); at != end; ++at) {
                if (at->second == item.file.filename()) {
                    folder.erase(at);
                    break;
                }
            }
            folder.emplace(to, PathFromUtf8(item.newName));
            order.push_back(index);
            moved = true;
        }
        pending.swap(waiting);
    }
    for (const std::size_t index : pending) {
        Item& item = items[index];
        item.outcome = Outcome::kConflict;
        auto& folder = names.Of(Absolute(item.file.parent_path()));
        const auto holder = folder.find(Folded(item.newName));
        item.reason = "the name is taken by " +
                      PathToTerminal(holder == folder.end() ? Target(item) : holder->second);
    }
    return order;
}

void ApplyRenames(std::vector<Item>& items, const std::vector<std::size_t>& order,
                  JournalWriter& journal) {
    std::string journalFailure;
    ProgressBar progress("renaming", order.size());
    std::size_t done = 0;
    for (const std::size_t index : order) {
        progress.Show(done++);
        Item& item = items[index];
        if (!journalFailure.empty()) {
            item.outcome = Outcome::kFailed;
            item.reason = "not tried: " + journalFailure;
            continue;
        }
        std::string error;
        switch (MoveName(Absolute(item.file), Absolute(Target(item)), &journal, error)) {
            case Move::kMoved: item.outcome = Outcome::kRenamed; break;
            case Move::kNameTaken:
                item.outcome = Outcome::kConflict;
                item.reason = "the name was taken while qbt ran";
                break;
            case Move::kJournalFailed: journalFailure = error; [[fallthrough]];
            case Move::kRefused:
                item.outcome = Outcome::kFailed;
                item.reason = error;
                break;
        }
    }
}

// ---- Reports --------------------------------------------------------------------------------

struct Tally {
    std::size_t count[static_cast<std::size_t>(Outcome::kFailed) + 1] = {};
    std::size_t& operator[](Outcome outcome) { return count[static_cast<std::size_t>(outcome)]; }
};

void PrintPlanTable(const std::vector<Item>& items, Tally& tally, std::size_t unreadablePaths) {
    std::vector<std::vector<std::string>> rows{{"FILE", "NEW NAME", "OUTCOME"}};
    for (const Item& item : items) {
        std::string outcome = InWords(item.outcome);
        if (!item.reason.empty()) outcome += ": " + item.reason;
        rows.push_back({PathToTerminal(item.file),
                        item.newName.empty() ? "-" : PathToTerminal(PathFromUtf8(item.newName)),
                        outcome});
    }
    PrintAligned(std::cout, rows);
    const std::size_t renames = tally[Outcome::kRename] + tally[Outcome::kRenamed];
    std::cout << '\n' << renames << (tally[Outcome::kRenamed] ? " renamed" : " to rename");
    tally[Outcome::kUnreadable] += unreadablePaths;
    for (const Outcome outcome : {Outcome::kAlreadyRight, Outcome::kNotInList, Outcome::kUnreadable,
                                  Outcome::kConflict, Outcome::kSkipped, Outcome::kFailed}) {
        if (tally[outcome] > 0) std::cout << ", " << tally[outcome] << ' ' << InWords(outcome);
    }
    std::cout << '\n';
}

void PrintPlanJson(const std::vector<Item>& items, Tally& tally, std::size_t unreadablePaths,
                   const fs::path& journal) {
    nlohmann::ordered_json json;
    json["files"] = nlohmann::ordered_json::array();
    for (const Item& item : items) {
        nlohmann::ordered_json& file = json["files"].emplace_back();
        file["file"] = Utf8Of(item.file);
        file["key"] = item.key.empty() ? nullptr : nlohmann::ordered_json(item.key);
        file["new_name"] = item.newName.empty() ? nullptr : nlohmann::ordered_json(item.newName);
        file["outcome"] = InWords(item.outcome);
        if (!item.reason.empty()) file["reason"] = TerminalToUtf8(item.reason);
    }
    tally[Outcome::kUnreadable] += unreadablePaths;
    nlohmann::ordered_json& summary = json["summary"];
    for (Outcome outcome = Outcome::kRename; outcome <= Outcome::kFailed;
         outcome = static_cast<Outcome>(static_cast<int>(outcome) + 1)) {
        summary[InWords(outcome)] = tally[outcome];
    }
    json["journal"] = journal.empty() ? nullptr : nlohmann::ordered_json(Utf8Of(journal));
    PrintJson(json);
}

int RunRename(const Plugin& plugin, const Options& options) {
    const NamePattern pattern(options.pattern);
    const std::string listText = ReadGameList(GameListPath(options));
    std::vector<std::string> problems;
    std::vector<Item> links;
    const std::vector<fs::path> files = CollectFiles(options.paths, links, problems);

    const ValueEncoding encoding = ValueEncodingOf(listText, options.listEncoding);
    const NamingContext context{plugin, listText, options.keyType, encoding, pattern};
    const unsigned jobs =
        options.jobs > 0 ? options.jobs : std::max(1u, std::thread::hardware_concurrency());
    std::vector<Item> items = ExamineAll(files, context, jobs);
    items.insert(items.end(), links.begin(), links.end());
    const std::vector<std::size_t> order = PlanRenames(items);

    fs::path journalPath;
    if (options.apply && !order.empty()) {
        journalPath = Absolute(options.journal.empty() ? DefaultJournalPath()
                                                       : PathFromTerminal(options.journal));
        JournalWriter journal(journalPath);
        std::cerr << "qbt: journal " << PathToTerminal(journalPath) << " (qbt undo "
                  << PathToTerminal(journalPath) << " puts the names back)\n";
        ApplyRenames(items, order, journal);
    }

    Tally tally;
    for (const Item& item : items) ++tally[item.outcome];
    if (options.json) {
        PrintPlanJson(items, tally, problems.size(), journalPath);
    } else {
        PrintPlanTable(items, tally, problems.size());
    }
    for (const std::string& problem : problems) std::cerr << "qbt: " << problem << '\n';
    if (tally[Outcome::kFailed] > 0) return kExitRenameFailed;
    if (tally[Outcome::kUnreadable] > 0) return kExitUnreadableFile;
    const std::size_t left =
        tally[Outcome::kNotInList] + tally[Outcome::kConflict] + tally[Outcome::kSkipped];
    return left > 0 ? kExitSomeRomNotFound : kExitEveryRomFound;
}

}  // namespace

std::vector<Subcommand> AddRenameCommands(CLI::App& app, Options& options) {
    CLI::App* rename = app.add_subcommand(
        "rename", "name ROM files after their games in the list (a dry run unless --apply)");
    AddListOptions(*rename, options);
    AddKeyTypeOption(*rename, options);
    options.pattern = kDefaultNamePattern;
    rename
        ->add_option(
            "--pattern", options.pattern,
            "the new name without its extension: fmt fields {title} {publisher} {save} "
            "{media} {region} {release} {crc} {name}, with fmt width and precision such as "
            "{release:04} or {title:.60}")
        ->type_name("TEXT")
        ->capture_default_str();
    rename->add_flag("--apply", options.apply,
                     "rename the files, each after a line in the journal; without it nothing "
                     "changes");
    rename
        ->add_option("--journal", options.journal,
                     "the journal to write, added to if it exists; qbt undo reads it")
        ->type_name("FILE")
        ->default_str("qbt-rename-<date>-<time>.jsonl in the current folder");
    rename->add_option("-j,--jobs", options.jobs, "threads for checksums and lookups")
        ->type_name("N")
        ->default_str("one per core");
    rename->add_option("PATH", options.paths, "ROM files, zip archives and folders")->required();

    CLI::App* undo = app.add_subcommand(
        "undo", "put back the names a rename --apply changed, as its journal records them");
    undo->add_option("JOURNAL", options.journal, "the journal rename --apply wrote")->required();

    return {{rename, [&options](const Plugin& plugin) { return RunRename(plugin, options); }},
            {undo, [&options](const Plugin&) { return RunUndo(options); }, false}};
}

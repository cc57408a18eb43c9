#include "tools/lists/list_index.h"

#include <cstring>

#include "tools/lists/list_encoding.h"
#include "tools/base/ascii.h"

namespace {

constexpr std::string_view kRecordOpening = "<game>";
constexpr std::string_view kKeyClosing = "</romcrc>";
constexpr std::string_view kRecordClosing = "</game>";

enum class Tag { kNone, kKeyClosing, kRecordOpening, kRecordClosing };

// Which of the three tags the lookup looks for starts at the '<' at `at`. Record tags are
// exactly "<GAME>" and "</GAME>": one with attributes is no record tag to the lookup.
Tag TagStartingAt(std::string_view text, std::size_t at) {
    const auto holds = [&](std::string_view tag) {
        return EqualsFolded(text.substr(at, tag.size()), tag);
    };
    if (holds(kRecordOpening)) return Tag::kRecordOpening;
    if (holds(kRecordClosing)) return Tag::kRecordClosing;
    if (holds(kKeyClosing)) return Tag::kKeyClosing;
    return Tag::kNone;
}

// The lookup's own rule, restated: qbt reaches the plug-in through its exports only, and the
// differential test holds the two together.
std::string WidenKey(std::string key, std::int32_t keyType) {
    std::size_t width = 0;
    if (keyType == 0 || keyType == 32) width = 8;
    if (keyType == 1) width = 4;
    if (key.size() < width) key.insert(0, width - key.size(), '0');
    return key;
}

}  // namespace

std::size_t ListIndex::FoldedHash::operator()(std::string_view key) const {
    std::uint64_t hash = 14695981039346656037ULL;  // FNV-1a
    for (const char c : key) {
        hash = (hash ^ static_cast<unsigned char>(AsciiLower(c))) * 1099511628211ULL;
    }
    return static_cast<std::size_t>(hash ^ (hash >> 32));
}

bool ListIndex::FoldedEqual::operator()(std::string_view a, std::string_view b) const {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    }
    return true;
}

ListIndex::ListIndex(std::string_view listText)
    : text_(listText.substr(0, listText.find('\0'))),
      isUtf8List_(PluginTakesForUtf8(text_)),
      firstRecord_(text_.size()),
      afterRecords_(text_.size()) {
    const char* const text = text_.data();
    std::optional<std::size_t> lastRecordTag;  // where the latest record tag starts
    bool lastRecordTagOpens = false;
    std::size_t awaitingEnd = 0;  // entries_ from here on wait for the next record tag
    // Records of a few hundred bytes are usual: rehashing a growing table would cost more than
    // the pass itself.
    byKey_.reserve(text_.size() / 256);
    for (const char* at = text;
         (at = static_cast<const char*>(std::memchr(at, '<', text_.size() - (at - text)))) !=
         nullptr;
         ++at) {
        const auto position = static_cast<std::size_t>(at - text);
        const Tag tag = TagStartingAt(text_, position);
        if (tag == Tag::kRecordOpening || tag == Tag::kRecordClosing) {
            const bool opens = tag == Tag::kRecordOpening;
            const std::size_t through = opens ? position : position + kRecordClosing.size();
            for (; awaitingEnd < entries_.size(); ++awaitingEnd) {
                entries_[awaitingEnd].recordEnd = position;
                entries_[awaitingEnd].recordThrough = through;
            }
            if (opens && firstRecord_ == text_.size()) firstRecord_ = position;
            afterRecords_ = opens ? text_.size() : through;
            lastRecordTag = position;
            lastRecordTagOpens = opens;
            continue;
        }
        if (tag != Tag::kKeyClosing) continue;
        // Backwards no further than the previous "</ROMCRC>", which ends in '>': one pass in all.
        const std::size_t keyOpen = text_.rfind('>', position);
        if (keyOpen == std::string_view::npos) continue;
        const std::string_view key = text_.substr(keyOpen + 1, position - keyOpen - 1);
        if (!byKey_.try_emplace(key, entries_.size()).second) continue;
        Entry& entry = entries_.emplace_back();
        entry.key = AsciiUpperCased(key);
        entry.keyOpen = keyOpen;
        entry.keyEnd = position + kKeyClosing.size();
        // No record tag fits between the key's '>' and its "</ROMCRC>", so the latest one seen
        // is the latest at or before that '>'.
        if (lastRecordTag && lastRecordTagOpens) entry.recordStart = lastRecordTag;
        entry.recordEnd = text_.size();
        entry.recordThrough = text_.size();
    }
}

const ListIndex::Entry* ListIndex::Find(std::string_view key, std::int32_t keyType) const {
    const std::string plain = AsciiUpperCased(key.substr(0, key.find('\0')));
    const std::string widened = WidenKey(plain, keyType);
    // The padded key wins wherever it lies; the key as given is only the fallback.
    for (const std::string& form : {widened, plain}) {
        if (const auto found = byKey_.find(form); found != byKey_.end()) {
            return &entries_[found->second];
        }
    }
    return nullptr;
}

std::optional<std::string> ListIndex::TextFor(std::string_view key, std::int32_t keyType) const {
    key = key.substr(0, key.find('\0'));
    if (key.find_first_of("<>") != std::string_view::npos) return std::nullopt;
    // The prefix ends in the lookup's first "?>", so nothing after it can change the decision.
    std::string text = isUtf8List_ ? "UTF-8?>" : "?>";
    const Entry* entry = Find(key, keyType);
    if (entry == nullptr) return text;
    if (entry->recordStart) {
        text.append(text_.substr(*entry->recordStart, entry->recordEnd - *entry->recordStart));
    } else {
        text.append(text_.substr(entry->keyOpen, entry->keyEnd - entry->keyOpen));
    }
    return text;
}

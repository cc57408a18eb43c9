// How well GuessListEncoding (tools/lists/list_detection.h) tells the encoding of a list that
// declares none, measured on game lists generated here: Japanese titles in Shift_JIS (full- and
// half-width) and EUC-JP, Western titles in Latin-1, Windows-1252 and ISO-8859-15, mostly English
// lists with a few such titles, and hand-edited mixtures that no one encoding reads right. For
// comparison, uchardet (Debian's libuchardet) on the same lists: version 0.0.7 gives a name
// without a confidence, so it cannot refuse.
//
//   list_detection_figures [SEEDS]   # a table per kind of list and size; figures in
//                                    # docs/list_detection.md come from SEEDS = 100
//
// Exits with 1 if the rule took a wrong encoding for any list: the smoke test runs one seed.
#include <iconv.h>
#include <uchardet/uchardet.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "platform/utf8.h"
#include "tools/lists/list_detection.h"

namespace {

using Words = std::vector<std::string>;

const Words kJapaneseWords = {"ドラゴン",     "マーケット", "アドベンチャー",
                              "ファイター",   "レーシング", "パズル",
                              "サッカー",     "ワールド",   "スーパー",
                              "ランタン",     "ポケット",   "モンスター",
                              "ファンタジー", "クエスト",   "ストーリー",
                              "タクティクス", "ヒーロー",   "ミステリー",
                              "プリンセス",   "ナイト",     "キャッスル",
                              "ジャングル",   "ロボット",   "ニンジャ",
                              "スター",       "ダンジョン", "パーティ",
                              "ゴルフ",       "テニス",     "ベースボール",
                              "の",           "と",         "ぼうけん",
                              "ものがたり",   "おさんぽ",   "なかま",
                              "ひみつ",       "たんけん",   "どうぶつ",
                              "まほう",       "おばけ",     "ふしぎ",
                              "いっしょ",     "たび",       "ゆめ",
                              "にっき",       "あそび",     "ぷよ",
                              "星屑",         "冒険",       "伝説",
                              "物語",         "島",         "王国",
                              "魔法",         "戦記",       "大作戦",
                              "学園",         "探偵",       "迷宮",
                              "帝国",         "忍者",       "将棋",
                              "麻雀",         "競馬",       "野球",
                              "名人",         "龍",         "剣",
                              "騎士",         "三国志",     "月見",
                              "桃太郎",       "鬼",         "雷",
                              "風",           "花",         "海",
                              "空",           "夢",         "旅",
                              "村",           "街",         "城",
                              "電車",         "釣り",       "牧場",
                              "料理",         "恋愛",       "占い",
                              "漢字",         "検定",       "高橋",
                              "鉄道",         "格闘",       "英雄"};
// '%' stands for the title; code page 932 has more signs than EUC-JP.
const Words kCp932Frames = {"～%～", "% Ⅱ",   "%①",    "%！",        "%？",  "%・星",
                            "%　海", "%ＤＸ", "ＧＢ%", "% 2",        "% EX", "% Advance",
                            "★%",    "「%」", "%ー",   "髙橋名人の%"};
const Words kEucJpFrames = {"〜%〜", "%！",  "%？",       "%・星", "%　海", "%ＤＸ", "ＧＢ%",
                            "% 2",   "% EX", "% Advance", "★%",    "「%」", "%ー"};
const Words kHalfWidthWords = {"ｽｰﾊﾟｰ", "ﾄﾞﾗｺﾞﾝ", "ｸｴｽﾄ",  "ﾜｰﾙﾄﾞ", "ﾊﾟｽﾞﾙ", "ｻｯｶｰ", "ﾚｰｼﾝｸﾞ",
                               "ﾓﾝｽﾀｰ", "ﾌｧｲﾀｰ",  "ﾆﾝｼﾞｬ", "ｽﾀｰ",   "ﾊﾞﾄﾙ",  "ｺﾞﾙﾌ", "ﾃﾆｽ"};
const Words kEnglishWords = {
    "Super",     "World",   "Quest",   "Hero",    "Tour",   "Racing", "Soccer",  "Puzzle",
    "Adventure", "Legend",  "Island",  "Kart",    "Castle", "Dragon", "Star",    "Ninja",
    "Lagoon",    "Lantern", "Gearbox", "Tunnel",  "Party",  "Golf",   "Tennis",  "Baseball",
    "Knight",    "Kingdom", "Mystery", "Dungeon", "Robot",  "Jungle", "Advance", "Deluxe",
    "of",        "the",     "and",     "2",       "3"};
const Words kAccentedWords = {
    "Château",  "Forêt",      "Épée",    "Légende",      "Île",    "Été",     "Rêve",
    "Mystère",  "Héros",      "Élan",    "Glühwürmchen", "Schloß", "Straße",  "Größe",
    "Über",     "Märchen",    "König",   "Brücke",       "Niño",   "Corazón", "Señor",
    "¡Olé!",    "¿Dónde?",    "São",     "Coração",      "Ação",   "Lição",   "Irmãos",
    "Ødegaard", "Ærø",        "Åsa",     "Fjällräven",   "Björn",  "Sjö",     "à",
    "CHÂTEAU",  "ÉPÉE",       "Pokémon", "Café",         "Fútbol", "Übersee", "Zürich",
    "Déjà Vu",  "Fête",       "½",       "Noël",         "Naïve",  "Garçon",  "Crème",
    "Brûlée",   "Tête-à-tête"};
const Words kWindows1252Words = {"Tom’s", "“Quest”",  "Hero – Tour", "Legend—Island", "Wait…",
                                 "Star™", "Cœur",     "Œuvre",       "Šárka",         "Žižkov",
                                 "Kart®", "Dragon’s", "„Märchen“",   "‹Kart›"};
// Letters ISO-8859-15 has where Latin-1 has ¤ ¦ ¨ ´ ¸ ¼ ½ ¾.
const Words kLatin9Words = {"Cœur", "Œuvre", "Šárka", "Žižkov", "5€", "Ÿvette", "Œil", "Sœur"};

struct Random {
    std::mt19937 engine;
    std::size_t Below(std::size_t n) {
        return std::uniform_int_distribution<std::size_t>(0, n - 1)(engine);
    }
    const std::string& Pick(const Words& words) { return words[Below(words.size())]; }
    bool Chance(double p) { return std::bernoulli_distribution(p)(engine); }
};

std::string Framed(const std::string& frame, const std::string& title) {
    const std::size_t at = frame.find('%');
    return frame.substr(0, at) + title + frame.substr(at + 1);
}

std::string JapaneseTitle(Random& random, const Words& frames) {
    std::string title;
    for (std::size_t word = 0, words = 1 + random.Below(3); word < words; ++word) {
        title += random.Pick(kJapaneseWords);
    }
    if (random.Chance(0.4)) title = Framed(random.Pick(frames), title);
    if (random.Chance(0.15)) title = random.Pick(kEnglishWords) + " " + title;
    return title;
}

std::string HalfWidthTitle(Random& random) {
    std::string title = random.Pick(kHalfWidthWords);
    if (random.Chance(0.5)) title += random.Pick(kHalfWidthWords);
    if (random.Chance(0.3)) title += " " + random.Pick(kEnglishWords);
    return title;
}

std::string EnglishTitle(Random& random) {
    std::string title = random.Pick(kEnglishWords);
    for (std::size_t word = 0, words = 1 + random.Below(3); word < words; ++word) {
        title += " " + random.Pick(kEnglishWords);
    }
    return title;
}

// Most Western titles are plain English; some carry a word with an accent or a sign.
std::string WesternTitle(Random& random, const Words& extras) {
    std::string title = EnglishTitle(random);
    if (random.Chance(0.35)) title += " " + random.Pick(kAccentedWords);
    if (!extras.empty() && random.Chance(0.2)) title += " " + random.Pick(extras);
    if (random.Chance(0.1)) title = random.Pick(kAccentedWords) + " " + title;
    return title;
}

// The title in `encoding`; empty when a character does not fit it.
std::string Encoded(const std::string& utf8, const char* encoding) {
    const iconv_t converter = iconv_open(encoding, "UTF-8");
    std::string out(utf8.size() * 4 + 16, '\0');
    char* in = const_cast<char*>(utf8.data());
    std::size_t inLeft = utf8.size();
    char* next = out.data();
    std::size_t outLeft = out.size();
    const bool whole = iconv(converter, &in, &inLeft, &next, &outLeft) != static_cast<size_t>(-1);
    iconv_close(converter);
    out.resize(out.size() - outLeft);
    return whole ? out : "";
}

// A title that `encoding` can hold, made by `make`.
template <typename Make>
std::string TitleIn(const char* encoding, Make make) {
    for (;;) {
        const std::string title = Encoded(make(), encoding);
        if (!title.empty()) return title;
    }
}

// Without a declaration, as some tools write lists.
std::string ListOf(Random& random, const std::vector<std::string>& titles) {
    std::string text = "<gamelist><games>\n";
    for (std::size_t number = 1; number <= titles.size(); ++number) {
        char crc[9];
        std::snprintf(crc, sizeof crc, "%08X", static_cast<unsigned>(random.engine()));
        text += "<GAME><TITLE>" + titles[number - 1] +
                "</TITLE><PUBLISHER>Pebblewick</PUBLISHER><SAVETYPE>SRAM_V110</SAVETYPE>"
                "<LOCATION>" +
                std::to_string(random.Below(26)) + "</LOCATION><RELEASENUMBER>" +
                std::to_string(number) + "</RELEASENUMBER><ROMCRC>" + crc + "</ROMCRC></GAME>\n";
    }
    return text + "</games></gamelist>\n";
}

// What a list is, in the terms of GuessListEncoding; kNone for a list that no one encoding reads
// right, which must be refused.
enum class Truth { kShiftJis, kEucJp, kWestern, kNone, kOther };

Truth TruthOf(TextEncoding encoding) {
    switch (encoding) {
        case TextEncoding::kShiftJis: return Truth::kShiftJis;
        case TextEncoding::kEucJp: return Truth::kEucJp;
        case TextEncoding::kWindows1252: return Truth::kWestern;
        default: return Truth::kOther;
    }
}

Truth TruthOfUchardet(const std::string& name) {
    if (name == "SHIFT_JIS") return Truth::kShiftJis;
    if (name == "EUC-JP") return Truth::kEucJp;
    if (name == "ISO-8859-1" || name == "WINDOWS-1252" || name == "ISO-8859-15") {
        return Truth::kWestern;
    }
    return name.empty() ? Truth::kNone : Truth::kOther;
}

struct Sample {
    std::string kind;
    std::size_t titles;
    Truth truth;
    std::string text;
};

void AddListsOfOneSize(Random& random, std::size_t size, std::vector<Sample>& samples) {
    std::array<std::vector<std::string>, 6> titles;
    for (std::size_t title = 0; title < size; ++title) {
        titles[0].push_back(TitleIn("CP932", [&] { return JapaneseTitle(random, kCp932Frames); }));
        titles[1].push_back(TitleIn("EUC-JP", [&] { return JapaneseTitle(random, kEucJpFrames); }));
        titles[2].push_back(TitleIn("CP932", [&] { return HalfWidthTitle(random); }));
        titles[3].push_back(TitleIn("ISO-8859-1", [&] { return WesternTitle(random, {}); }));
        titles[4].push_back(
            TitleIn("CP1252", [&] { return WesternTitle(random, kWindows1252Words); }));
        titles[5].push_back(
            TitleIn("ISO-8859-15", [&] { return WesternTitle(random, kLatin9Words); }));
    }
    samples.push_back({"Shift_JIS", size, Truth::kShiftJis, ListOf(random, titles[0])});
    samples.push_back({"EUC-JP", size, Truth::kEucJp, ListOf(random, titles[1])});
    samples.push_back(
        {"Shift_JIS, half-width kana", size, Truth::kShiftJis, ListOf(random, titles[2])});
    samples.push_back({"Latin-1", size, Truth::kWestern, ListOf(random, titles[3])});
    samples.push_back({"Windows-1252", size, Truth::kWestern, ListOf(random, titles[4])});
    // Read as Windows-1252 it is right only without the letters where the two differ.
    const std::string latin9 = ListOf(random, titles[5]);
    const bool ownLetters =
        latin9.find_first_of("\xA4\xA6\xA8\xB4\xB8\xBC\xBD\xBE") != std::string::npos;
    samples.push_back({ownLetters ? "ISO-8859-15, with its own letters" : "ISO-8859-15, as Latin-1",
                       size, ownLetters ? Truth::kNone : Truth::kWestern, latin9});
}

// 300 titles of which `special` are not plain English: the rest give no evidence.
void AddMostlyEnglishLists(Random& random, std::size_t special, std::vector<Sample>& samples) {
    std::array<std::vector<std::string>, 5> titles;
    for (std::size_t title = 0; title < 300; ++title) {
        const bool odd = title % (300 / special) == 0;
        const std::string accented = TitleIn("ISO-8859-1", [&] {
            std::string word;
            do word = random.Pick(kAccentedWords);
            while (IsValidUtf8(Encoded(word, "ISO-8859-1")));
            return EnglishTitle(random) + " " + word;
        });
        const std::string japanese =
            TitleIn("CP932", [&] { return JapaneseTitle(random, kCp932Frames); });
        titles[0].push_back(odd ? japanese : EnglishTitle(random));
        titles[1].push_back(
            odd ? TitleIn("EUC-JP", [&] { return JapaneseTitle(random, kEucJpFrames); })
                : EnglishTitle(random));
        titles[2].push_back(odd ? accented : EnglishTitle(random));
        // Hand-edited: Latin-1 titles among UTF-8 ones, or among Shift_JIS ones.
        titles[3].push_back(odd ? accented : WesternTitle(random, {}));
        titles[4].push_back(odd ? accented : japanese);
    }
    const std::string of = " in 300 titles";
    const std::string n = std::to_string(special);
    samples.push_back(
        {n + " Shift_JIS" + of, special, Truth::kShiftJis, ListOf(random, titles[0])});
    samples.push_back({n + " EUC-JP" + of, special, Truth::kEucJp, ListOf(random, titles[1])});
    samples.push_back({n + " Latin-1" + of, special, Truth::kWestern, ListOf(random, titles[2])});
    samples.push_back(
        {n + " Latin-1 among UTF-8", special, Truth::kNone, ListOf(random, titles[3])});
    samples.push_back(
        {n + " Latin-1 among Shift_JIS", special, Truth::kNone, ListOf(random, titles[4])});
}

std::vector<Sample> MakeSamples(int seeds) {
    std::vector<Sample> samples;
    for (int seed = 1; seed <= seeds; ++seed) {
        Random random{std::mt19937(static_cast<unsigned>(seed))};
        for (const std::size_t size : {1, 2, 3, 5, 10, 30, 100, 300}) {
            AddListsOfOneSize(random, size, samples);
        }
        for (const std::size_t special : {1, 3, 10, 30}) {
            AddMostlyEnglishLists(random, special, samples);
        }
        std::string noise(4096, '\0');
        for (char& byte : noise) byte = static_cast<char>(random.engine());
        samples.push_back({"random bytes", 4096, Truth::kNone, noise});
    }
    return samples;
}

struct Tally {
    int lists = 0;
    int utf8 = 0;                   // valid UTF-8 after all: read as UTF-8, never guessed
    std::array<int, 3> rule{};      // right, wrong, refused
    std::array<int, 3> uchardet{};  // right, wrong, no answer
};

std::string Uchardet(const std::string& text) {
    const uchardet_t detector = uchardet_new();
    uchardet_handle_data(detector, text.data(), text.size());
    uchardet_data_end(detector);
    std::string name = uchardet_get_charset(detector);
    uchardet_delete(detector);
    return name;
}

// Bytes per second of GuessListEncoding on a Shift_JIS list of about 16 MB.
double Throughput() {
    Random random{std::mt19937(7)};
    std::vector<std::string> titles;
    for (int title = 0; title < 160000; ++title) {
        titles.push_back(TitleIn("CP932", [&] { return JapaneseTitle(random, kCp932Frames); }));
    }
    const std::string list = ListOf(random, titles);
    const auto start = std::chrono::steady_clock::now();
    const ListGuess guess = GuessListEncoding(list);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    if (guess.encoding != TextEncoding::kShiftJis) std::exit(1);
    return static_cast<double>(list.size()) / took.count();
}

}  // namespace

int main(int argc, char** argv) {
    const int seeds = argc > 1 ? std::atoi(argv[1]) : 1;
    std::map<std::pair<std::string, std::size_t>, Tally> tallies;
    std::map<long, std::array<int, 3>> byThreshold;  // right, wrong, refused
    long worstWrongLead = 0;
    int wrong = 0;
    for (const Sample& sample : MakeSamples(seeds)) {
        Tally& tally = tallies[{sample.kind, sample.titles}];
        ++tally.lists;
        if (IsValidUtf8(sample.text)) {
            ++tally.utf8;
            continue;
        }
        const ListGuess guess = GuessListEncoding(sample.text);
        const bool bestIsRight = TruthOf(guess.best.encoding) == sample.truth;
        ++tally.rule[guess.encoding ? (bestIsRight ? 0 : 1) : 2];
        wrong += guess.encoding && !bestIsRight;
        const bool takeable = guess.best.whole && guess.best.misfits == 0;
        if (takeable && !bestIsRight) worstWrongLead = std::max(worstWrongLead, guess.lead);
        for (long threshold = 1; threshold <= 12; ++threshold) {
            ++byThreshold[threshold]
                         [takeable && guess.lead >= threshold ? (bestIsRight ? 0 : 1) : 2];
        }
        const Truth other = TruthOfUchardet(Uchardet(sample.text));
        ++tally.uchardet[other == sample.truth ? 0 : other == Truth::kNone ? 2 : 1];
    }

    std::printf(
        "| list | titles | lists | valid UTF-8 | right | wrong | refused | uchardet right "
        "| uchardet wrong | uchardet none |\n|---|--:|--:|--:|--:|--:|--:|--:|--:|--:|\n");
    for (const auto& [key, tally] : tallies) {
        std::printf("| %s | %zu | %d | %d | %d | %d | %d | %d | %d | %d |\n", key.first.c_str(),
                    key.second, tally.lists, tally.utf8, tally.rule[0], tally.rule[1],
                    tally.rule[2], tally.uchardet[0], tally.uchardet[1], tally.uchardet[2]);
    }
    std::printf(
        "\nThe highest lead of a wrong reading without misfits: %ld (threshold %ld)\n\n"
        "| threshold | right | wrong | refused |\n|--:|--:|--:|--:|\n",
        worstWrongLead, kStrongEvidence);
    for (const auto& [threshold, counts] : byThreshold) {
        std::printf("| %ld | %d | %d | %d |\n", threshold, counts[0], counts[1], counts[2]);
    }
    std::printf("\nGuessListEncoding on a 16 MB Shift_JIS list: %.0f MB/s\n", Throughput() / 1e6);
    return wrong == 0 ? 0 : 1;
}

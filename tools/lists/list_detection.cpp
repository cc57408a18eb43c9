#include "tools/lists/list_detection.h"

#include <algorithm>
#include <cstdint>
#include <string_view>

namespace {

// What a character tells about the reading that produced it.
enum class Kind : std::uint8_t {
    kAsciiLetter,
    kAsciiOther,
    kPunctuation,  // Japanese punctuation, symbols and full-width letters: may stand between
                   // Latin letters, as in "R・TYPE"
    kTypical,      // kana and common kanji
    kNeutral,      // rarer kanji, Greek and Cyrillic, extensions
    kAtypical,     // characters for private use
    // Half-width katakana: real in old lists, but also what many other bytes read as. Only the
    // voicing marks tell: they follow the few kana that take them.
    kHalfWidth,
    kTakesDakuten,    // ｳ ｶ-ﾄ: may be followed by ﾞ
    kTakesBothMarks,  // ﾊ-ﾎ: by ﾞ or ﾟ
    kDakuten,         // ﾞ
    kHandakuten,      // ﾟ
    kLetter,          // a Western letter outside ASCII
    kJoiner,          // a Western mark that may stand inside a word: ’ ‘ – — · ´ ª º
    kMark,            // the other quotes, dashes and signs of Western titles
    kFraction,        // ¼ ½ ¾, which ISO-8859-15 reads as Œ œ Ÿ
    kForeign,         // ¤ ¦ ¨ ¸: signs no title uses, which ISO-8859-15 reads as € Š š ž
    kOther,           // any other Western character outside ASCII
};

// A character's kind and length in bytes; length 0 where the bytes are no character.
struct Character {
    Kind kind;
    std::size_t length;
};
constexpr Character kNoCharacter{Kind::kAtypical, 0};

Character AsciiCharacter(unsigned char byte) {
    const bool letter = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z');
    return {letter ? Kind::kAsciiLetter : Kind::kAsciiOther, 1};
}

bool InRange(unsigned char byte, unsigned char low, unsigned char high) {
    return byte >= low && byte <= high;
}

// A half-width katakana (0xA1 to 0xDF in code page 932, after 0x8E in EUC-JP).
Kind HalfWidthKind(unsigned char byte) {
    if (byte == 0xDE) return Kind::kDakuten;
    if (byte == 0xDF) return Kind::kHandakuten;
    if (InRange(byte, 0xCA, 0xCE)) return Kind::kTakesBothMarks;
    if (byte == 0xB3 || InRange(byte, 0xB6, 0xC4)) return Kind::kTakesDakuten;
    return Kind::kHalfWidth;
}

bool IsHalfWidth(Kind kind) { return kind >= Kind::kHalfWidth && kind <= Kind::kHandakuten; }

// A JIS X 0208 row (1 to 94) as code page 932 and EUC-JP lay it out; `extended` when the
// encoding fills rows 13 and 89 to 92 as code page 932 does (NEC and IBM extensions).
Character JisRowCharacter(int row, bool extended) {
    if (row <= 3) return {Kind::kPunctuation, 2};
    if (row <= 5 || (row >= 16 && row <= 47)) return {Kind::kTypical, 2};
    if (row == 13 && extended) return {Kind::kPunctuation, 2};  // ① Ⅱ ㈱, seen in titles
    if (row <= 8 || (row >= 48 && row <= 84)) return {Kind::kNeutral, 2};
    if (row >= 89 && row <= 92 && extended) return {Kind::kNeutral, 2};
    return kNoCharacter;  // rows no character set here fills
}

Character Cp932Character(std::string_view text, std::size_t at) {
    const auto byte = static_cast<unsigned char>(text[at]);
    if (byte < 0x80) return AsciiCharacter(byte);
    if (InRange(byte, 0xA1, 0xDF)) return {HalfWidthKind(byte), 1};
    if (!InRange(byte, 0x81, 0x9F) && !InRange(byte, 0xE0, 0xFC)) return kNoCharacter;
    if (at + 1 >= text.size()) return kNoCharacter;
    const auto trail = static_cast<unsigned char>(text[at + 1]);
    if (!InRange(trail, 0x40, 0xFC) || trail == 0x7F) return kNoCharacter;
    if (byte >= 0xFA) {  // IBM extensions, up to 0xFC4B
        return byte == 0xFC && trail > 0x4B ? kNoCharacter : Character{Kind::kNeutral, 2};
    }
    if (byte >= 0xF0) return {Kind::kAtypical, 2};  // user-defined characters
    const int pair = byte <= 0x9F ? byte - 0x81 : byte - 0xC1;
    return JisRowCharacter(pair * 2 + (trail >= 0x9F ? 2 : 1), true);
}

Character EucJpCharacter(std::string_view text, std::size_t at) {
    const auto byte = static_cast<unsigned char>(text[at]);
    if (byte < 0x80) return AsciiCharacter(byte);
    const auto trailAt = [&](std::size_t offset) {
        return at + offset < text.size() ? static_cast<unsigned char>(text[at + offset]) : 0;
    };
    if (byte == 0x8E) {
        const unsigned char kana = trailAt(1);
        return InRange(kana, 0xA1, 0xDF) ? Character{HalfWidthKind(kana), 2} : kNoCharacter;
    }
    if (byte == 0x8F) {  // JIS X 0212, rarely used
        const bool whole = InRange(trailAt(1), 0xA1, 0xFE) && InRange(trailAt(2), 0xA1, 0xFE);
        return whole ? Character{Kind::kNeutral, 3} : kNoCharacter;
    }
    if (!InRange(byte, 0xA1, 0xFE) || !InRange(trailAt(1), 0xA1, 0xFE)) return kNoCharacter;
    return JisRowCharacter(byte - 0xA0, false);
}

// Windows-1252's bytes 0x80 to 0xFF, one letter each: L a letter, J a mark that may stand inside
// a word, M another mark of titles, F a fraction, X a sign no title uses, O anything else, and -
// a byte Windows-1252 leaves unassigned (a control character in Latin-1).
constexpr std::string_view kWesternKinds =
    "M-OOMMOOOOLML-L-"   // € - ‚ ƒ „ … † ‡ ˆ ‰ Š ‹ Œ - Ž -
    "-JJMMMJJOMLML-LL"   // - ‘ ’ “ ” • – — ˜ ™ š › œ - ž Ÿ
    "MMOMXOXOXMJMOOMO"   // NBSP ¡ ¢ £ ¤ ¥ ¦ § ¨ © ª « ¬ SHY ® ¯
    "MOMMJOOJXOJMFFFM"   // ° ± ² ³ ´ µ ¶ · ¸ ¹ º » ¼ ½ ¾ ¿
    "LLLLLLLLLLLLLLLL"   // À to Ï
    "LLLLLLLMLLLLLLLL"   // Ð to ß, × a mark
    "LLLLLLLLLLLLLLLL"   // à to ï
    "LLLLLLLOLLLLLLLL";  // ð to ÿ, ÷ another sign

Character WesternCharacter(unsigned char byte) {
    if (byte < 0x80) return AsciiCharacter(byte);
    switch (kWesternKinds[byte - 0x80]) {
        case 'L': return {Kind::kLetter, 1};
        case 'J': return {Kind::kJoiner, 1};
        case 'M': return {Kind::kMark, 1};
        case 'F': return {Kind::kFraction, 1};
        case 'X': return {Kind::kForeign, 1};
        case 'O': return {Kind::kOther, 1};
        default: return kNoCharacter;
    }
}

bool IsAscii(Kind kind) { return kind == Kind::kAsciiLetter || kind == Kind::kAsciiOther; }

// What one character adds to its reading's evidence: 1 when typical, 0 when it tells nothing,
// kMisfit when text in that encoding would hardly hold it there.
constexpr long kMisfit = -2;

// Japanese text runs in words of its own: kana or a common kanji wedged between two Latin
// letters, or a rare kanji beside one, is a Western accent misread ("For" + kanji from "Forêt").
// A voicing mark after a kana that takes none is bytes misread.
long JapaneseWeight(Kind before, Kind kind, Kind after) {
    const bool afterLetter = before == Kind::kAsciiLetter;
    const bool beforeLetter = after == Kind::kAsciiLetter;
    switch (kind) {
        case Kind::kPunctuation: return 1;
        case Kind::kTypical: return afterLetter && beforeLetter ? kMisfit : 1;
        case Kind::kNeutral: return afterLetter || beforeLetter ? kMisfit : 0;
        case Kind::kAtypical: return kMisfit;
        case Kind::kDakuten:
            return before == Kind::kTakesDakuten || before == Kind::kTakesBothMarks ? 1 : kMisfit;
        case Kind::kHandakuten: return before == Kind::kTakesBothMarks ? 1 : kMisfit;
        default: break;
    }
    // Other half-width kana come in words: one alone among ASCII, or beside a Latin letter, is
    // a Western letter or sign misread ("Ærø", "Tour ½").
    const bool alone = !IsHalfWidth(before) && !IsHalfWidth(after);
    const bool amongAscii = IsAscii(before) && IsAscii(after);
    if (alone) return amongAscii || afterLetter || beforeLetter ? kMisfit : 0;
    return kind == Kind::kHalfWidth ? 0 : 1;
}

// A run of Western characters outside ASCII between `before` and `after`: Western words carry
// one accented letter or mark at a time, rarely two letters, never three; Japanese or UTF-8 read
// as Western makes long runs. Signs wedged into words ("C½ur", ISO-8859-15's "Cœur") and signs
// no title uses are another encoding misread.
long WesternRunWeight(std::size_t length, Kind first, Kind second, Kind before, Kind after) {
    if (length == 2 && first == Kind::kLetter && second == Kind::kLetter) return 0;
    if (length > 1) return kMisfit * static_cast<long>(length);
    const bool afterLetter = before == Kind::kAsciiLetter;
    const bool beforeLetter = after == Kind::kAsciiLetter;
    switch (first) {
        case Kind::kLetter:
        case Kind::kJoiner: return 1;
        case Kind::kMark: return afterLetter && beforeLetter ? kMisfit : 1;
        case Kind::kFraction: return afterLetter || beforeLetter ? kMisfit : 1;
        case Kind::kForeign: return kMisfit;
        default: return afterLetter && beforeLetter ? kMisfit : 0;
    }
}

void Weigh(ListReading& reading, long weight, std::size_t characters) {
    reading.characters += characters;
    reading.evidence += weight;
    if (weight < 0) reading.misfits += characters;
}

using Decoder = Character (*)(std::string_view, std::size_t);

ListReading ReadJapanese(std::string_view text, TextEncoding encoding, Decoder decode) {
    ListReading reading{encoding};
    Kind before = Kind::kAsciiOther;
    Kind current = Kind::kAsciiOther;
    for (std::size_t at = 0; at <= text.size();) {
        const Character next =
            at < text.size() ? decode(text, at) : Character{Kind::kAsciiOther, 1};
        if (next.length == 0) {
            reading.whole = false;
            return reading;
        }
        if (!IsAscii(current)) Weigh(reading, JapaneseWeight(before, current, next.kind), 1);
        before = current;
        current = next.kind;
        at += next.length;
    }
    return reading;
}

ListReading ReadWestern(std::string_view text) {
    ListReading reading{TextEncoding::kWindows1252};
    std::size_t run = 0;
    Kind before = Kind::kAsciiOther;  // the ASCII character before the run
    Kind first = Kind::kOther;
    Kind second = Kind::kOther;
    for (std::size_t at = 0; at <= text.size(); ++at) {
        const Character character = at < text.size()
                                        ? WesternCharacter(static_cast<unsigned char>(text[at]))
                                        : Character{Kind::kAsciiOther, 1};
        if (character.length == 0) {
            reading.whole = false;
            return reading;
        }
        if (!IsAscii(character.kind)) {
            (run == 0 ? first : second) = character.kind;
            ++run;
            continue;
        }
        if (run > 0) {
            Weigh(reading, WesternRunWeight(run, first, second, before, character.kind), run);
            run = 0;
        }
        before = character.kind;
    }
    return reading;
}

}  // namespace

std::array<ListReading, 3> ReadingsOf(std::string_view text) {
    return {ReadJapanese(text, TextEncoding::kShiftJis, Cp932Character),
            ReadJapanese(text, TextEncoding::kEucJp, EucJpCharacter), ReadWestern(text)};
}

ListGuess GuessListEncoding(std::string_view text) {
    ListGuess guess;
    long runnerUp = 0;  // a reading must also lead past no evidence at all
    bool found = false;
    for (const ListReading& reading : ReadingsOf(text)) {
        if (!reading.whole) continue;
        if (!found || reading.evidence > guess.best.evidence) {
            if (found) runnerUp = std::max(runnerUp, guess.best.evidence);
            guess.best = reading;
            found = true;
        } else {
            runnerUp = std::max(runnerUp, reading.evidence);
        }
    }
    if (!found) return guess;
    guess.lead = guess.best.evidence - runnerUp;
    if (guess.lead >= kStrongEvidence && guess.best.misfits == 0) {
        guess.encoding = guess.best.encoding;
    }
    return guess;
}

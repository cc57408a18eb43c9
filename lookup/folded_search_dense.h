// Dense mode of the vector scanners, beside the anchored scan of folded_search_simd.h and under
// the same rules: included only by folded_search_sse2.cpp and folded_search_avx2.cpp, internal
// linkage, whole aligned blocks read around the text.
#pragma once

#include "lookup/folded_search_simd.h"

namespace {

// Dense mode, for texts on which the anchors have failed: every start of a block is compared
// with the whole pattern, one compare per pattern byte, so a byte costs the same whatever the
// text holds and no candidate is ever verified in vain. Patterns of up to kMaxDenseLength bytes.
template <typename Vector>
class DensePattern {
public:
    using Block = decltype(Vector::Zero());
    static constexpr std::size_t kWidth = Vector::kWidth;
    // The bytes one block of starts reads: its own and those a pattern reaches past it.
    static constexpr std::size_t kWindow = 64;
    static_assert(kMaxDenseLength + kWidth - 1 <= kWindow);

    explicit DensePattern(const Needle& needle) : length_(needle.upperPattern.size()) {
        for (std::size_t at = 0; at < length_; ++at) {
            const auto byte = static_cast<unsigned char>(needle.upperPattern[at]);
            const bool letter = byte >= 'A' && byte <= 'Z';
            fold_[at] = Vector::Splat(letter ? 0x20 : 0);
            value_[at] = Vector::Splat(letter ? byte | 0x20 : byte);
        }
    }

    std::size_t Length() const { return length_; }

    // Starts in the block at `block` at which the whole pattern matches. Reads up to
    // length + kWidth - 1 bytes from `block`, which must all lie before the NUL.
    QBT_READS_WHOLE_BLOCKS std::uint32_t MatchesAt(const char* block) const {
        auto all = Vector::Equal(Vector::Zero(), Vector::Zero());
#pragma GCC unroll 4
        for (std::size_t at = 0; at < length_; ++at) {
            const auto bytes = Vector::LoadUnaligned(block + at);
            all = Vector::And(all, Vector::MatchBytes(bytes, fold_[at], value_[at]));
        }
        return Vector::Bits(all);
    }

private:
    std::size_t length_;
    Block fold_[kMaxDenseLength];
    Block value_[kMaxDenseLength];
};

// Where the NUL lies in the kWindow bytes from the aligned `block`, not counting the first
// `skip` bytes (which may lie before the text), or kWindow: whole aligned blocks, stopping at the
// one that holds it, since the next may lie on an unmapped page.
template <typename Vector>
QBT_READS_WHOLE_BLOCKS std::size_t NulInWindow(const char* block, std::ptrdiff_t skip) {
    constexpr std::size_t kWidth = Vector::kWidth;
    for (std::size_t at = 0; at < DensePattern<Vector>::kWindow; at += kWidth) {
        const std::uint32_t ends = Vector::Bits(Vector::ZeroBytes(Vector::Load(block + at))) &
                                   BitsFrom<kWidth>(skip - static_cast<std::ptrdiff_t>(at));
        if (ends != 0) return at + CountTrailingZeros(ends);
    }
    return DensePattern<Vector>::kWindow;
}

// The first match starting in [from, end) that the filter accepts, a start at a time: the few
// starts before the NUL that the vector compare cannot reach.
inline std::size_t FindDenseTail(const char* text, std::size_t from, std::size_t end,
                                 const Needle& needle) {
    const std::size_t length = needle.upperPattern.size();
    for (std::size_t start = from; start < end; ++start) {
        if (MatchedLength(text + start, needle.upperPattern) == length &&
            Accepts(needle, text, start)) {
            return start;
        }
    }
    return kNoPosition;
}

// Positions are relative to the text and signed: the first block may begin before it.
template <typename Vector>
QBT_READS_WHOLE_BLOCKS ScanResult FindDenseVector(const char* text, std::size_t from,
                                                  std::size_t limit, const Needle& needle) {
    constexpr auto kWidth = static_cast<std::ptrdiff_t>(Vector::kWidth);
    const DensePattern<Vector> pattern(needle);
    const auto length = static_cast<std::ptrdiff_t>(pattern.Length());
    const auto start = static_cast<std::ptrdiff_t>(from);
    const std::ptrdiff_t end = std::min(limit, std::size_t{PTRDIFF_MAX / 2});
    for (const char* block = AlignDown<Vector>(text + from);; block += kWidth) {
        const std::ptrdiff_t position = block - text;
        const std::ptrdiff_t first = std::max(position, start);
        if (first >= end) return {kNoPosition, kNoPosition};
        const auto nul = static_cast<std::ptrdiff_t>(NulInWindow<Vector>(block, start - position));
        if (nul < length + kWidth - 1) {
            const std::ptrdiff_t last = std::min(end, position + nul - length + 1);
            if (first >= last) return {kNoPosition, kNoPosition};
            const auto tail = [](std::ptrdiff_t at) { return static_cast<std::size_t>(at); };
            return {FindDenseTail(text, tail(first), tail(last), needle), kNoPosition};
        }
        std::uint32_t matches = pattern.MatchesAt(block) &
                                BitsFrom<Vector::kWidth>(first - position) &
                                BitsBelow<Vector::kWidth>(end - position);
        for (; matches != 0; matches &= matches - 1) {
            const auto match = static_cast<std::size_t>(position + CountTrailingZeros(matches));
            if (Accepts(needle, text, match)) return {match, kNoPosition};
        }
    }
}

}  // namespace

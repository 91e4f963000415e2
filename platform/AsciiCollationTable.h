#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

struct UCollator;

namespace velmora {

// The primary and secondary weights of each ASCII character under one collator, for building equality forms
// of ASCII texts without the collator.
struct AsciiCollationTable
{
    struct Entry
    {
        std::uint8_t primaryCount = 0;
        std::uint8_t secondaryCount = 0;
        std::array<std::uint8_t, 9> primaries {};
        std::array<std::uint8_t, 3> secondaries {};
    };
    std::array<Entry, 128> entries;
    // One bit per BMP code unit: set where a text may not be cut before or after the unit without changing the
    // weights around the cut (a unit that starts or continues a contraction, a combining mark, a surrogate).
    std::vector<std::uint64_t> unsafe;

    std::array<bool, 128> asciiUnsafe {}; // the same for ASCII, at hand
    bool anyAsciiUnsafe = false;

    bool isUnsafe(char16_t unit) const { return ((unsafe[unit >> 6] >> (unit & 63U)) & 1U) != 0; }

    // Whether the character at `i` takes its weights from the table: ASCII, and cutting the text on both of its
    // sides changes nothing.
    bool covers(const char16_t* text, std::int64_t length, std::int64_t i) const
    {
        const char16_t unit = text[i];
        return unit < 0x80 && !isUnsafe(unit) && (i == 0 || !isUnsafe(text[i - 1]))
            && (i + 1 == length || !isUnsafe(text[i + 1]));
    }

    // The table for `collator`, or null when its rules make a per-character table inexact.
    static std::unique_ptr<AsciiCollationTable> build(UCollator* collator);

    // Hands over the non-zero primary and secondary parts of one element, byte by byte. A primary part is two
    // bytes whose first is never zero (weight bytes are non-zero but for trailing ones); the part of a
    // continuation element is preceded by a zero byte, so the bytes decode one way only and two zero bytes never
    // occur.
    template <typename Primary, typename Secondary>
    static void split(std::uint32_t element, Primary&& primaryByte, Secondary&& secondaryByte)
    {
        const bool continuation = (element & 0xC0U) == 0xC0U;
        const std::uint32_t primary = element >> 16;
        const auto secondary = static_cast<std::uint8_t>((element >> 8) & 0xFFU);
        if (primary != 0) {
            if (continuation) {
                primaryByte(std::uint8_t { 0 });
            }
            primaryByte(static_cast<std::uint8_t>(primary >> 8));
            primaryByte(static_cast<std::uint8_t>(primary & 0xFFU));
        }
        if (secondary != 0) {
            secondaryByte(secondary);
        }
    }
};

} // namespace velmora

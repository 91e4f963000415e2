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

    // The table for `collator`, or null when its rules make a per-character table inexact.
    static std::unique_ptr<AsciiCollationTable> build(UCollator* collator);

    // Appends the non-zero primary and secondary parts of one element. A primary part is two bytes whose first
    // is never zero (weight bytes are non-zero but for trailing ones); the part of a continuation element is
    // preceded by a zero byte, so the bytes decode one way only and two zero bytes never occur.
    static void split(std::uint32_t element, std::vector<std::uint8_t>& primaries,
                      std::vector<std::uint8_t>& secondaries)
    {
        const bool continuation = (element & 0xC0U) == 0xC0U;
        const std::uint32_t primary = element >> 16;
        const auto secondary = static_cast<std::uint8_t>((element >> 8) & 0xFFU);
        if (primary != 0) {
            if (continuation) {
                primaries.push_back(0);
            }
            primaries.push_back(static_cast<std::uint8_t>(primary >> 8));
            primaries.push_back(static_cast<std::uint8_t>(primary & 0xFFU));
        }
        if (secondary != 0) {
            secondaries.push_back(secondary);
        }
    }
};

} // namespace velmora

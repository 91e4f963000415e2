#pragma once

#include "platform/KeyCollator.h"

#include <cstdint>
#include <vector>

struct UCollationElements;

namespace velmora {

// Builds a byte string that is equal for two texts exactly when the collator calls them equal: the primary and
// secondary weights of their collation elements. Texts of plain ASCII take a table of those weights, which is
// many times faster than asking the collator; the table is used only where the locale's rules make it exact (no
// contraction involves an ASCII character, no numeric ordering, punctuation not ignorable). Where they do not,
// every text falls back to the collator's sort key. One builder serves one thread.
class EqualityFormBuilder
{
public:
    explicit EqualityFormBuilder(const KeyCollator& collator);
    ~EqualityFormBuilder();
    EqualityFormBuilder(const EqualityFormBuilder&) = delete;
    EqualityFormBuilder& operator=(const EqualityFormBuilder&) = delete;

    // The form of `text`; valid until the next call.
    const std::vector<std::uint8_t>& build(const char16_t* text, qsizetype length);

    bool usesElements() const { return m_elements != nullptr; }

private:
    void appendFromTable(const AsciiCollationTable& table, const char16_t* text, qsizetype length);
    bool appendElements(const char16_t* text, qsizetype length);
    void appendElement(std::int32_t element);
    void appendSecondary(std::uint8_t weight);
    void flushCommonRun();
    void finish();

    const KeyCollator& m_collator;
    UCollationElements* m_elements = nullptr;
    std::vector<std::uint8_t> m_secondaries; // already run-length coded
    std::size_t m_commonRun = 0; // common secondaries not yet written
    std::vector<std::uint8_t> m_form;
};

} // namespace velmora

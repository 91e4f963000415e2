#include "EqualityForm.h"

#include "platform/AsciiCollationTable.h"

#include <unicode/ucoleitr.h>

namespace velmora {
namespace {

    // The secondary weight of nearly every character without an accent.
    constexpr std::uint8_t kCommonSecondary = 0x05;

} // namespace

EqualityFormBuilder::EqualityFormBuilder(const KeyCollator& collator)
    : m_collator(collator)
{
    if (collator.asciiTable() == nullptr) {
        return;
    }
    UErrorCode status = U_ZERO_ERROR;
    m_elements = ucol_openElements(collator.handle(), nullptr, 0, &status);
    if (U_FAILURE(status)) {
        m_elements = nullptr;
    }
}

EqualityFormBuilder::~EqualityFormBuilder()
{
    if (m_elements != nullptr) {
        ucol_closeElements(m_elements);
    }
}

const std::vector<std::uint8_t>& EqualityFormBuilder::build(const char16_t* text, qsizetype length)
{
    if (m_elements == nullptr) {
        m_collator.sortKey(text, length, m_form);
        return m_form;
    }
    m_primaries.clear();
    m_secondaries.clear();
    m_primaries.reserve(static_cast<std::size_t>(length) * 2);
    m_secondaries.reserve(static_cast<std::size_t>(length));
    // Runs of ASCII characters take their weights from the table; the stretches between them, cut only where
    // ICU's unsafe set allows, go through the collator's elements. The weights are those of the whole text.
    const AsciiCollationTable& table = *m_collator.asciiTable();
    qsizetype i = 0;
    while (i < length) {
        if (table.covers(text, length, i)) {
            const AsciiCollationTable::Entry& entry = table.entries[text[i]];
            for (std::uint8_t k = 0; k < entry.primaryCount; ++k) {
                m_primaries.push_back(entry.primaries[k]);
            }
            for (std::uint8_t k = 0; k < entry.secondaryCount; ++k) {
                m_secondaries.push_back(entry.secondaries[k]);
            }
            ++i;
            continue;
        }
        qsizetype end = i + 1;
        while (end < length && !table.covers(text, length, end)) {
            ++end;
        }
        if (!appendElements(text + i, end - i)) {
            // A sort key never equals an element form, which starts with a marker byte no sort key starts
            // with: this text can then miss its equals, but never match a different text.
            m_collator.sortKey(text, length, m_form);
            return m_form;
        }
        i = end;
    }
    finish();
    return m_form;
}

bool EqualityFormBuilder::appendElements(const char16_t* text, qsizetype length)
{
    UErrorCode status = U_ZERO_ERROR;
    ucol_setText(m_elements, text, static_cast<int32_t>(length), &status);
    if (U_FAILURE(status)) {
        return false;
    }
    for (;;) {
        status = U_ZERO_ERROR;
        const std::int32_t element = ucol_next(m_elements, &status);
        if (element == UCOL_NULLORDER || U_FAILURE(status)) {
            break;
        }
        appendElement(element);
    }
    return true;
}

void EqualityFormBuilder::appendElement(std::int32_t element)
{
    AsciiCollationTable::split(static_cast<std::uint32_t>(element), m_primaries, m_secondaries);
}

void EqualityFormBuilder::finish()
{
    // Marker, primaries, two zero bytes, then the secondaries with runs of the common weight (most of any
    // text) written as the weight and a run length.
    m_form.clear();
    m_form.reserve(m_primaries.size() + m_secondaries.size() / 8 + 8);
    m_form.push_back(0xEF);
    m_form.insert(m_form.end(), m_primaries.begin(), m_primaries.end());
    m_form.push_back(0);
    m_form.push_back(0);
    const std::size_t count = m_secondaries.size();
    for (std::size_t i = 0; i < count;) {
        const std::uint8_t weight = m_secondaries[i];
        m_form.push_back(weight);
        if (weight != kCommonSecondary) {
            ++i;
            continue;
        }
        std::size_t run = 0;
        while (i < count && m_secondaries[i] == kCommonSecondary) {
            ++run;
            ++i;
        }
        for (; run >= 0x80; run >>= 7) {
            m_form.push_back(static_cast<std::uint8_t>(run | 0x80));
        }
        m_form.push_back(static_cast<std::uint8_t>(run));
    }
}

} // namespace velmora

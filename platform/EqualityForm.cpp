#include "EqualityForm.h"

#include "platform/AsciiCollationTable.h"

#include <unicode/ucoleitr.h>

#include <cstring>
#include <tuple>

namespace velmora {
namespace {

    // The secondary weight of nearly every character without an accent.
    constexpr std::uint8_t kCommonSecondary = 0x05;

    // How many units from the start of text are ASCII, four at a time.
    qsizetype asciiPrefix(const char16_t* text, qsizetype length)
    {
        qsizetype i = 0;
        for (; i + 4 <= length; i += 4) {
            std::uint64_t units = 0;
            std::memcpy(&units, text + i, sizeof units);
            if ((units & 0xFF80FF80FF80FF80ULL) != 0) {
                break;
            }
        }
        while (i < length && text[i] < 0x80) {
            ++i;
        }
        return i;
    }

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
    // Marker, primaries, two zero bytes, then the secondaries with runs of the common weight (most of any text)
    // written as the weight and a run length.
    m_form.clear();
    m_form.push_back(0xEF);
    m_secondaries.clear();
    m_commonRun = 0;
    // Runs of ASCII characters take their weights from the table; the stretches between them, cut only where
    // ICU's unsafe set allows, go through the collator's elements. The weights are those of the whole text.
    const AsciiCollationTable& table = *m_collator.asciiTable();
    qsizetype i = 0;
    while (i < length) {
        // The units from i on that the table covers: ASCII, and safe to cut on both sides.
        qsizetype j = i;
        if ((i == 0 || !table.isUnsafe(text[i - 1])) && !table.anyAsciiUnsafe) {
            // Where no ASCII unit is unsafe, the run is every ASCII unit up to the first other one, less the last
            // when the unit after it is unsafe.
            j = i + asciiPrefix(text + i, length - i);
            if (j > i && j < length && table.isUnsafe(text[j])) {
                --j;
            }
        } else if (i == 0 || !table.isUnsafe(text[i - 1])) {
            while (j < length) {
                const char16_t unit = text[j];
                if (unit >= 0x80 || table.asciiUnsafe[unit] || (j + 1 < length && table.isUnsafe(text[j + 1]))) {
                    break;
                }
                ++j;
            }
        }
        if (j > i) {
            appendFromTable(table, text + i, j - i);
            i = j;
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

void EqualityFormBuilder::appendFromTable(const AsciiCollationTable& table, const char16_t* text, qsizetype length)
{
    // Room for the longest entry of every unit; each entry is copied whole and the end moved by its length.
    const std::size_t primaryStart = m_form.size();
    constexpr std::size_t kPrimaryRoom = std::tuple_size_v<decltype(AsciiCollationTable::Entry::primaries)>;
    m_form.resize(primaryStart + static_cast<std::size_t>(length) * kPrimaryRoom);
    std::uint8_t* primary = m_form.data() + primaryStart;
    for (qsizetype k = 0; k < length; ++k) {
        const AsciiCollationTable::Entry& entry = table.entries[text[k]];
        std::memcpy(primary, entry.primaries.data(), kPrimaryRoom);
        primary += entry.primaryCount;
        if (entry.secondaryCount == 1 && entry.secondaries[0] == kCommonSecondary) {
            ++m_commonRun;
            continue;
        }
        for (std::uint8_t n = 0; n < entry.secondaryCount; ++n) {
            appendSecondary(entry.secondaries[n]);
        }
    }
    m_form.resize(static_cast<std::size_t>(primary - m_form.data()));
}

void EqualityFormBuilder::appendSecondary(std::uint8_t weight)
{
    if (weight == kCommonSecondary) {
        ++m_commonRun;
        return;
    }
    flushCommonRun();
    m_secondaries.push_back(weight);
}

void EqualityFormBuilder::flushCommonRun()
{
    if (m_commonRun == 0) {
        return;
    }
    m_secondaries.push_back(kCommonSecondary);
    std::size_t run = m_commonRun;
    for (; run >= 0x80; run >>= 7) {
        m_secondaries.push_back(static_cast<std::uint8_t>(run | 0x80));
    }
    m_secondaries.push_back(static_cast<std::uint8_t>(run));
    m_commonRun = 0;
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
    // Primaries go straight into the form, secondaries into their run-length code.
    AsciiCollationTable::split(
        static_cast<std::uint32_t>(element), [this](std::uint8_t b) { m_form.push_back(b); },
        [this](std::uint8_t b) { appendSecondary(b); });
}

void EqualityFormBuilder::finish()
{
    flushCommonRun();
    m_form.push_back(0);
    m_form.push_back(0);
    m_form.insert(m_form.end(), m_secondaries.begin(), m_secondaries.end());
}

} // namespace velmora

#include "AsciiCollationTable.h"

#include <unicode/ucol.h>
#include <unicode/ucoleitr.h>
#include <unicode/uset.h>

namespace velmora {
namespace {

    // A contraction made only of ASCII characters ("ch", "aa") gives an ASCII text weights that its characters do
    // not have one by one. Contractions that start outside ASCII never apply inside an ASCII text.
    bool hasAsciiContraction(UCollator* collator)
    {
        UErrorCode status = U_ZERO_ERROR;
        USet* contractions = uset_openEmpty();
        ucol_getContractionsAndExpansions(collator, contractions, nullptr, false, &status);
        bool found = U_FAILURE(status);
        std::vector<UChar> buffer(64);
        const int32_t items = found ? 0 : uset_getItemCount(contractions);
        for (int32_t i = 0; i < items && !found; ++i) {
            UChar32 start = 0;
            UChar32 end = 0;
            status = U_ZERO_ERROR;
            int32_t length = uset_getItem(contractions, i, &start, &end, buffer.data(),
                                          static_cast<int32_t>(buffer.size()), &status);
            if (status == U_BUFFER_OVERFLOW_ERROR) {
                buffer.resize(static_cast<std::size_t>(length) + 1);
                status = U_ZERO_ERROR;
                length = uset_getItem(contractions, i, &start, &end, buffer.data(), static_cast<int32_t>(buffer.size()),
                                      &status);
            }
            if (U_FAILURE(status)) {
                found = true;
            } else if (length == 0) {
                found = start < 0x80; // a range of code points
            } else {
                found = true;
                for (int32_t k = 0; k < length && found; ++k) {
                    found = buffer[static_cast<std::size_t>(k)] < 0x80;
                }
            }
        }
        uset_close(contractions);
        return found;
    }

    // ICU's own set of units that a comparison may not start after: all but the last unit of each contraction
    // (prefix contexts included), combining marks and surrogates.
    bool fillUnsafe(UCollator* collator, std::vector<std::uint64_t>& bits)
    {
        bits.assign(0x10000 / 64, 0);
        UErrorCode status = U_ZERO_ERROR;
        USet* set = uset_openEmpty();
        ucol_getUnsafeSet(collator, set, &status);
        const int32_t items = U_SUCCESS(status) ? uset_getItemCount(set) : 0;
        for (int32_t i = 0; i < items && U_SUCCESS(status); ++i) {
            UChar32 start = 0;
            UChar32 end = 0;
            UChar none[1];
            if (uset_getItem(set, i, &start, &end, none, 0, &status) != 0) {
                continue; // a string: its units are listed one by one as well
            }
            for (UChar32 c = start; c <= end && c < 0x10000; ++c) {
                bits[static_cast<std::size_t>(c) >> 6] |= std::uint64_t { 1 } << (c & 63);
            }
        }
        uset_close(set);
        // Every unit that is not BMP-alone is a surrogate, already in the set; mark them anyway.
        for (UChar32 c = 0xD800; c <= 0xDFFF; ++c) {
            bits[static_cast<std::size_t>(c) >> 6] |= std::uint64_t { 1 } << (c & 63);
        }
        return U_SUCCESS(status);
    }

    bool attributeIs(UCollator* collator, UColAttribute attribute, UColAttributeValue expected)
    {
        UErrorCode status = U_ZERO_ERROR;
        const UColAttributeValue value = ucol_getAttribute(collator, attribute, &status);
        return U_SUCCESS(status) && value == expected;
    }

} // namespace

std::unique_ptr<AsciiCollationTable> AsciiCollationTable::build(UCollator* collator)
{
    if (!attributeIs(collator, UCOL_ALTERNATE_HANDLING, UCOL_NON_IGNORABLE)
        || !attributeIs(collator, UCOL_NUMERIC_COLLATION, UCOL_OFF) || !attributeIs(collator, UCOL_CASE_LEVEL, UCOL_OFF)
        || hasAsciiContraction(collator)) {
        return nullptr;
    }
    auto table = std::make_unique<AsciiCollationTable>();
    UErrorCode status = U_ZERO_ERROR;
    UCollationElements* elements = ucol_openElements(collator, nullptr, 0, &status);
    if (U_FAILURE(status)) {
        return nullptr;
    }
    bool ok = true;
    std::vector<std::uint8_t> primaries;
    std::vector<std::uint8_t> secondaries;
    for (UChar ch = 0; ch < 0x80 && ok; ++ch) {
        status = U_ZERO_ERROR;
        ucol_setText(elements, &ch, 1, &status);
        primaries.clear();
        secondaries.clear();
        for (;;) {
            status = U_ZERO_ERROR;
            const int32_t element = ucol_next(elements, &status);
            if (element == UCOL_NULLORDER || U_FAILURE(status)) {
                break;
            }
            split(
                static_cast<std::uint32_t>(element), [&](std::uint8_t b) { primaries.push_back(b); },
                [&](std::uint8_t b) { secondaries.push_back(b); });
        }
        Entry& entry = table->entries[ch];
        if (primaries.size() > entry.primaries.size() || secondaries.size() > entry.secondaries.size()) {
            ok = false;
            break;
        }
        entry.primaryCount = static_cast<std::uint8_t>(primaries.size());
        entry.secondaryCount = static_cast<std::uint8_t>(secondaries.size());
        std::copy(primaries.begin(), primaries.end(), entry.primaries.begin());
        std::copy(secondaries.begin(), secondaries.end(), entry.secondaries.begin());
    }
    ucol_closeElements(elements);
    if (!ok || !fillUnsafe(collator, table->unsafe)) {
        return nullptr;
    }
    for (char16_t unit = 0; unit < 0x80; ++unit) {
        table->asciiUnsafe[unit] = table->isUnsafe(unit);
        table->anyAsciiUnsafe = table->anyAsciiUnsafe || table->asciiUnsafe[unit];
    }
    return table;
}

} // namespace velmora

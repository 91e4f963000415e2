#include "KeyCollator.h"

#include <unicode/ucol.h>
#include <unicode/uloc.h>

#include <stdexcept>

namespace velmora {
namespace {

    QByteArray collationLocale(const QString& requested)
    {
        QByteArray name = requested.toUtf8();
        if (name.isEmpty()) {
            name = uloc_getDefault();
        }
        // ICU names the C and POSIX locales en_US_POSIX, whose collation tells "HELLO" from "hello" even at
        // secondary strength.
        if (name.isEmpty() || name == "c" || name == "C" || name == "POSIX" || name.startsWith("en_US_POSIX")) {
            return QByteArray("root");
        }
        return name;
    }

} // namespace

KeyCollator::KeyCollator(const QString& locale)
{
    const QByteArray name = collationLocale(locale);
    UErrorCode status = U_ZERO_ERROR;
    m_collator = ucol_open(name.constData(), &status);
    if (U_FAILURE(status) || m_collator == nullptr) {
        status = U_ZERO_ERROR;
        m_collator = ucol_open("", &status);
    }
    if (U_FAILURE(status) || m_collator == nullptr) {
        throw std::runtime_error("Cannot open a collator for the user's locale");
    }
    // Secondary strength: accents count, case does not.
    ucol_setStrength(m_collator, UCOL_SECONDARY);
    status = U_ZERO_ERROR;
    ucol_setAttribute(m_collator, UCOL_NORMALIZATION_MODE, UCOL_ON, &status);
    // Some locales turn on a case level, which would make case count again.
    status = U_ZERO_ERROR;
    ucol_setAttribute(m_collator, UCOL_CASE_LEVEL, UCOL_OFF, &status);
    m_asciiTable = AsciiCollationTable::build(m_collator);
    m_localeName = QString::fromUtf8(name);
}

KeyCollator::~KeyCollator()
{
    if (m_collator != nullptr) {
        ucol_close(m_collator);
    }
}

void KeyCollator::sortKey(const char16_t* text, qsizetype length, std::vector<std::uint8_t>& out) const
{
    if (out.size() < 64) {
        out.resize(64);
    }
    const auto len = static_cast<int32_t>(length);
    int32_t needed = ucol_getSortKey(m_collator, text, len, out.data(), static_cast<int32_t>(out.size()));
    if (needed > static_cast<int32_t>(out.size())) {
        out.resize(static_cast<std::size_t>(needed));
        needed = ucol_getSortKey(m_collator, text, len, out.data(), static_cast<int32_t>(out.size()));
    }
    // The returned length counts the terminating zero.
    out.resize(needed > 0 ? static_cast<std::size_t>(needed - 1) : 0);
}

std::unique_ptr<KeyCollator> KeyCollator::clone() const
{
    std::unique_ptr<KeyCollator> copy(new KeyCollator(CloneTag {}));
    UErrorCode status = U_ZERO_ERROR;
    copy->m_collator = ucol_clone(m_collator, &status);
    if (U_FAILURE(status) || copy->m_collator == nullptr) {
        throw std::runtime_error("Cannot copy the collator");
    }
    copy->m_localeName = m_localeName;
    copy->m_asciiTable = m_asciiTable;
    return copy;
}

bool KeyCollator::equal(const QString& a, const QString& b) const
{
    return compare(a, b) == 0;
}

int KeyCollator::compare(const QString& a, const QString& b) const
{
    const UCollationResult r
        = ucol_strcoll(m_collator, reinterpret_cast<const UChar*>(a.utf16()), static_cast<int32_t>(a.size()),
                       reinterpret_cast<const UChar*>(b.utf16()), static_cast<int32_t>(b.size()));
    return r == UCOL_LESS ? -1 : (r == UCOL_GREATER ? 1 : 0);
}

} // namespace velmora

#pragma once

#include <QString>

#include "platform/AsciiCollationTable.h"

#include <cstdint>
#include <memory>
#include <vector>

struct UCollator;

namespace velmora {

// Locale-aware comparison of comparison keys with case ignored. Two keys are equal exactly when their sort
// keys are equal, so equality can be hashed.
class KeyCollator
{
public:
    // `locale` empty: the user's locale from the environment. The POSIX locale maps to the root collation,
    // whose case-blind comparison is what users of the C locale expect.
    explicit KeyCollator(const QString& locale = {});
    ~KeyCollator();
    KeyCollator(const KeyCollator&) = delete;
    KeyCollator& operator=(const KeyCollator&) = delete;

    // The sort key of `text` (without its terminating zero) into `out`, which is reused to avoid allocations.
    void sortKey(const char16_t* text, qsizetype length, std::vector<std::uint8_t>& out) const;
    bool equal(const QString& a, const QString& b) const;
    // A collator with the same rules for another thread.
    std::unique_ptr<KeyCollator> clone() const;
    int compare(const QString& a, const QString& b) const;
    QString localeName() const { return m_localeName; }

    UCollator* handle() const { return m_collator; }
    // Weights of the ASCII characters, or null when this locale's rules need the collator for every text.
    const AsciiCollationTable* asciiTable() const { return m_asciiTable.get(); }

private:
    struct CloneTag
    {
    };
    explicit KeyCollator(CloneTag) { }

    UCollator* m_collator = nullptr;
    QString m_localeName;
    std::shared_ptr<const AsciiCollationTable> m_asciiTable;
};

} // namespace velmora

#include "SearchString.h"

#include <array>
#include <cstdint>
#include <vector>

namespace velmora {
namespace {

    // One bit per code unit 0..255: set for the units a key drops.
    constexpr std::array<std::uint64_t, 4> makeStripTable()
    {
        std::array<std::uint64_t, 4> table {};
        auto set = [&table](unsigned unit) { table[unit / 64] |= std::uint64_t { 1 } << (unit % 64); };
        set(0x09);
        set(0x0A);
        set(0x0D);
        for (unsigned unit = 0x20; unit <= 0x2F; ++unit) {
            set(unit);
        }
        return table;
    }

    constexpr std::array<std::uint64_t, 4> kStripped = makeStripTable();

    constexpr bool stripped(char16_t unit)
    {
        return unit <= 0xFF && ((kStripped[unit / 64] >> (unit % 64)) & 1U) != 0;
    }

} // namespace

namespace {

    // The ticked fields in list order, each fetched once; a field that cannot be read throws.
    template <typename Add> void forEachTickedField(IOEMessage& message, const FieldTicks& ticks, Add&& add)
    {
        message.PrepareFields(ticks.isChecked(SearchField::Subject) || ticks.isChecked(SearchField::DisplayTo)
                                  || ticks.isChecked(SearchField::DisplayFrom),
                              ticks.isChecked(SearchField::Body), FieldTicks::kBodyLimit);
        if (ticks.isChecked(SearchField::Subject)) {
            add(message.GetSubject());
        }
        if (ticks.isChecked(SearchField::Body)) {
            add(message.GetBody(FieldTicks::kBodyLimit));
        }
        if (ticks.isChecked(SearchField::DisplayTo)) {
            add(message.GetDisplayTo());
        }
        if (ticks.isChecked(SearchField::DisplayFrom)) {
            add(message.GetDisplayFrom());
        }
        if (ticks.isChecked(SearchField::Size)) {
            add(QString::number(message.GetSize()));
        }
    }

    // Appends `text` without the units a key drops.
    void appendCleaned(QString& out, qsizetype& count, const QString& text)
    {
        char16_t* dst = reinterpret_cast<char16_t*>(out.data()) + count;
        const char16_t* src = reinterpret_cast<const char16_t*>(text.constData());
        const char16_t* const end = src + text.size();
        for (; src != end; ++src) {
            const char16_t unit = *src;
            *dst = unit;
            dst += stripped(unit) ? 0 : 1;
        }
        count = dst - reinterpret_cast<char16_t*>(out.data());
    }

} // namespace

QString BuildSearchString(IOEMessage& message, const FieldTicks& ticks)
{
    QString key;
    forEachTickedField(message, ticks, [&key](const QString& field) { key += field; });
    return key;
}

QString CleanSearchString(const QString& text)
{
    QString out(text.size(), Qt::Uninitialized);
    qsizetype count = 0;
    appendCleaned(out, count, text);
    out.truncate(count);
    return out;
}

QString BuildKey(IOEMessage& message, const FieldTicks& ticks)
{
    // The fields are cleaned straight into one buffer: no joined copy first.
    std::vector<QString> fields;
    qsizetype total = 0;
    forEachTickedField(message, ticks, [&](const QString& field) {
        total += field.size();
        fields.push_back(field);
    });
    QString key(total, Qt::Uninitialized);
    qsizetype count = 0;
    for (const QString& field : fields) {
        appendCleaned(key, count, field);
    }
    key.truncate(count);
    return key;
}

} // namespace velmora

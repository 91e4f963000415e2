#include "SearchString.h"

#include <array>
#include <cstdint>

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

QString BuildSearchString(IOEMessage& message, const FieldTicks& ticks)
{
    message.PrepareFields(ticks.isChecked(SearchField::Subject) || ticks.isChecked(SearchField::DisplayTo)
                              || ticks.isChecked(SearchField::DisplayFrom),
                          ticks.isChecked(SearchField::Body), FieldTicks::kBodyLimit);
    QString key;
    if (ticks.isChecked(SearchField::Subject)) {
        key += message.GetSubject();
    }
    if (ticks.isChecked(SearchField::Body)) {
        key += message.GetBody(FieldTicks::kBodyLimit);
    }
    if (ticks.isChecked(SearchField::DisplayTo)) {
        key += message.GetDisplayTo();
    }
    if (ticks.isChecked(SearchField::DisplayFrom)) {
        key += message.GetDisplayFrom();
    }
    if (ticks.isChecked(SearchField::Size)) {
        key += QString::number(message.GetSize());
    }
    return key;
}

QString CleanSearchString(const QString& text)
{
    QString out(text.size(), Qt::Uninitialized);
    char16_t* dst = reinterpret_cast<char16_t*>(out.data());
    qsizetype count = 0;
    for (const QChar ch : text) {
        const char16_t unit = ch.unicode();
        if (!stripped(unit)) {
            dst[count++] = unit;
        }
    }
    out.truncate(count);
    return out;
}

QString BuildKey(IOEMessage& message, const FieldTicks& ticks)
{
    return CleanSearchString(BuildSearchString(message, ticks));
}

} // namespace velmora

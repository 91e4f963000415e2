#include "SearchString.h"

#include <array>
#include <cstdint>
#include <vector>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#endif

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

    // Copies the units of [src, src + size) that a key keeps to dst; returns how many.
    qsizetype cleanScalar(const char16_t* src, qsizetype size, char16_t* dst)
    {
        qsizetype count = 0;
        for (qsizetype i = 0; i < size; ++i) {
            const char16_t unit = src[i];
            dst[count] = unit;
            count += stripped(unit) ? 0 : 1;
        }
        return count;
    }

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
    // The same 32 units at a time with AVX-512: one compare per dropped range and one compressing store, where a
    // unit at a time costs a load, a test and a store each. Keys are built from whole message bodies.
    __attribute__((target("avx512f,avx512bw,avx512vbmi2"))) qsizetype cleanWide(const char16_t* src, qsizetype size,
                                                                                char16_t* dst)
    {
        const __m512i space = _mm512_set1_epi16(0x20);
        const __m512i slash = _mm512_set1_epi16(0x2F);
        const __m512i tab = _mm512_set1_epi16(0x09);
        const __m512i lineFeed = _mm512_set1_epi16(0x0A);
        const __m512i carriageReturn = _mm512_set1_epi16(0x0D);
        qsizetype count = 0;
        qsizetype i = 0;
        for (; i + 32 <= size; i += 32) {
            const __m512i units = _mm512_loadu_si512(src + i);
            const __mmask32 dropped = (_mm512_cmpge_epu16_mask(units, space) & _mm512_cmple_epu16_mask(units, slash))
                | _mm512_cmpeq_epi16_mask(units, tab) | _mm512_cmpeq_epi16_mask(units, lineFeed)
                | _mm512_cmpeq_epi16_mask(units, carriageReturn);
            const __mmask32 kept = static_cast<__mmask32>(~dropped);
            // A full-width store: dst has room, since it never runs ahead of src.
            _mm512_storeu_si512(dst + count, _mm512_maskz_compress_epi16(kept, units));
            count += __builtin_popcount(kept);
        }
        return count + cleanScalar(src + i, size - i, dst + count);
    }

    bool hasWideClean()
    {
        static const bool has = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw")
            && __builtin_cpu_supports("avx512vbmi2");
        return has;
    }
#endif

    // Appends `text` without the units a key drops. `out` has room for all of text's units after `count`.
    void appendCleaned(QString& out, qsizetype& count, const QString& text)
    {
        char16_t* dst = reinterpret_cast<char16_t*>(out.data()) + count;
        const char16_t* src = reinterpret_cast<const char16_t*>(text.constData());
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
        if (hasWideClean()) {
            count += cleanWide(src, text.size(), dst);
            return;
        }
#endif
        count += cleanScalar(src, text.size(), dst);
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

#include "tree/VSTHandlers.h"

namespace velmora {

namespace {

    // The locale's long time format without its time-zone field: rows show the time as the clock showed it.
    QString longTimeFormat(const QLocale& locale)
    {
        const QString format = locale.timeFormat(QLocale::LongFormat);
        QString result;
        bool quoted = false;
        for (qsizetype i = 0; i < format.size(); ++i) {
            const QChar c = format.at(i);
            if (c == QLatin1Char('\'')) {
                quoted = !quoted;
            } else if (!quoted && c == QLatin1Char('t')) {
                while (result.endsWith(QLatin1Char(' '))) {
                    result.chop(1);
                }
                continue;
            }
            result.append(c);
        }
        return result.trimmed();
    }

    char16_t foldAZ(char16_t c)
    {
        return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - (u'a' - u'A')) : c;
    }

    // Appends 7-bit groups to a 126-bit number, most significant first, and drops those beyond its width:
    // cutting a big-endian number short keeps the order of the numbers wherever the kept parts differ.
    class GroupPacker
    {
    public:
        static constexpr int Groups = 18;

        bool full() const { return m_groups == Groups; }
        void put(unsigned group)
        {
            if (full()) {
                return;
            }
            m_value.high = (m_value.high << 7) | (m_value.low >> 57);
            m_value.low = (m_value.low << 7) | group;
            ++m_groups;
        }
        SortPrefix finish()
        {
            while (!full()) {
                put(0); // the end of the text sorts before any unit
            }
            return m_value;
        }

    private:
        SortPrefix m_value;
        int m_groups = 0;
    };

    constexpr quint64 SignBit = quint64 { 1 } << 63;

} // namespace

int CompareIntegers(qint64 a, qint64 b)
{
    return a == b ? 0 : (a > b ? 1 : -1);
}

int CompareDateTimes(const QDateTime& a, const QDateTime& b)
{
    if (!a.isValid() || !b.isValid()) {
        return CompareIntegers(a.isValid() ? 1 : 0, b.isValid() ? 1 : 0);
    }
    return CompareIntegers(a.toMSecsSinceEpoch(), b.toMSecsSinceEpoch());
}

int CompareTextFoldingAZ(const QString& a, const QString& b)
{
    const char16_t* pa = reinterpret_cast<const char16_t*>(a.constData());
    const char16_t* pb = reinterpret_cast<const char16_t*>(b.constData());
    if (pa == pb && a.size() == b.size()) {
        return 0; // one shared text, as a group's rows usually have
    }
    const qsizetype length = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < length; ++i) {
        if (pa[i] == pb[i]) {
            continue;
        }
        const char16_t ca = foldAZ(pa[i]);
        const char16_t cb = foldAZ(pb[i]);
        if (ca != cb) {
            return ca < cb ? -1 : 1;
        }
    }
    return CompareIntegers(a.size(), b.size());
}

SortPrefix TextSortPrefixFoldingAZ(const QString& text)
{
    GroupPacker packer;
    const char16_t* units = reinterpret_cast<const char16_t*>(text.constData());
    for (qsizetype i = 0; i < text.size() && !packer.full(); ++i) {
        const unsigned unit = foldAZ(units[i]);
        if (unit < 0x7E) {
            packer.put(unit + 1);
        } else {
            // Rarer units take four groups: each unit's code stays a prefix of none other and orders as the
            // unit does, so the groups order as the texts do.
            const unsigned offset = unit - 0x7E;
            packer.put(0x7F);
            packer.put(offset >> 14);
            packer.put((offset >> 7) & 0x7F);
            packer.put(offset & 0x7F);
        }
    }
    return packer.finish();
}

SortPrefix IntegerSortPrefix(qint64 value)
{
    // Flipping the sign bit turns signed order into unsigned order.
    return { 0, static_cast<quint64>(value) ^ SignBit };
}

SortPrefix DateTimeSortPrefix(const QDateTime& value)
{
    // Unknown times come first, all equal.
    if (!value.isValid()) {
        return {};
    }
    return { 1, static_cast<quint64>(value.toMSecsSinceEpoch()) ^ SignBit };
}

QString DateTimeText(const QDateTime& value, const QLocale& locale)
{
    if (!value.isValid()) {
        return {};
    }
    const QString date = locale.toString(value.date(), QLocale::ShortFormat);
    const QTime time = value.time();
    if (time == QTime(0, 0)) {
        return date;
    }
    return date + QLatin1Char(' ') + locale.toString(time, longTimeFormat(locale));
}

QString VSTGetText(const TreeNode* node, int column, const QLocale& locale)
{
    const TTreeData& data = node->data();
    switch (column) {
    case -1:
    case 0:
        return data.Subject;
    case 1:
        return data.Folder;
    default:
        break;
    }
    if (node->level() == 0) {
        return {};
    }
    switch (column) {
    case 2:
        return DateTimeText(data.CreationTime, locale);
    case 3:
        return DateTimeText(data.LastModificationTime, locale);
    case 4:
        // Division truncates toward zero, as the size column always has.
        return QString::number(data.Size / 1024) + QStringLiteral(" kb");
    default:
        return {};
    }
}

int VSTGetImageIndex(const TreeNode* node, int column)
{
    return (column == -1 || column == 0) ? node->data().DefaultItemType : -1;
}

int VSTCompareNodes(const TreeNode* a, const TreeNode* b, int column)
{
    const TTreeData& x = a->data();
    const TTreeData& y = b->data();
    switch (column) {
    case -1:
    case 0:
        return CompareTextFoldingAZ(x.Subject, y.Subject);
    case 1:
        return CompareTextFoldingAZ(x.Folder, y.Folder);
    case 2:
        return CompareDateTimes(x.CreationTime, y.CreationTime);
    case 3:
        return CompareDateTimes(x.LastModificationTime, y.LastModificationTime);
    case 4:
        return CompareIntegers(x.Size, y.Size);
    default:
        return 0;
    }
}

SortPrefix VSTSortPrefix(const TreeNode* node, int column)
{
    const TTreeData& data = node->data();
    switch (column) {
    case -1:
    case 0:
        return TextSortPrefixFoldingAZ(data.Subject);
    case 1:
        return TextSortPrefixFoldingAZ(data.Folder);
    case 2:
        return DateTimeSortPrefix(data.CreationTime);
    case 3:
        return DateTimeSortPrefix(data.LastModificationTime);
    case 4:
        return IntegerSortPrefix(data.Size);
    default:
        return {};
    }
}

void VSTFreeNode(TreeNode* node)
{
    node->data() = TTreeData {};
}

} // namespace velmora

#pragma once

#include "tree/TreeModel.h"

#include <QLocale>

namespace velmora {

// The handlers that give both trees their texts, images, order and clean-up, working on the row records alone.

// 0 when a equals b, 1 when a is greater, -1 when a is smaller.
int CompareIntegers(qint64 a, qint64 b);
// Equal, earlier or later as 0, -1, 1; an unknown (invalid) time comes before every known one.
int CompareDateTimes(const QDateTime& a, const QDateTime& b);
// Code unit by code unit with only a to z folded onto A to Z; a prefix of the other text sorts first.
int CompareTextFoldingAZ(const QString& a, const QString& b);

// Sort prefixes (see TreeModel::SortPrefixEvent) that agree with the comparisons above wherever they differ.
// Text: the folded code units as 7-bit groups, 0 for the end of the text, u + 1 for a unit u below 0x7E, and
// for any other unit 0x7F followed by three groups holding u - 0x7E; the first 18 groups are kept.
SortPrefix TextSortPrefixFoldingAZ(const QString& text);
SortPrefix IntegerSortPrefix(qint64 value);
SortPrefix DateTimeSortPrefix(const QDateTime& value);

// Short date, then the long time (without a time zone); only the date at exactly midnight. Empty for an
// unknown time.
QString DateTimeText(const QDateTime& value, const QLocale& locale);

// Cell text: column -1 or 0 the subject, 1 the folder; below the top level 2 and 3 the times, 4 the size
// in " kb".
QString VSTGetText(const TreeNode* node, int column, const QLocale& locale = QLocale());
// DefaultItemType in column -1 or 0, -1 (no image) elsewhere. Rows are never ghosted.
int VSTGetImageIndex(const TreeNode* node, int column);
int VSTCompareNodes(const TreeNode* a, const TreeNode* b, int column);
SortPrefix VSTSortPrefix(const TreeNode* node, int column);
// Releases the row's texts.
void VSTFreeNode(TreeNode* node);

} // namespace velmora

#pragma once

#include <QString>

#include <vector>

namespace velmora {

class FormStorage;
class TreeModel;
class TreeNode;

// The MD5 digest of an identifier's characters (one byte each), as 32 upper-case hexadecimal digits.
QString FolderKeyHash(const QString& text);

// "<name>\CheckedFolders-<FolderKeyHash(top row's EntryID)>": where the ticks below one top folder are kept.
QString FolderTicksKey(const QString& name, const TreeNode& topRow);

// For each top-level row, the digests of the ticked rows below it (mixed rows do not count), sorted and
// joined by ",". Every row below the top row counts, however deep. The top row's own tick is not kept.
void SaveFolderTicks(FormStorage& storage, const TreeModel& tree, const QString& name);

// Ticks again the rows below `topRow` whose digest was saved, each alone (nothing passes to the rows above or
// below and no checked event fires), and expands each one's parent. Does nothing without a top row.
void RestoreFolderTicks(FormStorage& storage, TreeModel& tree, TreeNode* topRow, const QString& name);

// Column widths under "<name>\Column<i>Width", by column index (creation order), not display position.
constexpr int kMinColumnWidth = 10;
constexpr int kMaxColumnWidth = 10000;

void SaveColumnWidths(FormStorage& storage, const QString& name, const std::vector<int>& widths);
// The stored widths, `present` where none is stored, each kept between 10 and 10000 pixels.
std::vector<int> RestoreColumnWidths(const FormStorage& storage, const QString& name, std::vector<int> present);

// The same for a tree model's header.
void SaveColumnWidths(FormStorage& storage, const TreeModel& tree, const QString& name);
void RestoreColumnWidths(const FormStorage& storage, TreeModel& tree, const QString& name);

} // namespace velmora

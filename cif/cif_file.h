#pragma once
#include <cstddef>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace koravel {

// One loop_ of a data block: its tags (lower case, column order) and all its
// values in file order, row by row, as read.
class TCifLoop {
 public:
  std::vector<std::string> Names;
  std::vector<std::string> Values;

  // 0-based column of the tag (any letter case), -1 when absent.
  int IndexOfName(std::string_view tag) const;
  bool HasName(std::string_view tag) const { return IndexOfName(tag) >= 0; }
  // Complete rows only: an incomplete last row is not counted.
  std::size_t RowCount() const;
  // The value at (row, column); empty when the column is not one of the
  // loop's or the position lies past the values. The view stays valid as long
  // as the loop lives.
  std::string_view Value(std::size_t row, int column) const;
};

// One data block: single-valued items (tags lower case) and the loops, which
// the block owns.
class TCifBlock {
 public:
  std::string Name;  // as written after "data_"; empty for an anonymous block
  std::vector<std::string> ItemNames;
  std::vector<std::string> ItemValues;
  std::vector<std::unique_ptr<TCifLoop>> Loops;

  TCifBlock() = default;
  explicit TCifBlock(std::string name) : Name(std::move(name)) {}

  void AddItem(std::string_view tag, std::string value);
  TCifLoop& AddLoop();
  // Value of the first single-valued item with this tag (any letter case);
  // loops are not searched. Empty when there is none. The view stays valid
  // as long as the block lives.
  std::string_view GetItem(std::string_view tag) const;
  // First loop, in file order, holding the tag; nullptr when none does.
  const TCifLoop* FindLoop(std::string_view tag) const;
  // Tries the tags in the given order, each in all loops, before the next.
  const TCifLoop* FindLoopAny(std::initializer_list<std::string_view> tags) const;
};

// A whole CIF file: its data blocks in file order, owned by the file.
class TCifFile {
 public:
  std::vector<std::unique_ptr<TCifBlock>> Blocks;

  int BlockCount() const { return static_cast<int>(Blocks.size()); }
  const TCifBlock& Block(int index) const { return *Blocks.at(static_cast<std::size_t>(index)); }
  // First block whose name equals `name` ignoring ASCII case; nullptr if none.
  const TCifBlock* FindBlock(std::string_view name) const;
  TCifBlock& AddBlock(std::string name);

  // Replaces the blocks with those of the named file. False, with the
  // system's reason in `error` and no blocks, when the file cannot be read.
  // The content itself is never an error: what cannot be placed is skipped.
  bool LoadFromFile(const std::string& name, std::string& error);
  // The same for a file's bytes already in memory.
  void LoadFromText(std::string_view bytes);
};

// True for the CIF null values: empty (after trimming), "?" and ".".
bool IsNullValue(std::string_view text);

}  // namespace koravel

#include "cif/cif_file.h"

#include "cif/cif_blocks.h"
#include "cif/cif_encoding.h"
#include "cif/cif_tokenizer.h"
#include "geom/text.h"

namespace koravel {

int TCifLoop::IndexOfName(std::string_view tag) const {
  for (std::size_t i = 0; i < Names.size(); ++i)
    if (SameText(Names[i], tag)) return static_cast<int>(i);
  return -1;
}

std::size_t TCifLoop::RowCount() const {
  return Names.empty() ? 0 : Values.size() / Names.size();
}

std::string_view TCifLoop::Value(std::size_t row, int column) const {
  if (column < 0 || static_cast<std::size_t>(column) >= Names.size()) return {};
  const std::size_t width = Names.size();
  // row * width + column may not wrap around for absurd rows.
  if (row > (Values.size() - static_cast<std::size_t>(column)) / width) return {};
  const std::size_t index = row * width + static_cast<std::size_t>(column);
  if (index >= Values.size()) return {};
  return Values[index];
}

void TCifBlock::AddItem(std::string_view tag, std::string value) {
  ItemNames.push_back(LowerAscii(tag));
  ItemValues.push_back(std::move(value));
}

TCifLoop& TCifBlock::AddLoop() {
  Loops.push_back(std::make_unique<TCifLoop>());
  return *Loops.back();
}

std::string_view TCifBlock::GetItem(std::string_view tag) const {
  for (std::size_t i = 0; i < ItemNames.size(); ++i)
    if (SameText(ItemNames[i], tag)) return ItemValues[i];
  return {};
}

const TCifLoop* TCifBlock::FindLoop(std::string_view tag) const {
  for (const auto& loop : Loops)
    if (loop->HasName(tag)) return loop.get();
  return nullptr;
}

const TCifLoop* TCifBlock::FindLoopAny(std::initializer_list<std::string_view> tags) const {
  for (std::string_view tag : tags)
    if (const TCifLoop* loop = FindLoop(tag)) return loop;
  return nullptr;
}

const TCifBlock* TCifFile::FindBlock(std::string_view name) const {
  for (const auto& block : Blocks)
    if (SameText(block->Name, name)) return block.get();
  return nullptr;
}

TCifBlock& TCifFile::AddBlock(std::string name) {
  Blocks.push_back(std::make_unique<TCifBlock>(std::move(name)));
  return *Blocks.back();
}

bool TCifFile::LoadFromFile(const std::string& name, std::string& error) {
  Blocks.clear();
  std::string bytes;
  if (!ReadWholeFile(name, bytes, error)) return false;
  LoadFromText(bytes);
  return true;
}

void TCifFile::LoadFromText(std::string_view bytes) {
  Blocks.clear();
  std::string converted;
  TCifTokenizer tokens(CifTextFromBytes(bytes, converted));
  BuildCifBlocks(tokens, *this);
}

bool IsNullValue(std::string_view text) {
  std::string_view t = Trim(text);
  return t.empty() || t == "?" || t == ".";
}

}  // namespace koravel

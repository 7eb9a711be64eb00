#include "cif/cif_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

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

namespace {

struct TFileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

// Appends everything from the file's current position to `bytes`.
bool ReadRest(std::FILE* file, std::string& bytes) {
  char block[1 << 16];
  std::size_t n;
  while ((n = std::fread(block, 1, sizeof block, file)) > 0) bytes.append(block, n);
  return std::ferror(file) == 0;
}

}  // namespace

// The file is read in one pass, block by block, straight into the tokenizer:
// a CIF that embeds its reflection file in a text field is never held in
// memory twice. Only UTF-16 text, rare and small, is read whole to convert it.
bool TCifFile::LoadFromFile(const std::string& name, std::string& error) {
  Blocks.clear();
  error.clear();
  std::error_code ec;
  if (std::filesystem::is_directory(name, ec)) {
    error = "is a directory";
    return false;
  }
  errno = 0;
  std::unique_ptr<std::FILE, TFileCloser> file(std::fopen(name.c_str(), "rb"));
  if (!file) {
    error = errno != 0 ? std::strerror(errno) : "cannot open the file";
    return false;
  }
  char head[3];
  const std::string_view start(head, std::fread(head, 1, sizeof head, file.get()));
  bool readOk = true;
  if (HasUtf16ByteOrderMark(start)) {
    std::string bytes(start);
    readOk = ReadRest(file.get(), bytes);
    if (readOk) LoadFromText(bytes);
  } else {
    std::string none;
    const std::string_view text = CifTextFromBytes(start, none);  // without a UTF-8 mark
    const std::uintmax_t size = std::filesystem::file_size(name, ec);
    const std::uintmax_t skipped = start.size() - text.size();
    TCifTokenizer tokens(TCifLineReader(file.get(), text, ec || size < skipped ? 0 : size - skipped));
    BuildCifBlocks(tokens, *this);
    readOk = !tokens.ReadFailed() && std::ferror(file.get()) == 0;
  }
  if (!readOk) {
    Blocks.clear();
    error = "read error";
    return false;
  }
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

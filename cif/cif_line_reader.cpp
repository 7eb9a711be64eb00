#include "cif/cif_line_reader.h"

#include <algorithm>
#include <cstring>

namespace koravel {

namespace {

std::size_t BufferSize(std::size_t blockSize, std::string_view start) {
  return std::max({blockSize, start.size(), std::size_t{1}});
}

}  // namespace

TCifLineReader::TCifLineReader(std::string_view text)
    : Data_(text.data()), End_(text.size()), SizeHint_(text.size()) {}

TCifLineReader::TCifLineReader(std::FILE* file, std::string_view start, std::uintmax_t sizeHint,
                               std::size_t blockSize)
    : File_(file),
      Buffer_(new char[BufferSize(blockSize, start)]),
      Capacity_(BufferSize(blockSize, start)),
      End_(start.size()),
      AtEnd_(false),
      SizeHint_(sizeHint) {
  Data_ = Buffer_.get();
  if (!start.empty()) std::memcpy(Buffer_.get(), start.data(), start.size());
}

std::uintmax_t TCifLineReader::RemainingBytes() const {
  const std::uintmax_t done = Dropped_ + Begin_;
  return SizeHint_ > done ? SizeHint_ - done : 0;
}

// Moves the unread bytes to the front of the buffer (doubling it when they
// fill it) and appends the next block of the file; at the end of the file
// (or on a read error) sets AtEnd_.
void TCifLineReader::Fill() {
  char* buffer = Buffer_.get();
  if (Begin_ > 0) {
    std::memmove(buffer, buffer + Begin_, End_ - Begin_);
    Dropped_ += Begin_;
    End_ -= Begin_;
    Begin_ = 0;
  }
  if (End_ == Capacity_) {
    std::unique_ptr<char[]> larger(new char[2 * Capacity_]);
    std::memcpy(larger.get(), buffer, End_);
    Buffer_ = std::move(larger);
    Capacity_ *= 2;
    buffer = Buffer_.get();
  }
  Data_ = buffer;
  CrKnown_ = false;
  const std::size_t n = std::fread(buffer + End_, 1, Capacity_ - End_, File_);
  End_ += n;
  if (n == 0) {
    AtEnd_ = true;
    Failed_ = std::ferror(File_) != 0;
  }
}

// Position of the first CR or LF from Begin_ on, End_ when there is none.
// LF is found with memchr line by line; the next CR is searched once and
// remembered, so that files with LF line ends cost one search per block.
std::size_t TCifLineReader::FindLineEnd() {
  if (Begin_ >= End_) return End_;
  const char* base = Data_;
  if (!CrKnown_ || NextCr_ < Begin_) {
    const void* cr = std::memchr(base + Begin_, '\r', End_ - Begin_);
    NextCr_ = cr ? static_cast<std::size_t>(static_cast<const char*>(cr) - base) : End_;
    CrKnown_ = true;
  }
  const void* lf = std::memchr(base + Begin_, '\n', NextCr_ - Begin_);
  return lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - base) : NextCr_;
}

bool TCifLineReader::NextLineSlow(std::string_view& line) {
  for (;;) {
    const std::size_t end = FindLineEnd();
    // A CR as the last byte at hand may be the first half of a CR LF.
    if (end < End_ && (Data_[end] == '\n' || end + 1 < End_ || AtEnd_)) {
      line = std::string_view(Data_ + Begin_, end - Begin_);
      Begin_ = end + 1;
      if (Data_[end] == '\r' && Begin_ < End_ && Data_[Begin_] == '\n') ++Begin_;
      return true;
    }
    if (!AtEnd_) {
      Fill();  // moves the bytes at hand; at the end of the file it sets AtEnd_
      continue;
    }
    if (Begin_ >= End_) return false;
    // The last line of the text has no line end.
    line = std::string_view(Data_ + Begin_, End_ - Begin_);
    Begin_ = End_;
    return true;
  }
}

// Position just after the last complete line end at hand (Begin_ when there
// is none). A CR as the last byte at hand does not count before the end of
// the file: it may be the first half of a CR LF.
std::size_t TCifLineReader::EndOfWholeLines() const {
  std::size_t end = End_;
  if (!AtEnd_ && end > Begin_ && Data_[end - 1] == '\r') --end;
  while (end > Begin_ && Data_[end - 1] != '\n' && Data_[end - 1] != '\r') --end;
  return end;
}

bool TCifLineReader::NextFieldLines(std::string_view& lines) {
  for (;;) {
    if (Begin_ < End_ && Data_[Begin_] == ';') return false;
    std::size_t end = EndOfWholeLines();
    if (end > Begin_) {
      // The field stops at the first ";" that begins a line, that is, the
      // first one after a CR or an LF. Reflection and instruction files
      // hardly contain any, so one search covers the whole block.
      std::size_t from = Begin_ + 1;
      while (from < end) {
        const void* hit = std::memchr(Data_ + from, ';', end - from);
        if (!hit) break;
        const std::size_t semi = static_cast<std::size_t>(static_cast<const char*>(hit) - Data_);
        if (Data_[semi - 1] == '\n' || Data_[semi - 1] == '\r') {
          end = semi;
          break;
        }
        from = semi + 1;
      }
      lines = std::string_view(Data_ + Begin_, end - Begin_);
      Begin_ = end;
      return true;
    }
    if (AtEnd_) return false;
    Fill();  // a line longer than the bytes at hand makes the buffer grow
  }
}

}  // namespace koravel

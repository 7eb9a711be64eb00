#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>

namespace koravel {

// Bytes read from a file at a time; a longer line makes the buffer grow.
constexpr std::size_t kCifReadBlock = 1 << 18;

// The lines of CIF text, one at a time and without their line ends (LF,
// CR LF or CR; a last line without one counts): from text in memory, or from
// an open file read block by block, so that a file of tens of megabytes is
// read in one pass and never held in memory whole.
class TCifLineReader {
 public:
  // The lines of `text`, which must outlive the reader.
  explicit TCifLineReader(std::string_view text);
  // The lines of `start` (bytes the caller has already taken from the file)
  // followed by the rest of `file`, opened in binary mode; the caller keeps
  // and closes it. `sizeHint` is the number of bytes expected from `start`
  // on; it only serves RemainingBytes.
  TCifLineReader(std::FILE* file, std::string_view start, std::uintmax_t sizeHint,
                 std::size_t blockSize = kCifReadBlock);

  // The next line; the view stays valid until the next call. False at the end.
  bool NextLine(std::string_view& line) {
    // The common case, kept inline: a line ended by LF among the bytes at hand.
    if (CrKnown_ && NextCr_ >= Begin_) {
      const void* lf = std::memchr(Data_ + Begin_, '\n', NextCr_ - Begin_);
      if (lf) {
        const std::size_t end = static_cast<std::size_t>(static_cast<const char*>(lf) - Data_);
        line = std::string_view(Data_ + Begin_, end - Begin_);
        Begin_ = end + 1;
        return true;
      }
    }
    return NextLineSlow(line);
  }
  // The body of a text field in bulk: the whole lines at hand, up to the next
  // line that begins with ";", each with its own line end (LF, CR LF or CR).
  // False when the next line begins with ";", is the last line of the text
  // and has no line end, or there is none: NextLine then hands it out. The
  // view stays valid until the next call of either function.
  bool NextFieldLines(std::string_view& lines);
  // About how many bytes are still to come (exact for text in memory).
  std::uintmax_t RemainingBytes() const;
  // True when reading the file failed: the lines handed out are incomplete.
  bool ReadFailed() const { return Failed_; }

 private:
  bool NextLineSlow(std::string_view& line);
  void Fill();
  std::size_t FindLineEnd();
  std::size_t EndOfWholeLines() const;

  std::FILE* File_ = nullptr;
  std::unique_ptr<char[]> Buffer_;
  std::size_t Capacity_ = 0;
  const char* Data_ = nullptr;    // the text, or Buffer_
  std::size_t Begin_ = 0;         // first byte not yet handed out
  std::size_t End_ = 0;           // end of the bytes at hand
  std::size_t NextCr_ = 0;        // first CR at or after Begin_, End_ when none
  bool CrKnown_ = false;          // whether NextCr_ is up to date
  bool AtEnd_ = true;             // no bytes will follow End_
  bool Failed_ = false;
  std::uintmax_t Dropped_ = 0;    // bytes handed out and dropped from Buffer_
  std::uintmax_t SizeHint_ = 0;
};

}  // namespace koravel

#include "cif/cif_blocks.h"

#include "geom/text.h"

namespace koravel {

namespace {

bool IsTag(const TTok& tok) {
  return !tok.Quoted && !tok.Text.empty() && tok.Text.front() == '_';
}

// Reserved words and tags end a loop's values; quoted text never does.
bool EndsLoop(const TTok& tok) {
  if (tok.Quoted) return false;
  const std::string_view t = tok.Text;
  return SameText(t, "loop_") || SameText(t, "global_") || StartsWithText(t, "data_") ||
         StartsWithText(t, "save_") || (!t.empty() && t.front() == '_');
}

// Walks the tokens with one token of look-ahead: `tok` always holds the token
// to be handled next, `have` whether there is one.
class TBlockBuilder {
 public:
  TBlockBuilder(TCifTokenizer& tokens, TCifFile& file) : Tokens_(tokens), File_(file) {}

  void Run() {
    Advance();
    while (Have_) Step();
  }

 private:
  void Advance() { Have_ = Tokens_.Next(Tok_); }

  TCifBlock& CurrentBlock() {
    if (Current_ == nullptr) Current_ = &File_.AddBlock(std::string());
    return *Current_;
  }

  void Step() {
    if (Tok_.Quoted) return Advance();
    const std::string_view t = Tok_.Text;
    if (StartsWithText(t, "data_")) {
      Current_ = &File_.AddBlock(std::string(t.substr(5)));
      return Advance();
    }
    if (SameText(t, "global_")) return Advance();
    if (StartsWithText(t, "save_")) return SkipSaveFrame();
    if (SameText(t, "loop_")) return ReadLoop();
    if (IsTag(Tok_)) return ReadItem();
    Advance();  // a stray value
  }

  // save_name up to and including the next bare save_ is invisible.
  void SkipSaveFrame() {
    const bool opens = Tok_.Text.size() > 5;
    Advance();
    if (!opens) return;
    while (Have_ && !(!Tok_.Quoted && SameText(Tok_.Text, "save_"))) Advance();
    if (Have_) Advance();
  }

  void ReadLoop() {
    TCifLoop& loop = CurrentBlock().AddLoop();
    Advance();
    while (Have_ && IsTag(Tok_)) {
      loop.Names.push_back(LowerAscii(Tok_.Text));
      Advance();
    }
    while (Have_ && !EndsLoop(Tok_)) {
      loop.Values.push_back(std::move(Tok_.Text));
      Advance();
    }
    // The token that ended the loop is handled by the next Step.
  }

  void ReadItem() {
    std::string tag = std::move(Tok_.Text);
    TCifBlock& block = CurrentBlock();
    Advance();
    if (!Have_) return;  // a tag at the very end has no value
    block.AddItem(tag, std::move(Tok_.Text));
    Advance();
  }

  TCifTokenizer& Tokens_;
  TCifFile& File_;
  TCifBlock* Current_ = nullptr;
  TTok Tok_;
  bool Have_ = false;
};

}  // namespace

void BuildCifBlocks(TCifTokenizer& tokens, TCifFile& file) {
  TBlockBuilder(tokens, file).Run();
}

}  // namespace koravel

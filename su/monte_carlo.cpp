#include "su/monte_carlo.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <mutex>
#include <optional>

#include "base/numbers.h"
#include "crystal/cell.h"
#include "su/random.h"

namespace koravel {

namespace {

constexpr std::uint64_t kSeed = 20261207;

// Running mean and variance (Welford, Technometrics 4 (1962) 419).
struct TRunningMoments {
  long long N = 0;
  double Mean = 0, M2 = 0;
  void Add(double x) {
    ++N;
    const double d = x - Mean;
    Mean += d / static_cast<double>(N);
    M2 += d * (x - Mean);
  }
  TMonteCarlo Result() const {
    return {N, Mean, N > 1 ? std::sqrt(M2 / static_cast<double>(N - 1)) : 0};
  }
};

// Every Monte Carlo starts from the same seed, so they all read the same
// deviates: the start of the stream is made once, in blocks as far as any
// run has reached, and shared by every run of the process (threads
// included). Making the deviates is otherwise the dearest part of a draw.
class TSharedDeviates {
 public:
  static constexpr std::size_t kBlock = std::size_t{1} << 12;
  static constexpr std::size_t kBlocks = 256;  // 1 M deviates, 8 MB at most

  static const TSharedDeviates& Instance() {
    static const TSharedDeviates shared;
    return shared;
  }

  // Deviates b·kBlock to (b + 1)·kBlock − 1 of the stream, b < kBlocks.
  const double* Block(std::size_t b) const { return Made(b).Values.get(); }

  // The generator as it stands after the shared deviates.
  TNormalDeviates After() const { return Made(kBlocks - 1).Next; }

 private:
  struct TBlock {
    std::once_flag Once;
    std::unique_ptr<double[]> Values;
    TNormalDeviates Next{kSeed};  // the generator after this block
  };

  const TBlock& Made(std::size_t b) const {
    TBlock& block = Blocks_[b];
    std::call_once(block.Once, [&] {
      TNormalDeviates normal = b == 0 ? TNormalDeviates(kSeed) : Made(b - 1).Next;
      block.Values = std::make_unique<double[]>(kBlock);
      normal.Fill(block.Values.get(), kBlock);
      block.Next = normal;
    });
    return block;
  }

  mutable std::array<TBlock, kBlocks> Blocks_;
};

// The deviates one run reads in turn: the shared ones, then its own.
class TDeviateStream {
 public:
  // The next z.size() deviates.
  void Fill(std::vector<double>& z) {
    constexpr std::size_t kBlock = TSharedDeviates::kBlock;
    constexpr std::size_t kShared = kBlock * TSharedDeviates::kBlocks;
    std::size_t k = 0;
    while (k < z.size() && Index_ < kShared) {
      const double* block = TSharedDeviates::Instance().Block(Index_ / kBlock);
      const std::size_t from = Index_ % kBlock, take = std::min(z.size() - k, kBlock - from);
      std::copy(block + from, block + from + take, z.begin() + static_cast<std::ptrdiff_t>(k));
      k += take;
      Index_ += take;
    }
    if (k == z.size()) return;
    if (!Beyond_) Beyond_ = TSharedDeviates::Instance().After();
    for (; k < z.size(); ++k) z[k] = Beyond_->Next();
  }

 private:
  std::size_t Index_ = 0;
  std::optional<TNormalDeviates> Beyond_;
};

// The su as a report prints it: "(9)" of 0.0883, "(14)" of 0.0143.
std::string PrintedSu(double sd) { return FormatValueSu(0, sd, 0); }

}  // namespace

// The state of one Monte Carlo: the deviates, the buffers of a draw and the
// moments of every quantity so far.
struct TPointSampler::TRun {
  TRun(size_t parameters, size_t points, size_t quantities)
      : Z(parameters), Dq(parameters), X(points), Moments(quantities) {}
  std::vector<TMonteCarlo> Results() const {
    std::vector<TMonteCarlo> result;
    for (const TRunningMoments& m : Moments) result.push_back(m.Result());
    return result;
  }

  TDeviateStream Normal;
  long long Draws = 0;
  std::vector<double> Z, Dq;
  std::vector<TVec3> Frac;
  std::vector<TVec3Of<double>> X;
  std::vector<TRunningMoments> Moments;
};

TPointSampler::TPointSampler(const TStructure& s, const TParameters& params, const TPointModel& model,
                             const TMatrix& covariance)
    : Frac_(model.Frac), CellB_(params.CellB), Cell_(CellParameters(s.Cell)), Ortho_(OrthoMatrix(s.Cell)) {
  // The factor's non-zero entries only: without a full matrix, the
  // coordinates of different atoms are uncorrelated and L is nearly diagonal.
  const TMatrix l = Cholesky(covariance);
  LStart_.push_back(0);
  for (size_t a = 0; a < l.Rows; ++a) {
    for (size_t b = 0; b <= a; ++b)
      if (l(a, b) != 0) L_.push_back({b, l(a, b)});
    LStart_.push_back(L_.size());
  }
  for (size_t a = 0; a < model.Params.size(); ++a) {
    const TLocalParameter& lp = model.Params[a];
    if (lp.IsCell) {
      CellParams_.push_back({a, lp.CellIndex});
      continue;
    }
    for (size_t p = 0; p < Frac_.size(); ++p)
      if (lp.FracShift[p] != TVec3{0, 0, 0}) Shifts_.push_back({a, p, lp.FracShift[p]});
  }
}

void TPointSampler::Draw(TRun& run) const {
  run.Normal.Fill(run.Z);
  for (size_t a = 0; a + 1 < LStart_.size(); ++a) {
    double sum = 0;
    for (size_t e = LStart_[a]; e < LStart_[a + 1]; ++e) sum += L_[e].second * run.Z[L_[e].first];
    run.Dq[a] = sum;
  }
  run.Frac = Frac_;
  for (const TShift& shift : Shifts_)
    run.Frac[shift.Point] = Plus(run.Frac[shift.Point], Scaled(shift.Shift, run.Dq[shift.Param]));
  // The cell moves only where a cell parameter has an su.
  std::array<double, 6> cell = Cell_;
  bool cellMoves = false;
  for (const auto& [a, free] : CellParams_) {
    if (run.Dq[a] == 0) continue;
    cellMoves = true;
    for (size_t k = 0; k < 6; ++k) cell[k] += CellB_(k, free) * run.Dq[a];
  }
  const TMat3 ortho = cellMoves ? OrthoMatrixOf(cell) : Ortho_;
  for (size_t p = 0; p < run.Frac.size(); ++p) run.X[p] = MatVec(ortho, run.Frac[p]);
}

void TPointSampler::DrawUntil(TRun& run, const std::vector<TPlainQuantity>& quantities,
                              long long draws) const {
  for (; run.Draws < draws; ++run.Draws) {
    Draw(run);
    for (size_t q = 0; q < quantities.size(); ++q) run.Moments[q].Add(quantities[q](run.X));
  }
}

std::vector<TMonteCarlo> TPointSampler::Run(const std::vector<TPlainQuantity>& quantities,
                                            long long draws) const {
  TRun run(LStart_.size() - 1, Frac_.size(), quantities.size());
  DrawUntil(run, quantities, draws);
  return run.Results();
}

std::vector<TMonteCarlo> TPointSampler::RunUntilStable(
    const std::vector<TPlainQuantity>& quantities) const {
  TRun run(LStart_.size() - 1, Frac_.size(), quantities.size());
  std::vector<std::string> previous(quantities.size());
  for (long long round = kFirstRound;; round *= 2) {
    DrawUntil(run, quantities, round);
    bool stable = round > kFirstRound;
    for (size_t q = 0; q < quantities.size(); ++q) {
      std::string printed = PrintedSu(run.Moments[q].Result().Sd);
      stable = stable && printed == previous[q];
      previous[q] = std::move(printed);
    }
    if (stable || round >= kMaxStableDraws) return run.Results();
  }
}

}  // namespace koravel

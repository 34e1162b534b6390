#pragma once
// SpotCounter: counts the 4-connected areas of flagged pixels of an image fed
// to it row by row, top to bottom.
//
// Each row is cut into runs of flagged pixels; a run joins the areas of the
// runs of the row above that share a column with it (4-connectivity: only
// directly above, never diagonally). Areas are kept in a union-find over the
// runs, so the work is one pass over the flags plus a little per run, and the
// memory one integer per run.
#include <cstdint>
#include <vector>

namespace batch {

class SpotCounter {
 public:
  /// Adds the next row: width bytes, non-zero meaning flagged.
  void addRow(const uint8_t* flags, int32_t width);

  /// The number of 4-connected areas among the rows added so far.
  int64_t count() const { return static_cast<int64_t>(parent_.size()) - merges_; }

 private:
  struct Run {
    int32_t first;  ///< first column
    int32_t last;   ///< last column (inclusive)
    int32_t label;  ///< index into parent_
  };

  int32_t find(int32_t label);
  void unite(int32_t a, int32_t b);

  std::vector<Run> above_;
  std::vector<Run> current_;
  std::vector<int32_t> parent_;
  int64_t merges_ = 0;
};

}  // namespace batch

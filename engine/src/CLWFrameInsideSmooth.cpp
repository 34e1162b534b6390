// Frame-inside smoothing.
//
// The area is found with run labels kept beside the containers, and the
// picture's marked rows are built apart, so the caller's containers change
// only once the result exists. Inside the work image the area's pixels
// carry LWATTR_TARGET and the rest is colour 0: the first spread paints the
// line colour over that outside only (the area's other pixels are
// protected), so that the counter-spread of the second colour cannot eat
// the line where it meets the area's edge; the second spread then removes
// bumps of the line narrower than the circle, and the last spread restores
// the line's course.
#include "CLWFrameInsideSmooth.h"

#include <cstring>

#include "Allocation.h"
#include "RunRows.h"
#include "Spread.h"
#include "WorkRow.h"
#include "trellin/lwdata.h"

using trellin::LWRun;
using trellin::LWRunRow;
using trellin::RowBuilder;
using trellin::RunLabels;

namespace {

// Sets every run's attribute by rule(run).
template <class Rule>
void remark(CLWData& data, Rule rule) noexcept {
  for (std::uint32_t y = 0; y < data.height(); ++y) {
    LWRunRow& row = data.rows()[y];
    for (std::uint32_t i = 0; row.runs && i < row.count; ++i)
      row.runs[i].attribute = rule(row.runs[i]);
  }
}

// Owns a row array being built; frees it unless released.
struct NewRows {
  LWRunRow* rows = nullptr;
  std::uint32_t height = 0;
  ~NewRows() { trellin::releaseRows(rows, height); }
  bool allocate(std::uint32_t count) noexcept {
    rows = trellin::allocateArray<LWRunRow>(count);
    if (!rows) return false;
    height = count;
    std::memset(static_cast<void*>(rows), 0, sizeof(LWRunRow) * count);
    return true;
  }
  LWRunRow* release() noexcept {
    height = 0;
    LWRunRow* out = rows;
    rows = nullptr;
    return out;
  }
};

bool storeRow(LWRunRow& row, const RowBuilder& built) noexcept {
  row.runs = trellin::allocateArray<LWRun>(built.count);
  if (!row.runs) return false;
  std::memcpy(row.runs, built.runs, sizeof(LWRun) * built.count);
  row.count = built.count;
  return true;
}

// Walks two rows of one width together, calling f(x, end, i, j) for each
// stretch [x, end) over which run i of first and run j of second stay.
template <class F>
void walkPair(const LWRunRow& first, const LWRunRow& second, F&& f) noexcept {
  std::uint32_t i = 0, j = 0;
  std::int32_t x = 0;
  std::int32_t endA = static_cast<std::int32_t>(first.runs[0].length);
  std::int32_t endB = static_cast<std::int32_t>(second.runs[0].length);
  while (i < first.count && j < second.count) {
    const std::int32_t end = endA < endB ? endA : endB;
    f(x, end, i, j);
    x = end;
    if (endA == end && ++i < first.count) endA += static_cast<std::int32_t>(first.runs[i].length);
    if (endB == end && ++j < second.count) endB += static_cast<std::int32_t>(second.runs[j].length);
  }
}

bool hasRuns(const CLWData& data) noexcept {
  for (std::uint32_t y = 0; y < data.height(); ++y)
    if (!data.rows()[y].runs || data.rows()[y].count == 0) return false;
  return true;
}

}  // namespace

CLWFrameInsideSmooth::~CLWFrameInsideSmooth() = default;

bool CLWFrameInsideSmooth::checkArguments(const CLWData& picture, const CLWData& frame,
                                          std::uint32_t lineColour, std::int32_t x, std::int32_t y,
                                          std::int32_t radius) const noexcept {
  return lineColour != 0 && radius >= 1 && picture.width() == frame.width() &&
         picture.height() == frame.height() && x >= 0 && y >= 0 && x < picture.width() &&
         static_cast<std::uint32_t>(y) < picture.height() && hasRuns(picture) && hasRuns(frame);
}

void CLWFrameInsideSmooth::labelFrameArea(const CLWData& frame, RunLabels& frameArea,
                                          std::int32_t x, std::int32_t y) const noexcept {
  const std::uint32_t row = static_cast<std::uint32_t>(y);
  std::uint32_t i = 0;
  while (frameArea.start(row, i) + static_cast<std::int32_t>(frame.rows()[row].runs[i].length) <= x)
    ++i;
  frameArea.fill(row, i, 1);
}

void CLWFrameInsideSmooth::labelLineRegions(const CLWData& picture, const CLWData& frame,
                                            RunLabels& frameArea, RunLabels& lineRegions,
                                            std::uint32_t lineColour) const noexcept {
  for (std::uint32_t y = 0; y < picture.height(); ++y) {
    const LWRun* runs = picture.rows()[y].runs;
    walkPair(
        picture.rows()[y], frame.rows()[y],
        [&](std::int32_t, std::int32_t, std::uint32_t i, std::uint32_t j) {
          if (frameArea.label(y, j) && runs[i].value == lineColour && lineRegions.label(y, i) == 0)
            lineRegions.fill(y, i, 1);
        });
  }
}

LWRunRow* CLWFrameInsideSmooth::markedPictureRows(const CLWData& picture, const CLWData& frame,
                                                  RunLabels& frameArea,
                                                  RunLabels& lineRegions) const noexcept {
  const std::size_t width = static_cast<std::size_t>(picture.width());
  LWRun* scratch = trellin::allocateArray<LWRun>(width);
  NewRows rows;
  if (!scratch || !rows.allocate(picture.height())) {
    trellin::releaseBytes(scratch);
    return nullptr;
  }
  for (std::uint32_t y = 0; y < picture.height(); ++y) {
    RowBuilder out{scratch, 0};
    const LWRun* runs = picture.rows()[y].runs;
    walkPair(picture.rows()[y], frame.rows()[y],
             [&](std::int32_t x, std::int32_t end, std::uint32_t i, std::uint32_t j) {
               const bool inArea = lineRegions.label(y, i) != 0 || frameArea.label(y, j) != 0;
               out.append(runs[i].value, inArea ? LWATTR_TARGET : 0, end - x);
             });
    if (!storeRow(rows.rows[y], out)) {
      trellin::releaseBytes(scratch);
      return nullptr;
    }
  }
  trellin::releaseBytes(scratch);
  return rows.release();
}

CLWData* CLWFrameInsideSmooth::makeWorkImage(const LWRunRow* marked, std::int32_t width,
                                             std::uint32_t height) const noexcept {
  LWRun* scratch = trellin::allocateArray<LWRun>(static_cast<std::size_t>(width));
  NewRows rows;
  bool ok = scratch && rows.allocate(height);
  for (std::uint32_t y = 0; ok && y < height; ++y) {
    RowBuilder out{scratch, 0};
    for (std::uint32_t i = 0; i < marked[y].count; ++i) {
      const LWRun& run = marked[y].runs[i];
      const bool inArea = run.attribute == LWATTR_TARGET;
      out.append(inArea ? run.value : 0, inArea ? LWATTR_TARGET : 0,
                 static_cast<std::int32_t>(run.length));
    }
    ok = storeRow(rows.rows[y], out);
  }
  trellin::releaseBytes(scratch);
  if (!ok) return nullptr;
  CLWData* work = CreateLWData();
  if (!work) return nullptr;
  work->adopt(width, height, rows.release());
  return work;
}

bool CLWFrameInsideSmooth::findSecondColour(const CLWData& work, std::uint32_t lineColour,
                                            std::uint32_t& second) const noexcept {
  for (std::uint32_t y = 0; y < work.height(); ++y) {
    const LWRunRow& row = work.rows()[y];
    for (std::uint32_t i = 0; i < row.count; ++i)
      if (row.runs[i].attribute == LWATTR_TARGET && row.runs[i].value != lineColour) {
        second = row.runs[i].value;
        return true;
      }
  }
  return false;
}

bool CLWFrameInsideSmooth::smooth(CLWData& work, std::uint32_t lineColour, std::uint32_t second,
                                  std::int32_t radius) const noexcept {
  // The area's line pixels are the sources, its other pixels protected.
  remark(work, [&](const LWRun& run) -> std::uint32_t {
    if (run.attribute != LWATTR_TARGET) return 0;
    return run.value == lineColour ? LWATTR_TARGET : LWATTR_TARGET2;
  });
  if (!trellin::spread(work, radius, trellin::kSpreadCircle, trellin::Marks{lineColour, false, 0},
                       lineColour))
    return false;
  remark(work, [](const LWRun& run) -> std::uint32_t {
    return run.attribute == LWATTR_TARGET2 ? LWATTR_TARGET : 0;
  });
  if (!trellin::spread(work, radius, trellin::kSpreadCircle, trellin::Marks{second, false, 0},
                       second))
    return false;
  remark(work, [&](const LWRun& run) -> std::uint32_t {
    return run.value == lineColour ? LWATTR_TARGET : 0;
  });
  return trellin::spread(work, radius, trellin::kSpreadCircle, trellin::Marks{lineColour, false, 0},
                         lineColour);
}

bool CLWFrameInsideSmooth::markResult(CLWData& work, const LWRunRow* marked) const noexcept {
  LWRun* scratch = trellin::allocateArray<LWRun>(static_cast<std::size_t>(work.width()));
  NewRows rows;
  bool ok = scratch && rows.allocate(work.height());
  for (std::uint32_t y = 0; ok && y < work.height(); ++y) {
    RowBuilder out{scratch, 0};
    const LWRun* runs = work.rows()[y].runs;
    const LWRun* marks = marked[y].runs;
    walkPair(work.rows()[y], marked[y],
             [&](std::int32_t x, std::int32_t end, std::uint32_t i, std::uint32_t j) {
               out.append(runs[i].value,
                          marks[j].attribute == LWATTR_TARGET ? LWATTR_TARGET : LWATTR_TARGET2,
                          end - x);
             });
    ok = storeRow(rows.rows[y], out);
  }
  trellin::releaseBytes(scratch);
  if (!ok) return false;
  const std::int32_t width = work.width();
  const std::uint32_t height = work.height();
  work.adopt(width, height, rows.release());
  return true;
}

bool CLWFrameInsideSmooth::run(CLWData& picture, CLWData& frame, std::uint32_t lineColour,
                               std::int32_t x, std::int32_t y, std::int32_t radius,
                               CLWData*& result) noexcept {
  if (!checkArguments(picture, frame, lineColour, x, y, radius)) return false;
  RunLabels frameArea(frame);
  RunLabels lineRegions(picture);
  if (!frameArea.init() || !lineRegions.init()) return false;
  labelFrameArea(frame, frameArea, x, y);
  labelLineRegions(picture, frame, frameArea, lineRegions, lineColour);

  NewRows marked;
  marked.rows = markedPictureRows(picture, frame, frameArea, lineRegions);
  if (!marked.rows) return false;
  marked.height = picture.height();

  CLWData* work = makeWorkImage(marked.rows, picture.width(), picture.height());
  if (!work) return false;
  std::uint32_t second = 0;
  if (!findSecondColour(*work, lineColour, second) || !smooth(*work, lineColour, second, radius) ||
      !markResult(*work, marked.rows)) {
    DeleteLWData(work);
    return false;
  }

  // Nothing can fail any more: mark the caller's containers. The frame's
  // runs first, while the label table still matches them (picture and
  // frame may be one container).
  for (std::uint32_t row = 0; row < frame.height(); ++row)
    for (std::uint32_t i = 0; i < frame.rows()[row].count; ++i)
      frame.rows()[row].runs[i].attribute = frameArea.label(row, i) ? LWATTR_TARGET : 0;
  const std::int32_t width = picture.width();
  const std::uint32_t height = picture.height();
  picture.adopt(width, height, marked.release());
  result = work;
  return true;
}

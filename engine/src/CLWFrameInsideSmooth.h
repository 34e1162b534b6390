#pragma once
// The steps of LWFrameInsideSmooth: smoothing the line outline inside one
// closed area of a picture by three circle spreads.
#include <cstdint>

#include "CLWData.h"
#include "LWRun.h"
#include "RunLabels.h"

/// Holds no data: each step is a method that works on what it is given.
/// The spreads share LWSpread's module-level buffers, so this is not
/// reentrant.
class CLWFrameInsideSmooth {
 public:
  CLWFrameInsideSmooth() noexcept = default;
  virtual ~CLWFrameInsideSmooth();
  CLWFrameInsideSmooth(const CLWFrameInsideSmooth&) = delete;
  CLWFrameInsideSmooth& operator=(const CLWFrameInsideSmooth&) = delete;

  /// The whole operation (see LWFrameInsideSmooth in trellin/lwdata.h). On
  /// success result receives the new container. False for arguments out of
  /// range, an area without a second colour, or lack of memory; picture and
  /// frame are then unchanged and nothing is left allocated.
  bool run(CLWData& picture, CLWData& frame, std::uint32_t lineColour, std::int32_t x,
           std::int32_t y, std::int32_t radius, CLWData*& result) noexcept;

  /// Sizes equal, the point inside, radius at least 1, line colour not 0.
  bool checkArguments(const CLWData& picture, const CLWData& frame, std::uint32_t lineColour,
                      std::int32_t x, std::int32_t y, std::int32_t radius) const noexcept;

  /// Labels (1) the 4-connected region of frame's colour at (x, y).
  void labelFrameArea(const CLWData& frame, trellin::RunLabels& frameArea, std::int32_t x,
                      std::int32_t y) const noexcept;

  /// Labels (1) every region of lineColour in picture that reaches into the
  /// frame area.
  void labelLineRegions(const CLWData& picture, const CLWData& frame, trellin::RunLabels& frameArea,
                        trellin::RunLabels& lineRegions, std::uint32_t lineColour) const noexcept;

  /// Picture's rows with the marks of the area: LWATTR_TARGET on the line
  /// regions and, pixel by pixel, on the frame area; 0 elsewhere. Null when
  /// memory runs out.
  trellin::LWRunRow* markedPictureRows(const CLWData& picture, const CLWData& frame,
                                       trellin::RunLabels& frameArea,
                                       trellin::RunLabels& lineRegions) const noexcept;

  /// A new image of the area's pixels with LWATTR_TARGET, everything else
  /// colour 0 and attribute 0. Null when memory runs out.
  CLWData* makeWorkImage(const trellin::LWRunRow* marked, std::int32_t width,
                         std::uint32_t height) const noexcept;

  /// The first colour of the area (rows from the top) that is not
  /// lineColour. False when the area holds only lineColour.
  bool findSecondColour(const CLWData& work, std::uint32_t lineColour,
                        std::uint32_t& second) const noexcept;

  /// The line spread, the counter-spread of the second colour and the line
  /// spread again, with the circle of radius. False when memory runs out.
  bool smooth(CLWData& work, std::uint32_t lineColour, std::uint32_t second,
              std::int32_t radius) const noexcept;

  /// Gives the pixels of the area (marked in marked) LWATTR_TARGET and all
  /// others LWATTR_TARGET2, keeping work's colours. False when memory runs
  /// out; work is then unchanged.
  bool markResult(CLWData& work, const trellin::LWRunRow* marked) const noexcept;
};

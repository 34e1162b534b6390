/*
 * Trellin, the line-work engine: a run-length image container and line-art
 * operations on it, reached only through these plain C functions.
 *
 * A picture is held as run-length rows of 32-bit colour values. A caller
 * creates an empty container, fills it from its own pixel buffer with one Set
 * function, runs operations on it, copies the result back with a Return
 * function and deletes the container:
 *
 *   CLWData* d = CreateLWData();
 *   LWDataSetImageData(d, w, h, stride, 1, pixels);    // gray 0 -> 0xFFFFFF00,
 *                                                      // gray 255 -> 0xFFFFFFFF
 *   LWPinhole(d, -256, -1, 36);                        // dark specks <= 36 px -> white
 *   LWDataReturnImageData(d, w, h, stride, 1, pixels);
 *   DeleteLWData(d);
 *
 * Conventions shared by every function:
 *  - The container comes first; a null container is accepted everywhere and
 *    gives 0 (or nothing, for DeleteLWData).
 *  - A Boolean result is one byte: 1 for success, 0 for failure. Nothing is
 *    printed; the result is the only report. Out of memory is a 0 result.
 *  - An operation that fails leaves the container's content as it was.
 *  - The stride is the signed byte distance from one row to the next, added
 *    to the row pointer after each row: a negative stride walks a bottom-up
 *    buffer. Rows are read and written from the pointer given, top row first.
 *  - Colour values compare as whole 32-bit words, in the encoding of the Set
 *    function that filled the container:
 *      LWDataSetGrayData:  the gray byte, upper 24 bits 0
 *      LWDataSetRGBData:   b0 + b1*256 + b2*65536 of the 3-byte pixel
 *      LWDataSetImageData: the n bytes as the low n bytes (little-endian),
 *                          every byte above them 0xFF
 *
 * A container has no lock: use one container from one thread at a time.
 */
#ifndef TRELLIN_LWDATA_H
#define TRELLIN_LWDATA_H

#include <stdint.h>

#if defined(TRELLIN_BUILDING)
#define LW_API __attribute__((visibility("default")))
#else
#define LW_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The opaque image container. */
typedef struct CLWData CLWData;

/* One byte: 1 success, 0 failure. */
typedef unsigned char LWBool;

/* Run attribute codes. */
enum {
  LWATTR_NONE = 0,    /* no mark (every run after a Set function) */
  LWATTR_CHANGED = 2, /* the run was recoloured by an operation (pinhole fill) */
  LWATTR_TARGET = 4,  /* the run has the colour an operation works on */
  LWATTR_TARGET2 = 8  /* the protected colour of LWSpread; outside the processed
                         area in the result of LWFrameInsideSmooth */
};

/* ---- Container ---------------------------------------------------------- */

/* A new empty container, or null when memory runs out. */
LW_API CLWData* CreateLWData(void);
/* Destroys the container and its content; null is ignored. */
LW_API void DeleteLWData(CLWData* data);
/* Width / height of the content; 0 when empty or null. */
LW_API int32_t LWDataGetWidth(CLWData* data);
LW_API uint32_t LWDataGetHeight(CLWData* data);

/* ---- Set: replace the content from a pixel buffer -------------------------
 * Each row becomes runs of equal pixels, every run with attribute
 * LWATTR_NONE. Refused (0, content unchanged) when width, height, stride or
 * the pointer is 0, for LWDataSetImageData when bytesPerPixel is 0 or above
 * 4, and when width or height is negative (above 2^31 - 1 as a count) or so
 * large that its run arrays could not be sized. Out of memory while
 * building: 0 and the container is empty. */
LW_API LWBool LWDataSetGrayData(CLWData* data, int32_t width, int32_t height, int32_t stride,
                                const uint8_t* pixels);
LW_API LWBool LWDataSetRGBData(CLWData* data, int32_t width, int32_t height, int32_t stride,
                               const uint8_t* pixels);
LW_API LWBool LWDataSetImageData(CLWData* data, int32_t width, int32_t height, int32_t stride,
                                 int32_t bytesPerPixel, const uint8_t* pixels);

/* ---- Return: write the content into a pixel buffer ------------------------
 * Refused (0, nothing written) unless width and height equal the container's;
 * the image-data forms also refuse bytesPerPixel 0 or above 4. An empty
 * container with matching arguments returns 1. The destination must hold
 * height rows of width * bytesPerPixel bytes at the given stride. */
LW_API LWBool LWDataReturnGrayData(CLWData* data, int32_t width, int32_t height, int32_t stride,
                                   uint8_t* pixels);
LW_API LWBool LWDataReturnRGBData(CLWData* data, int32_t width, int32_t height, int32_t stride,
                                  uint8_t* pixels);
LW_API LWBool LWDataReturnImageData(CLWData* data, int32_t width, int32_t height, int32_t stride,
                                    int32_t bytesPerPixel, uint8_t* pixels);
/* Writes only the pixels of runs whose value equals colour (all 32 bits);
 * other destination pixels keep what they held. */
LW_API LWBool LWDataReturnImageData_TargetColor(CLWData* data, int32_t width, int32_t height,
                                                int32_t stride, int32_t bytesPerPixel,
                                                int32_t colour, uint8_t* pixels);
/* Writes only the pixels of runs whose attribute equals attribute; after
 * LWPinhole, LWATTR_CHANGED selects exactly the recoloured pixels. */
LW_API LWBool LWDataReturnImageData_TargetAtr(CLWData* data, int32_t width, int32_t height,
                                              int32_t stride, int32_t bytesPerPixel,
                                              int32_t attribute, uint8_t* pixels);

/* ---- Operations ----------------------------------------------------------- */

/* Paints every 4-connected area of exactly targetColour that holds at most
 * largestArea pixels with fillColour, marking the painted runs
 * LWATTR_CHANGED; every other run keeps its value and attribute. Areas
 * touching the border count like any other; a largestArea of 0 or less
 * paints nothing. With fillColour equal to targetColour only the marks
 * change. Colours are in the encoding of the Set function used (gray 0 and
 * 255 after LWDataSetImageData with one byte a pixel: -256 and -1).
 * Out of memory: 0, and the content is exactly as before the call. Uses only
 * memory it allocates: calls on different containers may run at once. */
LW_API LWBool LWPinhole(CLWData* data, int32_t targetColour, int32_t fillColour,
                        int32_t largestArea);

/* ---- Choke and spread ------------------------------------------------------
 * LWChoke and LWSpread keep working buffers in module-level storage that
 * later calls reuse: they are not reentrant. At most one call of LWChoke
 * and one of LWSpread or LWFrameInsideSmooth (which shares LWSpread's
 * buffers) may run at a time in a process.
 *
 * Both first mark runs by colour: runs of targetColour get LWATTR_TARGET
 * and, for LWSpread with protection, runs of protectedColour get
 * LWATTR_TARGET2. From then on a pixel is target when its run's attribute
 * has the LWATTR_TARGET bit and protected when it has the LWATTR_TARGET2
 * bit, so a run still carrying such a bit from an earlier operation counts
 * too. The marks stay after the call. Out of memory: 0, and the content,
 * marks included, is exactly as before the call. */

/* Shrinks the areas of targetColour by one pixel per pass, for up to
 * iterations passes; iterations of 0 or less leave the pixels as they are
 * (result 1). Each pass is computed from the image as it was at its start.
 *  neighbourhood: 0 four neighbours (above, below, left, right); 1 eight
 *    (the diagonals too); 2 eight in odd passes (the first is number 1) and
 *    four in even ones; any other value counts as 0.
 *  borderMode: 1 eroded pixels take paintColour with attribute 0 and the
 *    outside of the image counts as not target, so areas touching the
 *    border erode from it; 0 an eroded pixel takes the colour and attribute
 *    of the neighbour that is not target (above, below, left, right, then
 *    the diagonals above-left, above-right, below-left, below-right), and
 *    the top and bottom rows erode from their one vertical neighbour only;
 *    any other value as 0, but the top and bottom rows stay unchanged. In
 *    modes other than 1 nothing erodes from the sides of the image.
 * Passes stop early when one meets no target pixel, or once further passes
 * could not change anything. */
LW_API LWBool LWChoke(CLWData* data, int32_t iterations, int32_t neighbourhood,
                      int32_t targetColour, int32_t borderMode, int32_t paintColour);

/* Paints every pixel within radius of a target pixel, measured by the
 * shape (0 circle, 1 diamond |dx| + |dy| <= radius, 2 square), with
 * spreadColour and attribute 0. Target pixels are never painted, nor, when
 * the low byte of protect is non-zero, pixels of protectedColour. Refused
 * (0, nothing changed) for radius 0 or less and for any other shape. The
 * circle's half-width at row distance i is round(sqrt(radius^2 - i^2))
 * while that is at least i, and the shape is made symmetric across its
 * diagonals beyond that. */
LW_API LWBool LWSpread(CLWData* data, int32_t radius, int32_t shape, int32_t targetColour,
                       int32_t spreadColour, int32_t protect, int32_t protectedColour);

/* ---- Filamentation ----------------------------------------------------------
 * Not reentrant: the working buffers are module-level and reused by later
 * calls.
 *
 * Thins the areas of targetColour towards lines one or two pixels wide.
 * Runs of targetColour are marked LWATTR_TARGET (the marks stay). Each of
 * the passes peels end pixels off target runs longer than two pixels,
 * giving each the colour and attribute of a neighbour that is not target
 * (beside it, else above, else below). An end pixel stays where it ends a
 * line, where taking it would split its eight neighbours into separate
 * parts, where it ends a horizontal stroke one or two pixels thick, and
 * where it is the second pixel from the top of a taller column (so one row
 * of every thick horizontal stroke keeps its length). One-pixel lines in
 * any direction survive any number of passes. With passMode 0 a pass also
 * removes isolated one-pixel dots; any other value keeps them.
 * With cleanUp non-zero, trunc(passes * 0.5 + 0.5) clean-up rounds follow.
 * Each looks at the pixels around every target run (beside it, and above
 * and below at and beside its end pixels): with none belonging to the line
 * (a non-zero attribute or the run's colour) a one-pixel run goes; with
 * one, or two side by side, a one-pixel run goes and a longer run gives up
 * the end pixel away from them. So dots vanish and line ends and spurs
 * shorten by one pixel a round.
 * The two top and two bottom rows never change: images of four rows or
 * fewer, and passes of 0 or less, leave the pixels unchanged (result 1).
 * Out of memory: 0, and the content is as before the call. */
LW_API LWBool LWFilamentation(CLWData* data, int32_t targetColour, int32_t passes, int32_t cleanUp,
                              int32_t passMode);

/* ---- Colour emphasis and data skipping --------------------------------------
 * Both reduce the image block by block with factor, the ratio of output to
 * input size, 0 < factor <= 1 (anything else, NaN included, is refused with
 * 0). Columns are cut into blocks by an accumulator that adds factor for
 * each pixel and closes a block where its whole part becomes non-zero (a
 * factor of 0.5 gives blocks of 1, 2, 2, ... pixels); rows alike. A block
 * becomes one pixel of the colour of its top-left pixel, or of emphasised
 * when any of its pixels has that colour, so thin lines of emphasised are
 * never lost. Attributes of the result are 0. Out of memory: 0, content
 * unchanged. Both use only memory they allocate. */

/* Replaces the image by its reduction (new width and height). */
LW_API LWBool LWEmphasizeDataSkipping(CLWData* data, int32_t emphasised, double factor);
/* Reduces the image and scales the reduction back to the former width and
 * height (nearest, with rounded cumulative positions), which widens the
 * emphasised colour to the block grid. Factor 1 leaves the pixels as they
 * are. */
LW_API LWBool LWColorEmphasize(CLWData* data, int32_t emphasised, double factor);

/* ---- Dividing coating ---------------------------------------------------------
 * Gives every 4-connected area of targetColour its own colour. The areas
 * are labelled 1, 2, 3, ... in the order of their first pixel (rows from
 * the top, pixels from the left); the label is written into the attribute
 * of each of their runs, whatever attribute the run had. Area k takes the
 * k-th colour of a sequence that starts at hue 0 degrees, saturation 0.2,
 * lightness 0.2 and advances before each area: hue += hueStep, less 360
 * when above 359 (hueStep is taken modulo 360); saturation +=
 * saturationStep and lightness += lightnessStep, each less 0.6 when above
 * 0.8. The colour is the RGB value r + 256 g + 65536 b (the encoding of
 * LWDataSetRGBData) of the hue/lightness/saturation triple, converted with
 * the results of OpenCV's float HLS-to-RGB conversion, each channel
 * trunc(channel * 255) limited to 0..255. Runs of other colours are not
 * touched. Out of memory: 0, content unchanged. Uses only memory it
 * allocates. */
LW_API LWBool LWDividesCoating(CLWData* data, int32_t targetColour, int32_t hueStep,
                               double saturationStep, double lightnessStep);

/* ---- Frame-inside smoothing -------------------------------------------------
 * Smooths the outline of lineColour inside one closed area of picture. The
 * area is the 4-connected region of frame (same width and height as
 * picture) holding the point (x, y), together with every 4-connected
 * region of lineColour in picture that reaches into it. Inside it, spurs
 * and bumps of the line narrower than twice radius are removed while wider
 * lines keep their course: the line is spread with a circle of radius into
 * the outside of the area (so that the area's edge does not wear the line
 * away), the area's other colour (the first colour other than lineColour
 * found in it, rows from the top) is spread back over the line, and the
 * line is spread again.
 *
 * On success *result receives a new container of picture's size that the
 * caller owns and deletes with DeleteLWData: pixels of the area carry
 * attribute LWATTR_TARGET and the smoothed colours, all others attribute
 * LWATTR_TARGET2; copy back with LWDataReturnImageData_TargetAtr and
 * LWATTR_TARGET. The attributes of picture and frame are rewritten: the
 * area is marked LWATTR_TARGET in picture and the frame region in frame,
 * everything else 0 (the pixels of picture keep their colours). Not
 * reentrant: shares LWSpread's buffers.
 *
 * 0, with *result untouched and picture and frame unchanged, attributes
 * included: an area holding only lineColour, or out of memory; and, before
 * anything is allocated, a null container or result pointer, a lineColour
 * of 0, sizes that differ, (x, y) outside the image or a radius of 0 or
 * less. */
LW_API LWBool LWFrameInsideSmooth(CLWData* picture, CLWData* frame, int32_t lineColour, int32_t x,
                                  int32_t y, int32_t radius, CLWData** result);

#ifdef __cplusplus
}
#endif

#endif /* TRELLIN_LWDATA_H */

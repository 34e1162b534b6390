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

#ifdef __cplusplus
}
#endif

#endif /* TRELLIN_LWDATA_H */

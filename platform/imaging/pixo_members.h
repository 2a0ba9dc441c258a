#pragma once
// The members of the imaging control "PIXOLib.PIXO", by dispatch id.
//
// System code reaches the control by dispatch id alone and names every id by
// its role through `Pixo`; no bare numbers. This is the one member table of
// the control: every id a caller uses is listed here, and the stand-in serves
// each of them (an id not listed raises run-time error 438).
//
// Value conventions the callers rely on:
// - colours are Longs &H00BBGGRR (red in the low byte);
// - image positions and sizes are image pixels, view positions display
//   pixels, mouse event positions twips;
// - method results are Integers, 0 on success, else a `PixoResult`.

#include <cstdint>

namespace imaging {

inline constexpr const char kPixoProgId[] = "PIXOLib.PIXO";

enum class Pixo : int32_t {
  // Image
  BitmapHandle = 1,        // Long; put another instance's handle = own copy, 0 frees
  AutoRepaint = 2,         // Boolean
  ViewFlag5 = 5,           // Boolean, view set-up
  ImageWidth = 10,         // pixels, 0 when empty
  ImageHeight = 11,
  ImageBits = 12,          // 1, 4, 8 or 24; 0 when empty
  ViewEnabled = 20,        // Boolean; False ignores mouse input
  // View geometry (display pixels unless noted)
  DstLeft = 21,            // where the image lies in the view; negative when scrolled
  DstTop = 22,
  DstWidth = 23,           // displayed image size
  DstHeight = 24,
  DclLeft = 25,            // display clip, image pixels
  DclTop = 26,
  DclWidth = 27,
  DclHeight = 28,
  SrcLeft = 29,            // visible part of the image, image pixels
  SrcTop = 30,
  SrcWidth = 31,
  SrcHeight = 32,
  SclLeft = 33,            // the view area
  SclTop = 34,
  SclWidth = 35,
  SclHeight = 36,
  XResolution = 37,        // dpi, Long
  YResolution = 38,
  // File information, filled by GetFileInfo
  InfoPage = 39,
  InfoWidth = 40,
  InfoHeight = 41,
  InfoBits = 42,
  InfoSizeDisk = 44,       // bytes
  // Rubber band and pointer
  RubberBandActive = 48,   // True shows the band; anchored at the last mouse-down point
  RubberBandLeft = 49,     // display pixels
  RubberBandTop = 50,
  RubberBandWidth = 51,
  RubberBandHeight = 52,
  MousePointer = 54,       // 0 default, 1 arrow, 2 cross, 4 move, 8 diagonal, 11 hourglass
  ViewOption56 = 56,
  ViewFlag57 = 57,
  ImageValue60 = 60,       // horizontal resolution, dpi
  ImageValue61 = 61,       // vertical resolution, dpi
  // Scanner (TWAIN) settings
  TwainAppAuthor = 76,
  TwainAppFamily = 77,
  TwainAppName = 78,
  TwainSourceName = 79,
  TwainMaxPages = 80,
  TwainPixelType = 81,
  TwainResolution = 82,
  TwainFrameLeft = 83,
  TwainFrameTop = 84,
  TwainFrameWidth = 85,
  TwainFrameHeight = 86,
  TwainBits = 87,
  TwainOptionFlags = 89,
  // Image kind and region
  BitonalFlag = 98,        // Integer 1 for a black-and-white image, else 0
  HasRegion = 99,          // Boolean
  RegionLeft = 100,        // the region's bounding box as shown, display pixels
  RegionTop = 101,
  RegionWidth = 102,
  RegionHeight = 103,
  ViewOption104 = 104,
  RubberBandState = 105,   // 1 or more once a band was drawn (or put)
  ImageValue106 = 106,     // put a handle: keep a copy cut to the region; get: its handle
  ViewOption107 = 107,
  SaveOption132 = 132,
  ScaleMode = 154,         // 0 actual size, 3 fit to the view, 4 ZoomPercent
  ZoomPercent = 155,       // Double
  RubberBandEnabled = 160, // Boolean; with RubberBandActive the band follows a drag
  SaveOption161 = 161,
  // Drawing and text
  DrawOption164 = 164,
  DrawOption165 = 165,
  DrawOption166 = 166,
  ViewOption167 = 167,
  ViewOption168 = 168,
  DrawColor169 = 169,      // colour of DrawShape marks
  DrawOption170 = 170,
  TextColor = 171,
  TextLeft = 212,          // text rectangle, image pixels
  TextTop = 213,
  TextWidth = 214,
  TextHeight = 215,
  TextAngle = 216,         // tenths of a degree, counter-clockwise
  TextOption217 = 217,
  TextAlign = 233,         // 0..8: row (top, middle, bottom) x 3 + column (left, centre, right)
  TwainBrightness = 248,
  TwainContrast = 249,
  TwainFeederEnabled = 250,
  TwainAutoFeed = 251,
  InfoPageCount = 265,
  SaveOption266 = 266,     // page of the next save: above 1 appends (with the page flag)
  SaveOption274 = 274,
  PanEnabled = 275,        // Boolean; a left drag pans the image
  SaveOption280 = 280,
  // Methods
  AdjustContrast = 300,    // (value -1000..1000; 0 neutral)
  FlipImage = 302,         // () top and bottom exchanged
  ConvertToGray = 303,     // (bits 1, 4, 8 or 24)
  AdjustBrightness = 306,  // (value -1000..1000; 0 neutral)
  TwainAcquire = 308,      // (window handle) -> 0 when an image was scanned
  TwainSelectSource = 309, // (window handle)
  MirrorImage = 312,       // () left and right exchanged
  Repaint = 313,           // ()
  SaveImageFile = 317,     // (path, format code, bits, quality, page flag): PixoFormat
  RotateImage = 321,       // (hundredths of a degree, clockwise; flags; fill colour)
  FillImage = 325,         // (colour)
  AdjustGamma = 328,       // (value 1..1000; 100 neutral)
  CreateImage = 330,       // (width, height, bits)
  ResizeImage = 335,       // (width, height, mode; 2 = smooth)
  LoadImageFile = 338,     // (path, bits 0 = as stored, page from 1, pages)
  ChangeColorDepth = 345,  // (bits, palette mode, reserved, colours)
  Combine = 350,           // (left, top, width, height, source handle, source left, source top, flags)
  CropToRect = 355,        // (left, top, width, height)
  GetFileInfo = 357,       // (path, page, flags)
  TwainPrepare = 378,      // (window handle)
  FreeRegion = 389,        // ()
  IsPointInRegion = 392,   // (x, y image pixels) -> Boolean
  SetColorRegion = 394,    // (mode, colour)
  SetRectRegion = 397,     // (left, top, width, height, mode)
  ImageKind = 419,         // 0 none, 1 black and white, 2 palette, 3 grey, 4 true colour
  DrawShape = 430,         // (x1, y1, x2, y2): debug mark on the overlay
  TextWidthOf = 433,       // (text) -> width in pixels in the current font
  ZoomToRect = 435,        // (left, top, width, height display pixels)
  DrawText = 450,          // (text, flags): into the text rectangle
  TwainEndSession = 467,   // (window handle)
  PaletteEntry = 513,      // (index 0..255) = colour: the palette ChangeColorDepth mode 16 uses
  Pixel = 523,             // (x, y) -> &H00BBGGRR, -1 outside the image
  TwainAvailable = 543,    // (window handle) -> Boolean
  ComposeOp570 = 570,      // (a, b, op 1 add / 6 subtract)
  // Stock properties
  BackColor = -501,        // view background colour
  Font = -512,             // font object, members `PixoFont`
};

// Members of the font object that `Pixo::Font` returns.
enum class PixoFont : int32_t {
  Name = 0,    // String
  Size = 2,    // points (Double)
  Bold = 3,    // Boolean
  Italic = 4,  // Boolean
};

// Events the control raises to its container.
enum class PixoEvent : int32_t {
  Click = 9,
  DblClick = 10,
  MouseDown = 14,    // (Button Integer, Shift Integer, X Single, Y Single), twips
  MouseMove = 15,
  MouseUp = 16,
  OLEDropFile = 42,  // (path String)
};

// Results of the control's methods (Integer); 0 is success.
enum PixoResult : int16_t {
  kPixoOk = 0,
  kPixoNoImage = -1,          // the instance holds no image
  kPixoBadArgument = -2,      // a size, bits, mode, page or handle out of range
  kPixoFileNotFound = -3,     // the file cannot be opened
  kPixoUnknownFormat = -4,    // not a file type the control reads
  kPixoDamagedFile = -5,      // truncated or inconsistent file contents
  kPixoWriteFailed = -6,      // the file cannot be created or written
  kPixoUnsupportedCode = -7,  // a save format code with no counterpart here
  kPixoUnsupportedBits = -8,  // the format or compression cannot hold these bits
  kPixoNoScanner = -9,        // no scanner source is reachable
  kPixoScanFailed = -10,      // the scanner refused, jammed or sent an inconsistent image
  kPixoScanCancelled = -11,   // the operator cancelled the source dialog or the scan
  kPixoScanModeMissing = -12, // the scanner offers no mode of the pixel type asked
};

// Save format codes of SaveImageFile.
enum PixoFormat : int16_t {
  kFormatTiff = 3,            // TIFF, uncompressed
  kFormatTiffDeflate = 5,     // TIFF, Deflate
  kFormatBmp = 6,             // BMP, uncompressed
  kFormatJpeg = 10,           // JPEG, chroma 2x2 (4:2:0)
  kFormatTiffLzw = 17,        // TIFF, LZW
  kFormatJpeg422 = 21,        // JPEG, chroma 2x1 (4:2:2)
  kFormatJpeg444 = 23,        // JPEG, no chroma subsampling
  kFormatTiffCcittRle = 25,   // TIFF, CCITT modified Huffman (1 bit)
  kFormatTiffG3 = 27,         // TIFF, CCITT Group 3 1-D (1 bit)
  kFormatTiffG3_2D = 28,      // TIFF, CCITT Group 3 2-D (1 bit)
  kFormatTiffG4 = 29,         // TIFF, CCITT Group 4 (1 bit)
  kFormatPng = 75,            // PNG
  kFormatBmpRle = 84,         // BMP, RLE8 (8 bits) or RLE4 (4 bits)
  kFormatTiffLzwCmyk = 86,    // TIFF, LZW, CMYK separated (24 bits in)
  kFormatTiffPackBits = 87,   // TIFF, PackBits
  kFormatTiffJbig = 115,      // TIFF, JBIG (1 bit)
};

}  // namespace imaging

// The output format table and the preparation of a sheet in the save
// buffer L2: crop, grey or colour conversion, output size, save options.

#include "scanclient/process/prepare.h"

#include "platform/runtime/convert.h"
#include "platform/runtime/error.h"
#include "platform/runtime/strings.h"
#include "scanclient/acquire/view_sheets.h"
#include "scanclient/core/error_tail.h"
#include "scanclient/core/quillet1.h"

namespace quillet {

using imaging::Pixo;

namespace {

bool Has(std::string_view text, std::string_view word) { return rt::InStr(text, word) > 0; }

// The CCITT and JBIG codes.
bool BlackAndWhiteOnly(int16_t format) {
  switch (format) {
    case imaging::kFormatTiffCcittRle:
    case imaging::kFormatTiffG3:
    case imaging::kFormatTiffG3_2D:
    case imaging::kFormatTiffG4:
    case imaging::kFormatTiffJbig: return true;
    default: return false;
  }
}

// ImageKind answers.
constexpr int32_t kImageBlackWhite = 1;
constexpr int32_t kImageGrey = 3;

// The position (1..) of a character in `digits`, 0 when it is not there, 1
// when there is no character at all (the runtime's InStr of empty text).
int32_t DigitPosition(std::string_view digits, std::string_view one) {
  if (one.empty()) return 1;
  return rt::InStr(digits, one);
}

void PutPaletteEntry(forms::OleControl& c, int16_t index, int32_t colour) {
  c.Put(static_cast<int32_t>(Pixo::PaletteEntry), {rt::Variant(index)}, rt::Variant(colour));
}

}  // namespace

const DocTypeRow& DocRow(int32_t r) {
  if (r < 0 || r >= static_cast<int32_t>(App.DocTypeTable.size())) rt::Raise(rt::kSubscriptOutOfRange);
  return App.DocTypeTable[static_cast<size_t>(r)];
}

int16_t QualityOf(std::string_view options) {
  const int32_t at = rt::InStr(options, "QUAL-");
  const std::string q = rt::Mid(options, at + 5, 2);
  const int32_t h1 = DigitPosition("0123456789ABCDEF", rt::Mid(q, 1, 1));
  const int32_t h2 = DigitPosition("0123456789ABCDEF", rt::Mid(q, 2, 1));
  return rt::CInt(static_cast<double>(h1 * 16 + h2 - 17));
}

int32_t PaletteColour(std::string_view six) {
  int32_t value = 0;
  for (int32_t i = 1; i <= 6; ++i) value = value * 16 + DigitPosition("123456789ABCDEF", rt::Mid(six, i, 1));
  return value;
}

int16_t OptionNumber(std::string_view options, int32_t at, int32_t wordLength) {
  const std::string two = rt::Mid(options, at + wordLength, 2);
  if (rt::IsNumeric(two)) return rt::CInt(rt::Val(two));
  return rt::CInt(rt::Val(rt::Mid(options, at + wordLength, 1)));
}

SaveParams SaveFormatFor(std::string_view format, std::string_view options, bool bitonal) {
  SaveParams s;
  s.quality = Has(options, "QUAL-") ? QualityOf(options) : kDefaultSaveQuality;
  auto set = [&s](int16_t code, int16_t bits) {
    s.format = code;
    s.bits = bits;
  };
  if (format == "TIF") {
    set(3, bitonal ? 1 : 24);
    s.multiPage = 1;
    if (Has(options, "ENC-LZW")) set(Has(options, "CMYK") ? 86 : 17, 24);
    if (Has(options, "ENC-PB")) set(87, 24);
    if (Has(options, "ENC-CMP")) set(5, 24);
    if (Has(options, "ENC-JBIG")) set(115, 24);
    if (Has(options, "ENC-CIT")) set(25, 1);
    if (Has(options, "ENC-G3")) set(27, 1);
    if (Has(options, "ENC-G32")) set(28, 1);
    if (Has(options, "ENC-G4")) set(29, 1);
  } else if (format == "JPG") {
    set(10, 24);
    if (Has(options, "ENC-TYP0")) set(10, 24);
    if (Has(options, "ENC-TYP1")) set(21, 24);
    if (Has(options, "ENC-TYP2")) set(23, 24);
  } else if (format == "BMP") {
    set(6, 24);
    if (Has(options, "ENC-RLE")) set(84, 8);
  } else if (format == "PNG") {
    set(75, 24);
  }
  return s;
}

void Quillet1::SelectSaveFormat(int32_t r, int16_t k) {
  const DocTypeRow& row = DocRow(r);
  const std::string& format = row[Doc::Format];
  const bool bitonal = format == "TIF" && rt::CInt(PixGet(Thumb(k), Pixo::BitonalFlag)) != 0;
  const SaveParams s = SaveFormatFor(format, row[Doc::Options], bitonal);
  App.SaveFormat = s.format;
  App.SaveBits = s.bits;
  App.SaveQuality = s.quality;
  App.SaveMultiPage = s.multiPage;
}

int16_t Quillet1::L2Prepare(int16_t Thx, int16_t Bits) {
  int16_t result = Bits;
  ProcScope p("L2Prepare", Tail::ExitNow, rt::CStr(static_cast<double>(Thx)));
  p.Run([&] {
    PixPut(L2, Pixo::BitmapHandle, PixGet(Thumb(Thx), Pixo::BitmapHandle));
    App.CropTagBuf = Thsav(Thx).Tag.Get();
    const int32_t r = rt::CLng(rt::Val(Thumb(Thx).Tag.Get()));

    if (std::optional<int32_t> rc = SetCropRegion(L2, App.CropTagBuf)) {
      App.rc2 = *rc;
      // The cut copy kept by ImageValue106 becomes the buffer's image.
      if (rt::CBool(PixGet(L2, Pixo::HasRegion))) {
        PixPut(L2, Pixo::ImageValue106, PixGet(L2, Pixo::BitmapHandle));
        PixCall(L2, Pixo::FreeRegion);
        PixPut(L2, Pixo::BitmapHandle, PixGet(L2, Pixo::ImageValue106));
      }
    }

    const DocTypeRow& row = DocRow(r);
    const std::string& options = row[Doc::Options];
    const int32_t g = rt::InStr(options, "GRAY-");
    const int32_t c = rt::InStr(options, "COL-");
    if (g > 0) {
      const int16_t n = OptionNumber(options, g, 5);
      if (rt::CInt(PixGet(L2, Pixo::ImageBits)) < 24) {
        PixCall(L2, Pixo::ChangeColorDepth, {int16_t{24}, int16_t{8}, int16_t{0}, int16_t{0}});
      }
      PixCall(L2, Pixo::ConvertToGray, {n});
      result = n;
    }
    if (c > 0) {
      const int16_t n = OptionNumber(options, c, 4);
      int16_t mode = 8;
      int16_t colours = 0;
      const std::string& palette = row[Doc::Palette];
      if (!palette.empty() && n < 24) {
        mode = 16;
        for (int16_t i = 0; i <= 255; ++i) PutPaletteEntry(L2, i, 0);
        for (int32_t j = 1; j <= rt::Len(palette); j += 7) {
          PutPaletteEntry(L2, colours, PaletteColour(rt::Mid(palette, j, 6)));
          colours = rt::AddInt(colours, 1);
        }
      }
      if (Has(options, "B&W")) {
        mode = 16;
        colours = 2;
        PutPaletteEntry(L2, 0, 0);
        PutPaletteEntry(L2, 1, 0xFFFFFF);
      }
      if (Has(options, "BGR")) mode = static_cast<int16_t>(mode + 4);
      PixCall(L2, Pixo::ChangeColorDepth, {n, mode, int16_t{0}, colours});
      result = n;
    }

    const std::string& size = row[Doc::Size];
    if (!size.empty()) {
      App.SizeAspectX = rt::CLng(rt::Val(rt::Mid(size, 1, 4)));
      App.SizeAspectY = rt::CLng(rt::Val(rt::Mid(size, 6, 4)));
      if (App.SizeAspectX > 0 && App.SizeAspectY > 0) {
        PixCall(L2, Pixo::ResizeImage,
                {static_cast<double>(App.SizeAspectX), static_cast<double>(App.SizeAspectY), int16_t{2}});
      }
    }
  });
  return result;
}

int16_t SaveDepthFor(int16_t format, int16_t bits, bool grey) {
  if (BlackAndWhiteOnly(format)) return 1;
  switch (format) {
    case imaging::kFormatJpeg:
    case imaging::kFormatJpeg422:
    case imaging::kFormatJpeg444:
      if (bits == 24 || (bits == 8 && grey)) return bits;
      return grey ? 8 : 24;
    case imaging::kFormatBmpRle:
      if (bits == 4 || bits == 8) return bits;
      return bits == 24 ? 8 : 4;
    case imaging::kFormatTiffLzwCmyk: return 24;
    default: return bits;
  }
}

int16_t BlackWhiteCut(int16_t blackLevel, int16_t whiteLevel) {
  return static_cast<int16_t>((blackLevel + whiteLevel) / 2);
}

int16_t Quillet1::L2FitFormat(int16_t format, int16_t bits) {
  const int32_t kind = rt::CLng(PixGet(L2, Pixo::ImageKind));
  const bool grey = kind == kImageBlackWhite || kind == kImageGrey;
  if (BlackAndWhiteOnly(format)) {
    if (kind != kImageBlackWhite) {
      // The control cuts at level 128: the grey copy is shifted so that the
      // check's middle level lands there.
      PixCall(L2, Pixo::ConvertToGray, {int16_t{8}});
      const int32_t shift = 128 - BlackWhiteCut(App.BlackLevel, App.WhiteLevel);
      if (shift != 0) PixCall(L2, Pixo::AdjustBrightness, {rt::CLng(shift * 1000 / 255.0)});
      PixCall(L2, Pixo::ConvertToGray, {int16_t{1}});
    }
    return 1;
  }
  const int16_t fit = SaveDepthFor(format, bits, grey);
  // A buffer that holds more bits than a palette file takes gets a palette
  // of its own colours here (exact for at most 2^bits of them); left to the
  // save, it would get the fixed standard palette.
  const int32_t held = rt::CLng(PixGet(L2, Pixo::ImageBits));
  if (fit == bits && !(fit <= 8 && held > fit)) return bits;
  if (fit == 8 && grey) {
    PixCall(L2, Pixo::ConvertToGray, {int16_t{8}});
  } else {
    // Up to colour, or down to a palette of the picture's own colours.
    PixCall(L2, Pixo::ChangeColorDepth, {fit, int16_t{2}, int16_t{0}, int16_t{0}});
  }
  return fit;
}

void Quillet1::SetSaveOptions(int32_t r) {
  const DocTypeRow& row = DocRow(r);
  PixPut(L2, Pixo::SaveOption132, int16_t{0});
  PixPut(L2, Pixo::SaveOption274, int16_t{1});
  PixPut(L2, Pixo::SaveOption161, false);
  PixPut(L2, Pixo::SaveOption280, false);
  // A resolution that is not a positive number of dots per inch keeps the
  // image's own.
  const double dpi = rt::Val(row[Doc::BitmapDPI]);
  if (dpi > 0.5 && dpi < 2147483647.5) {  // CLng rounds 0.5 down to 0
    PixPut(L2, Pixo::XResolution, rt::CLng(dpi));
    PixPut(L2, Pixo::YResolution, rt::CLng(dpi));
  }
}

}  // namespace quillet

#pragma once
// The output format table of the commit and the small text rules of the
// sheet preparation, as pure functions; Quillet1::SelectSaveFormat,
// L2Prepare and SetSaveOptions (prepare.cpp) apply them to the window.

#include <cstdint>
#include <string_view>

#include "scanclient/core/app_state.h"

namespace quillet {

// What a sheet is written with: the imaging control's save format code,
// the bits per pixel, the quality argument and whether one file takes
// several pages.
struct SaveParams {
  int16_t format = 6;
  int16_t bits = 8;
  int16_t quality = 75;
  int16_t multiPage = 0;
  bool operator==(const SaveParams&) const = default;
};

// The quality a type gets without a "QUAL-" word. The save's quality runs
// 1..100; the historic start value 2 would write JPEGs that are blocks of
// colour, so a type that names no quality gets the usual 75.
inline constexpr int16_t kDefaultSaveQuality = 75;

// The format table for a document type's Format and Options (both upper
// case): the start row of the format, then every option word found, later
// words overriding earlier ones. `bitonal` is the sheet's BitonalFlag, which
// only the TIF start value uses.
SaveParams SaveFormatFor(std::string_view format, std::string_view options, bool bitonal);

// The number of the two characters after the first "QUAL-": two hex digits
// give their value; a character outside "0123456789ABCDEF" counts 0 and a
// missing one (Options ends there) counts as "0" one place up, so "QUAL-5"
// at the end gives 80 and followed by a blank 79. Callers test for the
// word first.
int16_t QualityOf(std::string_view options);

// One palette colour of six hex digits in the text order (*FF0000* is
// &HFF0000). A character outside the digits counts 0; a missing one 1.
int32_t PaletteColour(std::string_view six);

// The number after an option word ("GRAY-", "COL-") at 1-based `at`: the
// two characters after it when they are numeric, else the one after it.
int16_t OptionNumber(std::string_view options, int32_t at, int32_t wordLength);

// The bits a save with format code `format` writes for a buffer of `bits`
// (grey: its colours are a grey ramp): the CCITT and JBIG codes take black
// and white only (1), JPEG 8-bit grey or 24-bit colour, an RLE bitmap a
// palette of 4 or 8 bits, CMYK 24 bits; other codes take the bits as they
// are.
int16_t SaveDepthFor(int16_t format, int16_t bits, bool grey);

// The grey level from which a pixel turns white when a sheet is cut to
// black and white: midway between the quality check's dark and light
// levels (128 with their defaults).
int16_t BlackWhiteCut(int16_t blackLevel, int16_t whiteLevel);

// DocTypeTable row r; run-time error 9 outside 0..9.
const DocTypeRow& DocRow(int32_t r);

}  // namespace quillet

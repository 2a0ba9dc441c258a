#pragma once
// The rules of the scan procedures that do not need the window: the option
// lists of a document type, the colour-mode table of a scan, the settings
// report of the scanner source and the file-drop extension rule.

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/forms/controls.h"

namespace quillet {

// The items of an INI option list, each ended by "/" ("COL24/B&W/"); a last
// item without its "/" counts too; empty items stay, nothing is trimmed.
std::vector<std::string> SplitOptionList(std::string list);

// Refills one scan-option combo box: empties it, adds the items of `list`
// (the single `fallback` when there are none) and shows the first item.
void FillScanOption(forms::ComboBox& box, const std::string& list, std::string_view fallback);

// The (TwainPixelType, TwainBits) pairs that a colour-mode text puts, in
// order: the start pair (0, 1), then one pair per matching row of the
// colour-mode table; the last one stands. `text` is upper-cased and trimmed.
std::vector<std::pair<int32_t, int16_t>> ColourModePuts(std::string_view text);

// The values of the settings report, as read from the imaging control.
struct TwainSettings {
  std::string name, author, family, appName;
  int16_t flags = 0;
  int32_t top = 0, left = 0, height = 0, width = 0;
  int16_t pixelType = 0, bits = 0, resolution = 0;
  int32_t maxPages = 0;
  int16_t contrast = 0, brightness = 0, feeder = 0, autoFeed = 0;
};
// The text of the settings report box.
std::string TwainReport(const TwainSettings& s);

// Whether a document type whose OleDrop list is `oleDrop` takes the file
// `path`: the list is not empty and holds the file's extension (the text
// after the path's last ".", upper-cased; the whole path without a ".").
bool DropAccepted(std::string_view oleDrop, std::string_view path);

// Set while DoAqu replaces a non-numeric resolution text, so that
// Twain_Change lets the replacement stand instead of restoring the list's
// first item (which is the very text that was not a number).
inline bool gResolutionFallback = false;

}  // namespace quillet

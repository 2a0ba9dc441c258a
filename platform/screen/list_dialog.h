#pragma once
// A modal dialog that lists names and lets the operator choose one: the
// scanner source dialog, a print dialog's printers. Enter or a double click
// takes the marked name; Escape, Cancel and the close box take none.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace screen {

// Shows `items` under `prompt` with `marked` marked (beyond the list: the
// first); returns the index chosen, nullopt when cancelled or the list is
// empty and OK was pressed. `accept` is GTK's text of the button that
// takes the choice ("_OK", "_Print"), in the session's language as Cancel.
// `extend`, when given, packs more widgets below the list into `box` (a
// GtkBox) and returns what reads them when the choice is taken.
using ListDialogExtension = std::function<std::function<void()>(void* box)>;
std::optional<size_t> ChooseFromList(std::string_view title, std::string_view prompt,
                                     const std::vector<std::string>& items, size_t marked, const char* accept = "_OK",
                                     const ListDialogExtension& extend = {});

}  // namespace screen

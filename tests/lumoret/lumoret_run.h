// The harness of the whole-program tests of Lumoret: a run of the real
// executable in a folder of the test's own, with an operator script and a
// fixed environment, read through its exit code, transcript and standard
// error.

#pragma once

#include <sys/resource.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/registry/registry.h"

namespace lumoret_test {

namespace fs = std::filesystem;

// A missing file reads as empty.
std::string ReadFile(const fs::path& p);
// What a shell command writes on its standard output.
std::string Shell(const std::string& cmd);
// The files a run spooled into dir/spool, in the folder's order; none when
// the folder is not there.
std::vector<fs::path> Spooled(const fs::path& dir);

// A printed word as pdftotext -bbox places it: points from the page's top
// left, its page counted from 1.
struct PdfWord {
  double xMin, yMin, xMax, yMax;
  int page;
  std::string text;
};
// The words of the PDF `pdf` (a path quoted for the shell); `pages` adds
// pdftotext's page options ("-f 1 -l 1").
std::vector<PdfWord> PdfWords(const std::string& pdf, const std::string& pages = "");

struct Outcome {
  int exitCode = -1;
  std::vector<std::string> transcript;
  std::string stderrText;

  bool Has(const std::string& line) const;
  std::vector<std::string> Starting(const std::string& prefix) const;
  // The fields of the last "state" line, "title" -> "...", "rect" -> "...".
  std::map<std::string, std::string> State() const;
};

// Limits of the run's process (0: none). A file-size limit stands for a
// full disk: its signal is ignored, so that writes fail with EFBIG.
struct Limits {
  rlim_t addressSpace = 0;
  rlim_t fileSize = 0;
};

// The window placement Lumoret keeps in the registry this process uses
// (ORN_REGISTRY_DIR): the value's type and size and its eleven fields
// (length, flags, show command, minimised and maximised position, normal
// rectangle). False when there is no such value.
struct Placement {
  reg::ValueType type = reg::kNone;
  uint32_t size = 0;
  std::array<int32_t, 11> fields{};
};
bool ReadPlacement(Placement* out);

// Runs Lumoret in `dir` with the arguments and the script's lines. The run
// gets no ORN_ variable of this process; its registry, spool folder,
// printers file (dir/printers), event log and transcript are in `dir`.
// `env` adds or overrides variables; an empty value removes one.
Outcome RunLumoret(const fs::path& dir, const std::vector<std::string>& args, const std::vector<std::string>& script,
                   const std::map<std::string, std::string>& env = {}, const Limits& limits = {});

}  // namespace lumoret_test

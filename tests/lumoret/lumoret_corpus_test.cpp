// Lumoret prints the outside RTF documents of the shared corpus (written by
// word processors and RTF libraries): every one ends as printed, and every
// word of its visible text, as our own small reader of RTF finds it, is in
// the PDF. Skipped where the corpus is not there.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/lumoret/lumoret_run.h"
#include "tests/lumoret/rtf_words.h"
#include "tests/support/scratch_dir.h"

namespace {

namespace fs = std::filesystem;
using lumoret_test::Outcome;
using lumoret_test::Shell;

fs::path CorpusDir() { return fs::path(std::getenv("ORN_TEST_SRCDIR")) / "../shared/corpus/rtf"; }

TEST(RtfWords, VisibleWordsOfADocument) {
  struct Case {
    std::string rtf;
    std::vector<std::string> words;
  };
  std::vector<Case> cases = {
      {"{\\rtf1{\\fonttbl{\\f0 Arial;}{\\f1\\fcharset2 Wingdings;}}{\\info{\\title T}}Hello {\\b Wor}ld\\par "
       "{\\v hidden}{\\f1 o}Gr\\'fc\\'dfe{\\*\\x y}\\u8364?End}",
       {"hello", "world", "gr", "e", "end"}},
      {"{\\rtf1 a {\\field{\\*\\fldinst HYPERLINK x}{\\fldrslt Link}} {\\upr{ansi}{\\*\\ud{uni}}}\\v0  b\\v c}",
       {"a", "link", "uni", "b"}},
      {"{\\rtf1\\ansicpg932 \\'82A x}", {"x"}},  // the A is a trail byte
  };
  for (const auto& c : cases) EXPECT_EQ(lumoret_test::VisibleRtfWords(c.rtf), c.words) << c.rtf;
}

TEST(LumoretCorpus, EveryDocumentPrintsWithAllItsVisibleWords) {
  if (!fs::is_directory(CorpusDir())) GTEST_SKIP() << CorpusDir() << " is not there";
  orn_test::ScratchDir dir("lumoret-corpus");
  std::ofstream(dir / "printers") << "name=Office A4; dpi=300; size=2480x3508; offset=50x50; default\n";
  std::vector<fs::path> files;
  for (const auto& e : fs::directory_iterator(CorpusDir())) {
    std::string ext = e.path().extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), ::tolower);
    if (ext == ".rtf") files.push_back(e.path());
  }
  std::sort(files.begin(), files.end());
  ASSERT_FALSE(files.empty());
  int good = 0;
  for (const fs::path& file : files) {
    SCOPED_TRACE(file.filename().string());
    fs::remove_all(dir / "spool");
    Outcome o = lumoret_test::RunLumoret(dir.path(), {"-f", file.string()}, {"menu 501", "answer yes"});
    EXPECT_EQ(o.exitCode, 1) << o.stderrText;
    const std::vector<fs::path> pdfs = lumoret_test::Spooled(dir.path());
    if (o.exitCode != 1 || pdfs.size() != 1) {
      ADD_FAILURE() << "no PDF";
      continue;
    }
    std::string text = Shell("pdftotext '" + pdfs[0].string() + "' -");
    std::vector<std::string> printed = lumoret_test::TextWords(text);
    std::set<std::string> have(printed.begin(), printed.end());
    // A word that a line break cut is there in the order the page draws it.
    std::string joined;
    for (const std::string& w : lumoret_test::TextWords(Shell("pdftotext -raw '" + pdfs[0].string() + "' -")))
      joined += w;
    std::ostringstream missing;
    int count = 0;
    for (const std::string& w : lumoret_test::VisibleRtfWords(lumoret_test::ReadFile(file)))
      if (!have.count(w) && joined.find(w) == std::string::npos && count++ < 10) missing << " " << w;
    EXPECT_EQ(count, 0) << "missing words:" << missing.str();
    if (count == 0) ++good;
  }
  std::cout << good << " of " << files.size() << " documents printed with every visible word\n";
}

}  // namespace

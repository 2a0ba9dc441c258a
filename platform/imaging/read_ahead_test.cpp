// A page read ahead on a worker: handed over only when it is the page asked
// for, read without error, from the file as it still is.
#include "platform/imaging/read_ahead.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "platform/imaging/image_file.h"
#include "platform/imaging/pixo_members.h"
#include "tests/support/scratch_dir.h"

namespace imaging {
namespace {

// Writes a two-page TIFF: page 1 white, `side` pixels square; page 2 of
// 30 x 20 pixels filled with `colour` (same size whatever the colour).
void WritePages(const std::string& path, Colour colour, int side = 30) {
  for (int page = 1; page <= 2; ++page) {
    const int w = page == 1 ? side : 30, h = page == 1 ? side : 20;
    Image img;
    ASSERT_TRUE(img.Create(w, h, 24));
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) img.Set(x, y, page == 1 ? kWhite : colour);
    ASSERT_EQ(WriteImageFile(path, img, kFormatTiff, 24, 0, page == 2), kPixoOk);
  }
}

void WaitUntilRead(const PageReadAhead& r) {
  for (int i = 0; i < 2000 && !r.Ready(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ASSERT_TRUE(r.Ready());
}

class ReadAheadTest : public ::testing::Test {
 protected:
  orn_test::ScratchDir dir_{"orn-read-ahead"};
  std::string path_ = (dir_ / "pages.tif").string();
};

TEST_F(ReadAheadTest, HandsOverOnlyThePageAskedForFromTheFileAsItStillIs) {
  struct Case {
    const char* name;
    int32_t page = 2, bits = 0;  // asked for by Take
    bool rewrite = false;        // page 2 rewritten after the read, same size
    bool garbage = false;        // the file is no image when read ahead
    bool handed;
  } cases[] = {
      {"the same page of the same file", 2, 0, false, false, true},
      {"another page", 1, 0, false, false, false},
      {"other bits", 2, 8, false, false, false},
      {"the file rewritten since", 2, 0, true, false, false},
      {"a read that failed", 2, 0, false, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WritePages(path_, MakeColour(0, 0, 255));
    if (c.garbage) std::ofstream(path_) << "no image";
    PageReadAhead r;
    r.Start(path_, 2, 0);
    EXPECT_EQ(r.page(), 2);
    WaitUntilRead(r);
    if (c.rewrite) WritePages(path_, MakeColour(255, 0, 0));
    std::optional<Image> got = r.Take(path_, c.page, c.bits);
    EXPECT_EQ(got.has_value(), c.handed);
    EXPECT_EQ(r.page(), 0) << "used up or dropped either way";
    if (got) {
      Image inOrder;
      ASSERT_EQ(ReadImageFile(path_, 2, 0, inOrder), kPixoOk);
      EXPECT_TRUE(*got == inOrder);
    }
  }
}

TEST_F(ReadAheadTest, ANewStartOrADropForgetsTheOldPageEvenWhileItIsRead) {
  // Page 1 takes a while to read: the worker is still at it when page 2 is
  // asked for instead, and its result must not pass for page 2.
  WritePages(path_, MakeColour(0, 255, 0), 2500);
  PageReadAhead r;
  r.Start(path_, 1, 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(2));
  r.Start(path_, 2, 0);
  EXPECT_FALSE(r.Holds(path_, 1, 0));
  std::optional<Image> page2 = r.Take(path_, 2, 0);
  ASSERT_TRUE(page2.has_value());
  EXPECT_EQ(page2->At(0, 0), MakeColour(0, 255, 0));
  r.Start(path_, 1, 0);
  r.Drop();
  EXPECT_EQ(r.page(), 0);
  EXPECT_FALSE(r.Take(path_, 1, 0).has_value());
  r.Start(path_, 1, 0);  // destroyed with a read in progress: it waits for it
}

}  // namespace
}  // namespace imaging

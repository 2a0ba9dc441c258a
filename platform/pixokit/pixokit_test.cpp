#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/pixokit/pixoann.h"
#include "platform/pixokit/pixobar.h"
#include "platform/pixokit/pixoio.h"

namespace {

int32_t CopyRows(PXBITMAP* bitmap, uint8_t* buffer, int32_t first, int32_t count, void*) {
  for (int32_t r = 0; r < count; ++r)
    PXC_GetBitmapRow(bitmap, buffer + static_cast<size_t>(r) * bitmap->BytesPerLine, first + r, bitmap->BytesPerLine);
  return 1;
}

std::vector<uint8_t> Bytes(ax::HGLOBAL mem, uint32_t length) {
  auto* p = static_cast<uint8_t*>(ax::GlobalLock(mem));
  std::vector<uint8_t> out(p, p + length);
  ax::GlobalUnlock(mem);
  return out;
}

TEST(Pixoio, SavesAndLoadsAGreyBitmapThroughMemory) {
  PXBITMAP b;
  ASSERT_EQ(PXC_CreateBitmap(&b, 5, 40, 8), 1);
  for (int32_t y = 0; y < 40; ++y) {
    uint8_t row[5] = {uint8_t(y), uint8_t(y * 2), 0, 255, uint8_t(y + 100)};
    PXC_PutBitmapRow(&b, row, y, 5);
  }
  ax::HGLOBAL mem = nullptr;
  uint32_t len = 0;
  ASSERT_EQ(PXIO_SaveBitmapMemory(&b, &mem, 5, 0, 255, CopyRows, nullptr, &len), 1);
  std::vector<uint8_t> file = Bytes(mem, len);
  ax::GlobalFree(mem);
  PXBITMAP back;
  PXC_InitBitmap(&back, sizeof back);
  std::vector<int32_t> bands;
  auto progress = [](PXFILEINFO*, PXBITMAP*, uint8_t*, int32_t, int32_t first, int32_t count, void* ud) {
    static_cast<std::vector<int32_t>*>(ud)->push_back(first + count);
    return int32_t{1};
  };
  ASSERT_EQ(PXIO_LoadBitmapMemory(file.data(), len, &back, sizeof back, 0, progress, &bands), 1);
  EXPECT_EQ(bands, (std::vector<int32_t>{16, 32, 40}));
  ASSERT_EQ(back.Width, 5);
  ASSERT_EQ(back.Height, 40);
  EXPECT_EQ(0, std::memcmp(PXC_BitmapData(&back), PXC_BitmapData(&b), 5 * 40));
  // A callback that refuses ends the load with its answer and leaves no image.
  PXBITMAP none;
  PXC_InitBitmap(&none, sizeof none);
  auto refuse = [](PXFILEINFO*, PXBITMAP*, uint8_t*, int32_t, int32_t, int32_t, void*) { return int32_t{-100}; };
  EXPECT_EQ(PXIO_LoadBitmapMemory(file.data(), len, &none, sizeof none, 0, refuse, nullptr), -100);
  EXPECT_EQ(none.Flags & BITMAP_ALLOCATED, 0u);
  // Truncated or foreign bytes are not an image.
  EXPECT_EQ(PXIO_LoadBitmapMemory(file.data(), len / 2, &none, sizeof none, 0, nullptr, nullptr), -9);
  const uint8_t junk[] = "not an image";
  EXPECT_EQ(PXIO_LoadBitmapMemory(junk, sizeof junk, &none, sizeof none, 0, nullptr, nullptr), -9);
  PXC_FreeBitmap(&b);
  PXC_FreeBitmap(&back);
}

// Saving and loading work in memory: no temporary folder is needed. A
// load at other bits gives grey levels (299 R + 587 G + 114 B + 500) / 1000
// or a grey level's three equal bytes.
TEST(Pixoio, LoadsAtTheBitsAskedWithoutATemporaryFolder) {
  const char* tmp = std::getenv("TMPDIR");
  const std::string saved = tmp ? tmp : "";
  ::setenv("TMPDIR", "/nonexistent/orn", 1);
  PXBITMAP colour, grey;
  ASSERT_EQ(PXC_CreateBitmap(&colour, 3, 2, 24), 1);
  ASSERT_EQ(PXC_CreateBitmap(&grey, 3, 2, 8), 1);
  const uint8_t rgb[9] = {255, 0, 0, 0, 255, 0, 10, 20, 30};
  const uint8_t levels[3] = {0, 77, 255};
  for (int32_t y = 0; y < 2; ++y) {
    PXC_PutBitmapRow(&colour, rgb, y, 9);
    PXC_PutBitmapRow(&grey, levels, y, 3);
  }
  struct Case {
    PXBITMAP* source;
    int32_t format, loadBits;
    std::vector<uint8_t> row;
  } cases[] = {
      {&colour, 5, 0, {255, 0, 0, 0, 255, 0, 10, 20, 30}},
      {&colour, 3, 8, {76, 150, 18}},
      {&colour, 6, 8, {76, 150, 18}},
      {&grey, 5, 0, {0, 77, 255}},
      {&grey, 3, 24, {0, 0, 0, 77, 77, 77, 255, 255, 255}},
      {&grey, 75, 24, {0, 0, 0, 77, 77, 77, 255, 255, 255}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("format " + std::to_string(c.format) + " loaded at " + std::to_string(c.loadBits));
    ax::HGLOBAL mem = nullptr;
    uint32_t len = 0;
    ASSERT_EQ(PXIO_SaveBitmapMemory(c.source, &mem, c.format, 0, 255, CopyRows, nullptr, &len), 1);
    const std::vector<uint8_t> file = Bytes(mem, len);
    ax::GlobalFree(mem);
    PXBITMAP back;
    PXC_InitBitmap(&back, sizeof back);
    ASSERT_EQ(PXIO_LoadBitmapMemory(file.data(), len, &back, sizeof back, c.loadBits, nullptr, nullptr), 1);
    ASSERT_EQ(back.BytesPerLine, static_cast<int32_t>(c.row.size()));
    for (int32_t y = 0; y < 2; ++y) {
      std::vector<uint8_t> row(c.row.size());
      PXC_GetBitmapRow(&back, row.data(), y, back.BytesPerLine);
      EXPECT_EQ(row, c.row) << "row " << y;
    }
    PXC_FreeBitmap(&back);
  }
  PXC_FreeBitmap(&colour);
  PXC_FreeBitmap(&grey);
  if (tmp) {
    ::setenv("TMPDIR", saved.c_str(), 1);
  } else {
    ::unsetenv("TMPDIR");
  }
}

// Saved into a vector, a bitmap gives the bytes of a saved block, in the
// vector's room when it has enough. Freed through the file library, a
// bitmap's pixel block is what the next load of its size decodes into.
TEST(Pixoio, SavesIntoAVectorAndAFreedBlockServesTheNextLoad) {
  PXBITMAP b;
  ASSERT_EQ(PXC_CreateBitmap(&b, 600, 600, 24), 1);  // a block of over 1 MB
  uint8_t* pixels = PXC_BitmapData(&b);
  for (size_t i = 0; i < 600u * 600u * 3u; ++i) pixels[i] = static_cast<uint8_t>(i * 7 + i / 1800);
  const std::vector<uint8_t> original(pixels, pixels + 600u * 600u * 3u);
  ax::HGLOBAL mem = nullptr;
  uint32_t len = 0;
  ASSERT_EQ(PXIO_SaveBitmapMemory(&b, &mem, 3, 0, 255, CopyRows, nullptr, &len), 1);
  const std::vector<uint8_t> file = Bytes(mem, len);
  ax::GlobalFree(mem);
  std::vector<uint8_t> out{1, 2, 3};
  ASSERT_EQ(PXIO_SaveBitmapBytes(&b, out, 3, 0, 255, CopyRows, nullptr), 1);
  EXPECT_EQ(out, file);
  const uint8_t* room = out.data();
  ASSERT_EQ(PXIO_SaveBitmapBytes(&b, out, 3, 0, 255, CopyRows, nullptr), 1);
  EXPECT_EQ(out.data(), room);
  EXPECT_EQ(out, file);
  auto refuse = [](PXBITMAP*, uint8_t*, int32_t, int32_t, void*) { return int32_t{-100}; };
  EXPECT_EQ(PXIO_SaveBitmapBytes(&b, out, 3, 0, 255, refuse, nullptr), -100);
  EXPECT_TRUE(out.empty());

  ASSERT_EQ(PXIO_FreeBitmap(&b), 1);
  EXPECT_EQ(b.Flags & BITMAP_ALLOCATED, 0u);
  EXPECT_EQ(PXC_BitmapData(&b), nullptr);
  PXBITMAP back;
  PXC_InitBitmap(&back, sizeof back);
  ASSERT_EQ(PXIO_LoadBitmapMemory(file.data(), len, &back, sizeof back, 0, nullptr, nullptr), 1);
  EXPECT_EQ(PXC_BitmapData(&back), pixels);
  EXPECT_EQ(0, std::memcmp(PXC_BitmapData(&back), original.data(), original.size()));
  PXC_FreeBitmap(&back);
}

TEST(Pixoann, SavedBlockLoadsBackAndDamagedBlocksAreRefused) {
  HANNOBJECT c = nullptr, r = nullptr;
  ASSERT_EQ(PX_AnnCreate(0, &c), 1);
  ASSERT_EQ(PX_AnnCreate(1, &r), 1);
  ANNRECT rect{1, 2, 30.5, 40};
  PX_AnnSetRect(r, &rect);
  ASSERT_EQ(PX_AnnInsert(c, r), 1);
  ax::HGLOBAL mem = nullptr;
  uint32_t len = 0;
  ASSERT_EQ(PX_AnnSaveMemory(c, &mem, &len), 1);
  std::vector<uint8_t> block = Bytes(mem, len);
  ax::GlobalFree(mem);
  HANNOBJECT back = nullptr;
  ASSERT_EQ(PX_AnnLoadMemory(block.data(), len, &back), 1);
  HANNOBJECT item = nullptr;
  PX_AnnGetItem(back, &item);
  ANNRECT got{};
  ASSERT_EQ(PX_AnnGetRect(item, &got), 1);
  EXPECT_EQ(got.right, 30.5);
  int32_t alive = PX_AnnObjectsAlive();
  for (uint32_t cut : {len - 1, 12u, 3u}) {
    HANNOBJECT bad = reinterpret_cast<HANNOBJECT>(1);
    EXPECT_EQ(PX_AnnLoadMemory(block.data(), cut, &bad), -9) << cut;
    EXPECT_EQ(bad, nullptr);
  }
  std::vector<uint8_t> huge = block;
  huge[8] = 0xFF;  // count of objects far beyond the bytes
  HANNOBJECT bad = nullptr;
  EXPECT_EQ(PX_AnnLoadMemory(huge.data(), len, &bad), -9);
  EXPECT_EQ(PX_AnnObjectsAlive(), alive);  // failed loads leave nothing behind
  PX_AnnDestroy(back, 0);
  PX_AnnDestroy(c, 0);
}

TEST(Pixobar, PressReportsToTheCallbackAndMinusOneClearsTheCheck) {
  pTOOLBARHANDLE t = nullptr;
  ASSERT_EQ(PXTB_InitToolbar(&t), 1);
  EXPECT_EQ(PXTB_CreateToolbar(t, 12345, "x", 0), -13);  // no such window
  ax::HWND w = ax::CreateHostWindow("host");
  ASSERT_EQ(PXTB_CreateToolbar(t, w, "Tools", 0), 1);
  struct Seen {
    int32_t id = 0;
    uint32_t data = 0;
  } seen;
  PXTB_SetButtonCallback(
      t,
      [](pTOOLBARHANDLE, TOOLBARBUTTONID id, uint32_t data, void* ud) {
        *static_cast<Seen*>(ud) = {id, data};
        return int32_t{1};
      },
      &seen);
  EXPECT_EQ(PXTB_PressButtonForTest(t, 30002, 7), 1);
  EXPECT_EQ(seen.id, 30002);
  EXPECT_EQ(seen.data, 7u);
  int32_t checked = 0;
  PXTB_GetButtonChecked(t, &checked);
  EXPECT_EQ(checked, 30002);
  PXTB_PressButtonForTest(t, -1, 0);
  PXTB_GetButtonChecked(t, &checked);
  EXPECT_EQ(checked, 0);
  PXTB_FreeToolbar(&t);
  EXPECT_EQ(PXTB_IsToolbar(t), 0);
  ax::DestroyHostWindow(w);
}

}  // namespace

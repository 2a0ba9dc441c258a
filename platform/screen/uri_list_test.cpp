#include "platform/screen/uri_list.h"

#include <gtest/gtest.h>

namespace screen {
namespace {

using Paths = std::vector<std::string>;

TEST(UriListTest, LocalFileUrisBecomeDecodedPaths) {
  struct Case {
    const char* list;
    Paths paths;
  };
  const Case cases[] = {
      {"file:///tmp/a.png\r\n", {"/tmp/a.png"}},
      {"file:///tmp/a.png", {"/tmp/a.png"}},
      {"file:///a.tif\r\nfile:///b.jpg\r\n", {"/a.tif", "/b.jpg"}},
      {"file:///a.tif\nfile:///b.jpg\n", {"/a.tif", "/b.jpg"}},
      {"file://localhost/scans/x.bmp\r\n", {"/scans/x.bmp"}},
      {"FILE://LocalHost/X.BMP\r\n", {"/X.BMP"}},
      {"file:/scans/x.bmp\r\n", {"/scans/x.bmp"}},
      {"file:///with%20blank/%C3%A4rger.tif\r\n", {"/with blank/\xC3\xA4rger.tif"}},
      {"file:///a%3Fb%23c%25d\r\n", {"/a?b#c%d"}},
      {"# dragged from the desk\r\n\r\nfile:///a\r\n", {"/a"}},
      {"", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(PathsFromUriList(c.list), c.paths) << c.list;
}

TEST(UriListTest, WhatNamesNoLocalFileIsLeftOut) {
  const char* const lists[] = {
      "http://example.invalid/a.png\r\n",  // another scheme
      "file://scanhost/share/a.png\r\n",   // another machine
      "file://localhostx/a.png\r\n",
      "file://\r\n",
      "file:relative.png\r\n",
      "file:///a.png?page=2\r\n",  // a query names no file
      "file:///a.png#top\r\n",
      "file:///bad%2\r\n",  // a cut escape
      "file:///bad%zz\r\n",
      "file:///nul%00x\r\n",  // an escaped NUL would cut the name short
      "/tmp/plain-path\r\n",
  };
  for (const char* list : lists) EXPECT_EQ(PathsFromUriList(list), Paths{}) << list;
  // One bad line does not spoil the others.
  EXPECT_EQ(PathsFromUriList("file:///bad%zz\r\nfile:///good\r\n"), Paths{"/good"});
}

}  // namespace
}  // namespace screen

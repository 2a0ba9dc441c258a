#include "toolkitctl/dbbind/blob_record.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace dbbind {
namespace {

std::vector<uint8_t> Record(size_t image, size_t ann, FieldBlobHeader h, bool trailer = true) {
  std::vector<uint8_t> r(image + ann, 0xAB);
  if (trailer) {
    auto bytes = EncodeFieldBlobHeader(h);
    r.insert(r.end(), bytes.begin(), bytes.end());
  }
  return r;
}

TEST(BlobRecord, HeaderIsLittleEndianAfterTheMagic) {
  auto b = EncodeFieldBlobHeader({0, 0x01020304, 0x01020304, 7});
  EXPECT_EQ(std::memcmp(b.data(), "PXOCXBND", 8), 0);
  EXPECT_EQ(b[12], 0x04);
  EXPECT_EQ(b[15], 0x01);
  EXPECT_EQ(b[20], 7);
}

TEST(BlobRecord, SplitsOnlyWhatLiesInsideTheRecord) {
  struct Case {
    const char* what;
    std::vector<uint8_t> blob;
    bool ok;
    bool header;
    size_t image, ann;
  };
  std::vector<uint8_t> shortMagic(kFieldBlobMagic, kFieldBlobMagic + 8);
  shortMagic.resize(23, 0);
  auto atStart = EncodeFieldBlobHeader({24, 4, 0, 0});
  std::vector<uint8_t> startRecord(atStart.begin(), atStart.end());
  for (uint8_t b = 1; b <= 4; ++b) startRecord.push_back(b);
  const Case cases[] = {
      {"plain image", std::vector<uint8_t>(100, 7), true, false, 100, 0},
      {"23 bytes are never searched", shortMagic, true, false, 23, 0},
      {"24 bytes: a header alone", Record(0, 0, {0, 0, 0, 0}), true, true, 0, 0},
      {"image, annotations, trailer", Record(50, 10, {0, 50, 50, 10}), true, true, 50, 10},
      {"trailer without annotations", Record(50, 0, {0, 50, 50, 0}), true, true, 50, 0},
      {"header at the start", startRecord, true, true, 4, 0},
      {"image beyond the record", Record(50, 0, {0, 51 + 24, 0, 0}), false, true, 0, 0},
      {"negative image length", Record(50, 0, {0, -1, 0, 0}), false, true, 0, 0},
      {"negative offset", Record(50, 0, {-4, 10, 0, 0}), false, true, 0, 0},
      {"offset plus length overflows", Record(50, 0, {0x7FFFFFF0, 0x7FFFFFF0, 0, 0}), false, true, 0, 0},
      {"annotations beyond the record", Record(50, 10, {0, 50, 50, 11 + 24}), false, true, 0, 0},
      {"annotations at a negative offset", Record(50, 10, {0, 50, -50, 10}), false, true, 0, 0},
  };
  for (const Case& c : cases) {
    BlobParts p;
    EXPECT_EQ(SplitImageFieldBlob(c.blob.data(), c.blob.size(), &p), c.ok) << c.what;
    EXPECT_EQ(p.hasHeader, c.header) << c.what;
    if (!c.ok) continue;
    EXPECT_EQ(p.imageLength, c.image) << c.what;
    EXPECT_EQ(p.annLength, c.ann) << c.what;
    EXPECT_EQ(p.annotations != nullptr, c.ann != 0) << c.what;
  }
}

}  // namespace
}  // namespace dbbind

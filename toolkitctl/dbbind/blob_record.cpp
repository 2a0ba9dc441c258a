#include "toolkitctl/dbbind/blob_record.h"

#include <cstring>

namespace dbbind {
namespace {

void PutLe(uint8_t* p, int32_t v) {
  auto u = static_cast<uint32_t>(v);
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(u >> (8 * i));
}

int32_t GetLe(const uint8_t* p) {
  uint32_t u = 0;
  for (int i = 0; i < 4; ++i) u |= static_cast<uint32_t>(p[i]) << (8 * i);
  return static_cast<int32_t>(u);
}

bool Decode(const uint8_t* p, FieldBlobHeader* out) {
  if (std::memcmp(p, kFieldBlobMagic, sizeof kFieldBlobMagic) != 0) return false;
  out->ImageOffset = GetLe(p + 8);
  out->ImageLength = GetLe(p + 12);
  out->AnnOffset = GetLe(p + 16);
  out->AnnLength = GetLe(p + 20);
  return true;
}

// True when [offset, offset + length) lies inside a record of `size` bytes.
bool Inside(int32_t offset, int32_t length, size_t size) {
  return offset >= 0 && length >= 0 && static_cast<uint64_t>(offset) + static_cast<uint64_t>(length) <= size;
}

}  // namespace

std::array<uint8_t, kFieldBlobHeaderSize> EncodeFieldBlobHeader(const FieldBlobHeader& h) {
  std::array<uint8_t, kFieldBlobHeaderSize> out{};
  std::memcpy(out.data(), kFieldBlobMagic, sizeof kFieldBlobMagic);
  PutLe(out.data() + 8, h.ImageOffset);
  PutLe(out.data() + 12, h.ImageLength);
  PutLe(out.data() + 16, h.AnnOffset);
  PutLe(out.data() + 20, h.AnnLength);
  return out;
}

bool FindFieldBlobHeader(const uint8_t* blob, size_t length, FieldBlobHeader* out) {
  if (!blob || length < kFieldBlobHeaderSize) return false;
  return Decode(blob, out) || Decode(blob + length - kFieldBlobHeaderSize, out);
}

bool SplitImageFieldBlob(const uint8_t* blob, size_t length, BlobParts* out) {
  *out = BlobParts{};
  FieldBlobHeader h;
  if (!FindFieldBlobHeader(blob, length, &h)) {
    out->image = blob;
    out->imageLength = length;
    return true;
  }
  out->hasHeader = true;
  if (!Inside(h.ImageOffset, h.ImageLength, length)) return false;
  out->image = blob + h.ImageOffset;
  out->imageLength = static_cast<size_t>(h.ImageLength);
  if (h.AnnLength != 0) {
    if (!Inside(h.AnnOffset, h.AnnLength, length)) return false;
    out->annotations = blob + h.AnnOffset;
    out->annLength = static_cast<size_t>(h.AnnLength);
  }
  return true;
}

}  // namespace dbbind

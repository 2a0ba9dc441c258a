#pragma once
// The record the binding control keeps in a BLOB column: the image file,
// optionally followed by the annotation block and a 24-byte FieldBlobHeader
// (little-endian: "PXOCXBND", ImageOffset, ImageLength, AnnOffset,
// AnnLength). Without annotations the record is the image file alone.

#include <array>
#include <cstddef>
#include <cstdint>

namespace dbbind {

inline constexpr size_t kFieldBlobHeaderSize = 24;
inline constexpr char kFieldBlobMagic[8] = {'P', 'X', 'O', 'C', 'X', 'B', 'N', 'D'};

struct FieldBlobHeader {
  int32_t ImageOffset = 0;
  int32_t ImageLength = 0;
  int32_t AnnOffset = 0;
  int32_t AnnLength = 0;  // 0: no annotations to load
};

std::array<uint8_t, kFieldBlobHeaderSize> EncodeFieldBlobHeader(const FieldBlobHeader& header);

// Looks for a header at the start of the record, then in its last 24 bytes,
// and only in a record longer than 23 bytes.
bool FindFieldBlobHeader(const uint8_t* blob, size_t length, FieldBlobHeader* out);

// The image and annotation parts of a stored record.
struct BlobParts {
  bool hasHeader = false;
  const uint8_t* image = nullptr;
  size_t imageLength = 0;
  const uint8_t* annotations = nullptr;  // null: none to load
  size_t annLength = 0;
};

// Splits a record. Offsets and lengths of a header are checked against the
// record's size: a header that points outside the record gives false.
bool SplitImageFieldBlob(const uint8_t* blob, size_t length, BlobParts* out);

}  // namespace dbbind

#include "pkcs11bridge/ck_values.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>

namespace brennix {
namespace {

TEST(CkValues, WidenZeroExtendsAndNarrowKeepsLow32Bits) {
  struct Case {
    int32_t java;
    CK_ULONG native;
  } cases[] = {
      {0, 0},
      {7, 7},
      {INT32_MIN, 0x80000000UL},  // CKA_VENDOR_DEFINED, not sign-extended
      {-1, 0xFFFFFFFFUL},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Widen(c.java), c.native) << c.java;
    EXPECT_EQ(Narrow(c.native), c.java) << c.native;
  }
  EXPECT_EQ(Narrow(CK_UNAVAILABLE_INFORMATION), -1);
}

TEST(CkValues, SliceFitsOnlyInsideTheArray) {
  struct Case {
    int32_t arrayLength, offset, length;
    bool fits;
  } cases[] = {
      {10, 0, 10, true},   {10, 10, 0, true},  {10, 3, 7, true},   {0, 0, 0, true},
      {10, 3, 8, false},   {10, 11, 0, false}, {10, -1, 1, false}, {10, 0, -1, false},
      {10, INT32_MAX, 1, false},  // would overflow in 32 bits
      {0, 0, 1, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SliceFits(c.arrayLength, c.offset, c.length), c.fits)
        << c.arrayLength << " " << c.offset << " " << c.length;
  }
}

template <size_t N>
void Fill(CK_UTF8CHAR (&field)[N], const char* text) {
  std::memset(field, ' ', N);
  std::memcpy(field, text, std::strlen(text));
}

TEST(CkValues, TokenInfoFieldsKeepPaddingAndFormatNumbers) {
  CK_TOKEN_INFO info{};
  Fill(info.label, "ORN Test");
  Fill(info.manufacturerID, "Maker");
  Fill(info.model, "M1");
  Fill(info.serialNumber, "0123456789abcdef");
  Fill(info.utcTime, "2024010112000000");
  info.flags = 0x40D;
  info.ulMaxSessionCount = CK_EFFECTIVELY_INFINITE;
  info.ulSessionCount = CK_UNAVAILABLE_INFORMATION;
  info.ulMaxPinLen = 255;
  info.ulTotalPublicMemory = CK_UNAVAILABLE_INFORMATION;
  info.hardwareVersion = {2, 20};
  info.firmwareVersion = {0x1a, 0};

  auto f = TokenInfoFields(info);
  EXPECT_EQ(f[0], "ORN Test" + std::string(24, ' '));
  EXPECT_EQ(f[1].size(), 32u);
  EXPECT_EQ(f[2], "M1" + std::string(14, ' '));
  EXPECT_EQ(f[3], "0123456789abcdef");
  EXPECT_EQ(f[4], "0000040d");
  EXPECT_EQ(f[5], "0");
  EXPECT_EQ(f[6], "-1");
  EXPECT_EQ(f[9], "255");
  EXPECT_EQ(f[11], "-1");
  EXPECT_EQ(f[15], "0214");
  EXPECT_EQ(f[16], "1a00");
  EXPECT_EQ(f[17], "2024010112000000");
}

TEST(CkValues, TextFieldStopsAtZeroByteAndFlagsUseLow32Bits) {
  CK_INFO info{};
  Fill(info.manufacturerID, "ab");
  info.manufacturerID[1] = 0;
  Fill(info.libraryDescription, "");
  info.flags = 0x1'8000'0001UL;
  auto f = InfoFields(info);
  EXPECT_EQ(f[1], "a");
  EXPECT_EQ(f[2], "80000001");
  EXPECT_EQ(f[3], std::string(32, ' '));
}

TEST(CkValues, SlotInfoFieldsInRecordOrder) {
  CK_SLOT_INFO info{};
  Fill(info.slotDescription, "Reader");
  Fill(info.manufacturerID, "Maker");
  info.flags = CKF_TOKEN_PRESENT;
  info.hardwareVersion = {1, 2};
  info.firmwareVersion = {3, 4};
  auto f = SlotInfoFields(info);
  EXPECT_EQ(f[0].size(), 64u);
  EXPECT_EQ(f[0].substr(0, 7), "Reader ");
  EXPECT_EQ(f[2], "00000001");
  EXPECT_EQ(f[3], "0102");
  EXPECT_EQ(f[4], "0304");
}

TEST(CkValues, ModifiedUtf8) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"plain ASCII", "plain ASCII"},
      {"M\xC3\xBCller", "M\xC3\xBCller"},                       // valid UTF-8 kept
      {"M\xFCller", "M\xC3\xBCller"},                           // Latin-1 byte
      {"\xE2\x82\xAC", "\xE2\x82\xAC"},                         // three bytes kept
      {"\xF0\x9F\x98\x80", "\xED\xA0\xBD\xED\xB8\x80"},         // surrogate pair
      {"\xC0\x80", "\xC3\x80\xC2\x80"},                         // overlong: bytes
      {"\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xC2\x80"},             // encoded surrogate
      {"\xE2\x82", "\xC3\xA2\xC2\x82"},                         // cut sequence
      {std::string("a\0b", 3), std::string("a\xC0\x80" "b", 4)},  // zero as two bytes
  };
  for (const Case& c : cases) EXPECT_EQ(ToModifiedUtf8(c.in), c.out) << c.in;
}

TEST(CkValues, UlongAttributesAreTheStandardsCkUlongValues) {
  for (CK_ATTRIBUTE_TYPE t : {CKA_CLASS, CKA_KEY_TYPE, CKA_CERTIFICATE_TYPE, CKA_MODULUS_BITS, CKA_VALUE_LEN,
                              CKA_VALUE_BITS, CKA_PRIME_BITS, CKA_SUB_PRIME_BITS, CKA_KEY_GEN_MECHANISM,
                              CKA_MECHANISM_TYPE, CKA_HW_FEATURE_TYPE, CKA_CERTIFICATE_CATEGORY,
                              CKA_JAVA_MIDP_SECURITY_DOMAIN, CKA_NAME_HASH_ALGORITHM, CKA_OTP_LENGTH,
                              CKA_BITS_PER_PIXEL})
    EXPECT_TRUE(IsUlongAttribute(t)) << std::hex << t;
  // Booleans, byte strings, dates and arrays of CK_ULONG are not single CK_ULONGs.
  for (CK_ATTRIBUTE_TYPE t : {CKA_TOKEN, CKA_LABEL, CKA_VALUE, CKA_ID, CKA_SENSITIVE, CKA_MODULUS, CKA_START_DATE,
                              CKA_COLOR, CKA_OTP_USER_FRIENDLY_MODE, CKA_ALLOWED_MECHANISMS, CKA_VENDOR_DEFINED})
    EXPECT_FALSE(IsUlongAttribute(t)) << std::hex << t;
}

}  // namespace
}  // namespace brennix

#include "pkcs11bridge/ck_values.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <vector>

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

TEST(CkValues, JavaUlongCountOfAttributeValues) {
  struct Case {
    CK_ATTRIBUTE_TYPE type;
    CK_ULONG javaLength, count;
  } cases[] = {
      {CKA_CLASS, 4, 1},
      {CKA_CLASS, 8, 0},  // the module's own CK_ULONG passes through
      {CKA_CLASS, 2, 0},
      {CKA_ALLOWED_MECHANISMS, 4, 1},
      {CKA_ALLOWED_MECHANISMS, 12, 3},
      {CKA_ALLOWED_MECHANISMS, 0, 0},
      {CKA_ALLOWED_MECHANISMS, 6, 0},
      {CKA_LABEL, 4, 0},
      {CKA_WRAP_TEMPLATE, 8, 0},  // an array of attributes, not of CK_ULONG
  };
  for (const Case& c : cases) {
    EXPECT_EQ(JavaUlongCount(c.type, c.javaLength), c.count) << std::hex << c.type << " " << c.javaLength;
  }
}

TEST(CkValues, JavaValueLengthOfWhatTheModuleReports) {
  constexpr CK_ULONG W = sizeof(CK_ULONG);
  struct Case {
    CK_ATTRIBUTE_TYPE type;
    CK_ULONG nativeLength, javaLength;
  } cases[] = {
      {CKA_CLASS, W, 4},
      {CKA_CLASS, 2 * W, 2 * W},  // not one CK_ULONG: as it is
      {CKA_ALLOWED_MECHANISMS, 3 * W, 12},
      {CKA_ALLOWED_MECHANISMS, 0, 0},
      {CKA_ALLOWED_MECHANISMS, 3, 3},
      {CKA_ALLOWED_MECHANISMS, CK_UNAVAILABLE_INFORMATION, CK_UNAVAILABLE_INFORMATION},
      {CKA_CLASS, CK_UNAVAILABLE_INFORMATION, CK_UNAVAILABLE_INFORMATION},
      {CKA_LABEL, W, W},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(JavaValueLength(c.type, c.nativeLength), c.javaLength) << std::hex << c.type << " " << c.nativeLength;
  }
}

// The structures as PKCS#11 declares them, for those p11-kit's header lacks.
struct Rc2CbcParams {
  CK_ULONG ulEffectiveBits;
  CK_BYTE iv[8];
};
struct Rc5MacGeneralParams {
  CK_ULONG ulWordsize, ulRounds, ulMacLength;
};

TEST(CkValues, MechanismParamLayoutsMatchTheModulesStructures) {
  struct Case {
    CK_MECHANISM_TYPE mechanism;
    size_t javaSize, nativeSize;
  } cases[] = {
      {CKM_RSA_PKCS_PSS, 12, sizeof(CK_RSA_PKCS_PSS_PARAMS)},
      {CKM_SHA256_RSA_PKCS_PSS, 12, sizeof(CK_RSA_PKCS_PSS_PARAMS)},
      {CKM_SHA512_RSA_PKCS_PSS, 12, sizeof(CK_RSA_PKCS_PSS_PARAMS)},
      {CKM_AES_CTR, 20, sizeof(CK_AES_CTR_PARAMS)},
      {CKM_CAMELLIA_CTR, 20, sizeof(CK_AES_CTR_PARAMS)},
      {CKM_RC2_ECB, 4, sizeof(CK_ULONG)},
      {CKM_RC2_CBC_PAD, 12, sizeof(Rc2CbcParams)},
      {CKM_RC2_MAC_GENERAL, 8, 2 * sizeof(CK_ULONG)},
      {CKM_RC5_ECB, 8, 2 * sizeof(CK_ULONG)},
      {CKM_RC5_MAC_GENERAL, 12, sizeof(Rc5MacGeneralParams)},
      {CKM_SHA256_HMAC_GENERAL, 4, sizeof(CK_ULONG)},
      {CKM_AES_CMAC_GENERAL, 4, sizeof(CK_ULONG)},
  };
  for (const Case& c : cases) {
    const ParamLayout* layout = MechanismParamLayout(c.mechanism);
    ASSERT_NE(layout, nullptr) << std::hex << c.mechanism;
    EXPECT_EQ(JavaParamSize(*layout), c.javaSize) << std::hex << c.mechanism;
    EXPECT_EQ(NativeParamSize(*layout), c.nativeSize) << std::hex << c.mechanism;
  }
  // Pointers inside, bytes only, or no parameter: passed through.
  for (CK_MECHANISM_TYPE m : {CKM_AES_GCM, CKM_RSA_PKCS_OAEP, CKM_RC5_CBC, CKM_AES_CBC, CKM_SHA256,
                              CKM_SHA256_HMAC, CKM_ECDH1_DERIVE})
    EXPECT_EQ(MechanismParamLayout(m), nullptr) << std::hex << m;
}

// Java's view of a parameter: 4-byte CK_ULONGs in native order, packed.
std::vector<uint8_t> JavaBytes(std::initializer_list<int32_t> ulongs, std::vector<uint8_t> bytes = {}) {
  std::vector<uint8_t> out;
  for (int32_t v : ulongs) {
    uint8_t b[4];
    std::memcpy(b, &v, 4);
    out.insert(out.end(), b, b + 4);
  }
  out.insert(out.end(), bytes.begin(), bytes.end());
  return out;
}

TEST(CkValues, WidenParamFillsTheModulesStructure) {
  alignas(CK_ULONG) uint8_t native[kMaxNativeParamSize];

  std::memset(native, 0xEE, sizeof native);
  WidenParam(*MechanismParamLayout(CKM_SHA256_RSA_PKCS_PSS),
             JavaBytes({static_cast<int32_t>(CKM_SHA256), static_cast<int32_t>(CKG_MGF1_SHA256), 32}).data(),
             native);
  CK_RSA_PKCS_PSS_PARAMS pss;
  std::memcpy(&pss, native, sizeof pss);
  EXPECT_EQ(pss.hashAlg, CKM_SHA256);
  EXPECT_EQ(pss.mgf, CKG_MGF1_SHA256);
  EXPECT_EQ(pss.sLen, 32u);

  std::vector<uint8_t> block(16);
  for (int i = 0; i < 16; ++i) block[i] = static_cast<uint8_t>(0xA0 + i);
  std::memset(native, 0xEE, sizeof native);
  WidenParam(*MechanismParamLayout(CKM_AES_CTR), JavaBytes({INT32_MIN}, block).data(), native);
  CK_AES_CTR_PARAMS ctr;
  std::memcpy(&ctr, native, sizeof ctr);
  EXPECT_EQ(ctr.ulCounterBits, 0x80000000UL);  // zero-extended
  EXPECT_EQ(std::vector<uint8_t>(ctr.cb, ctr.cb + 16), block);

  std::memset(native, 0xEE, sizeof native);
  WidenParam(*MechanismParamLayout(CKM_RC2_CBC), JavaBytes({40}, {1, 2, 3, 4, 5, 6, 7, 8}).data(), native);
  Rc2CbcParams rc2;
  std::memcpy(&rc2, native, sizeof rc2);
  EXPECT_EQ(rc2.ulEffectiveBits, 40u);
  EXPECT_EQ(std::vector<uint8_t>(rc2.iv, rc2.iv + 8), (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(native[sizeof rc2], 0xEE);  // nothing written past the structure
}

}  // namespace
}  // namespace brennix

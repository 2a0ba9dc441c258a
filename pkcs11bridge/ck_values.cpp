#include "pkcs11bridge/ck_values.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <cstring>

namespace brennix {

bool IsUlongAttribute(CK_ATTRIBUTE_TYPE type) {
  switch (type) {
    case CKA_CLASS:
    case CKA_CERTIFICATE_TYPE:
    case CKA_CERTIFICATE_CATEGORY:
    case CKA_JAVA_MIDP_SECURITY_DOMAIN:
    case CKA_NAME_HASH_ALGORITHM:
    case CKA_KEY_TYPE:
    case CKA_MODULUS_BITS:
    case CKA_PRIME_BITS:
    case CKA_SUB_PRIME_BITS:
    case CKA_VALUE_BITS:
    case CKA_VALUE_LEN:
    case CKA_KEY_GEN_MECHANISM:
    case CKA_AUTH_PIN_FLAGS:
    case CKA_OTP_FORMAT:
    case CKA_OTP_LENGTH:
    case CKA_OTP_TIME_INTERVAL:
    case CKA_OTP_CHALLENGE_REQUIREMENT:
    case CKA_OTP_TIME_REQUIREMENT:
    case CKA_OTP_COUNTER_REQUIREMENT:
    case CKA_OTP_PIN_REQUIREMENT:
    case CKA_HW_FEATURE_TYPE:
    case CKA_PIXEL_X:
    case CKA_PIXEL_Y:
    case CKA_RESOLUTION:
    case CKA_CHAR_ROWS:
    case CKA_CHAR_COLUMNS:
    case CKA_BITS_PER_PIXEL:
    case CKA_MECHANISM_TYPE:
      return true;
    default:
      return false;
  }
}

bool IsUlongArrayAttribute(CK_ATTRIBUTE_TYPE type) { return type == CKA_ALLOWED_MECHANISMS; }

CK_ULONG JavaUlongCount(CK_ATTRIBUTE_TYPE type, CK_ULONG javaLength) {
  if (IsUlongAttribute(type)) return javaLength == kJavaUlongSize ? 1 : 0;
  if (IsUlongArrayAttribute(type) && javaLength % kJavaUlongSize == 0) {
    return javaLength / kJavaUlongSize;
  }
  return 0;
}

CK_ULONG JavaValueLength(CK_ATTRIBUTE_TYPE type, CK_ULONG nativeLength) {
  if (nativeLength == CK_UNAVAILABLE_INFORMATION || nativeLength % sizeof(CK_ULONG) != 0) {
    return nativeLength;
  }
  CK_ULONG n = nativeLength / sizeof(CK_ULONG);
  if ((IsUlongAttribute(type) && n == 1) || IsUlongArrayAttribute(type)) return n * kJavaUlongSize;
  return nativeLength;
}

namespace {

constexpr uint8_t U = ParamLayout::kUlong;
constexpr ParamLayout kOneUlong{1, {U}};          // CK_RC2_PARAMS, CK_MAC_GENERAL_PARAMS
constexpr ParamLayout kTwoUlongs{2, {U, U}};      // CK_RC2_MAC_GENERAL_PARAMS, CK_RC5_PARAMS
constexpr ParamLayout kThreeUlongs{3, {U, U, U}}; // CK_RSA_PKCS_PSS_PARAMS, CK_RC5_MAC_GENERAL_PARAMS
constexpr ParamLayout kUlongAnd8{2, {U, 8}};      // CK_RC2_CBC_PARAMS
constexpr ParamLayout kUlongAnd16{2, {U, 16}};    // CK_AES_CTR_PARAMS, CK_CAMELLIA_CTR_PARAMS

struct MechanismParam {
  CK_MECHANISM_TYPE mechanism;
  const ParamLayout* layout;
};

// Every mechanism whose parameter the bridge converts. Parameters with
// pointers inside (GCM, CCM, OAEP, RC5-CBC, key derivation ...) cannot
// travel in a byte array and are not listed.
constexpr MechanismParam kMechanismParams[] = {
    {CKM_RSA_PKCS_PSS, &kThreeUlongs},
    {CKM_SHA1_RSA_PKCS_PSS, &kThreeUlongs},
    {CKM_SHA224_RSA_PKCS_PSS, &kThreeUlongs},
    {CKM_SHA256_RSA_PKCS_PSS, &kThreeUlongs},
    {CKM_SHA384_RSA_PKCS_PSS, &kThreeUlongs},
    {CKM_SHA512_RSA_PKCS_PSS, &kThreeUlongs},
    {CKM_AES_CTR, &kUlongAnd16},
    {CKM_CAMELLIA_CTR, &kUlongAnd16},
    {CKM_RC2_ECB, &kOneUlong},
    {CKM_RC2_MAC, &kOneUlong},
    {CKM_RC2_CBC, &kUlongAnd8},
    {CKM_RC2_CBC_PAD, &kUlongAnd8},
    {CKM_RC2_MAC_GENERAL, &kTwoUlongs},
    {CKM_RC5_ECB, &kTwoUlongs},
    {CKM_RC5_MAC, &kTwoUlongs},
    {CKM_RC5_MAC_GENERAL, &kThreeUlongs},
    // The ..._MAC_GENERAL and ..._HMAC_GENERAL mechanisms: the MAC length.
    {CKM_MD2_HMAC_GENERAL, &kOneUlong},
    {CKM_MD5_HMAC_GENERAL, &kOneUlong},
    {CKM_SHA_1_HMAC_GENERAL, &kOneUlong},
    {CKM_RIPEMD128_HMAC_GENERAL, &kOneUlong},
    {CKM_RIPEMD160_HMAC_GENERAL, &kOneUlong},
    {CKM_SHA224_HMAC_GENERAL, &kOneUlong},
    {CKM_SHA256_HMAC_GENERAL, &kOneUlong},
    {CKM_SHA384_HMAC_GENERAL, &kOneUlong},
    {CKM_SHA512_HMAC_GENERAL, &kOneUlong},
    {CKM_SHA512_224_HMAC_GENERAL, &kOneUlong},
    {CKM_SHA512_256_HMAC_GENERAL, &kOneUlong},
    {CKM_DES_MAC_GENERAL, &kOneUlong},
    {CKM_DES3_MAC_GENERAL, &kOneUlong},
    {CKM_DES3_CMAC_GENERAL, &kOneUlong},
    {CKM_CDMF_MAC_GENERAL, &kOneUlong},
    {CKM_CAST_MAC_GENERAL, &kOneUlong},
    {CKM_CAST3_MAC_GENERAL, &kOneUlong},
    {CKM_CAST128_MAC_GENERAL, &kOneUlong},
    {CKM_IDEA_MAC_GENERAL, &kOneUlong},
    {CKM_ARIA_MAC_GENERAL, &kOneUlong},
    {CKM_SEED_MAC_GENERAL, &kOneUlong},
    {CKM_AES_MAC_GENERAL, &kOneUlong},
    {CKM_AES_CMAC_GENERAL, &kOneUlong},
    {CKM_CAMELLIA_MAC_GENERAL, &kOneUlong},
};

static_assert(std::all_of(std::begin(kMechanismParams), std::end(kMechanismParams),
                          [](const MechanismParam& row) {
                            return NativeParamSize(*row.layout) <= kMaxNativeParamSize;
                          }));

}  // namespace

const ParamLayout* MechanismParamLayout(CK_MECHANISM_TYPE mechanism) {
  for (const MechanismParam& row : kMechanismParams) {
    if (row.mechanism == mechanism) return row.layout;
  }
  return nullptr;
}

void WidenParam(const ParamLayout& layout, const uint8_t* java, uint8_t* native) {
  std::memset(native, 0, NativeParamSize(layout));
  size_t at = 0;
  for (uint8_t i = 0; i < layout.count; ++i) {
    if (layout.fields[i] == ParamLayout::kUlong) {
      at = AlignUp(at, alignof(CK_ULONG));
      const CK_ULONG wide = ReadJavaUlong(java);
      std::memcpy(native + at, &wide, sizeof wide);
      java += kJavaUlongSize;
      at += sizeof wide;
    } else {
      std::memcpy(native + at, java, layout.fields[i]);
      java += layout.fields[i];
      at += layout.fields[i];
    }
  }
}

std::string FormatVersion(const CK_VERSION& v) {
  char text[8];
  std::snprintf(text, sizeof text, "%02x%02x", v.major, v.minor);
  return text;
}

std::string FormatText(const CK_UTF8CHAR* field, size_t width) {
  // "%.*s" stops at a zero byte inside the field.
  const char* chars = reinterpret_cast<const char*>(field);
  return std::string(chars, strnlen(chars, width));
}

std::string FormatFlags(CK_FLAGS flags) {
  char text[16];
  std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(static_cast<uint32_t>(flags)));
  return text;
}

std::string FormatCounter(CK_ULONG counter) {
  return std::to_string(Narrow(counter));
}

std::array<std::string, 5> InfoFields(const CK_INFO& info) {
  return {FormatVersion(info.cryptokiVersion),
          FormatText(info.manufacturerID, sizeof info.manufacturerID),
          FormatFlags(info.flags),
          FormatText(info.libraryDescription, sizeof info.libraryDescription),
          FormatVersion(info.libraryVersion)};
}

std::array<std::string, 5> SlotInfoFields(const CK_SLOT_INFO& info) {
  return {FormatText(info.slotDescription, sizeof info.slotDescription),
          FormatText(info.manufacturerID, sizeof info.manufacturerID),
          FormatFlags(info.flags),
          FormatVersion(info.hardwareVersion),
          FormatVersion(info.firmwareVersion)};
}

std::array<std::string, 18> TokenInfoFields(const CK_TOKEN_INFO& info) {
  return {FormatText(info.label, sizeof info.label),
          FormatText(info.manufacturerID, sizeof info.manufacturerID),
          FormatText(info.model, sizeof info.model),
          FormatText(info.serialNumber, sizeof info.serialNumber),
          FormatFlags(info.flags),
          FormatCounter(info.ulMaxSessionCount),
          FormatCounter(info.ulSessionCount),
          FormatCounter(info.ulMaxRwSessionCount),
          FormatCounter(info.ulRwSessionCount),
          FormatCounter(info.ulMaxPinLen),
          FormatCounter(info.ulMinPinLen),
          FormatCounter(info.ulTotalPublicMemory),
          FormatCounter(info.ulFreePublicMemory),
          FormatCounter(info.ulTotalPrivateMemory),
          FormatCounter(info.ulFreePrivateMemory),
          FormatVersion(info.hardwareVersion),
          FormatVersion(info.firmwareVersion),
          FormatText(info.utcTime, sizeof info.utcTime)};
}

namespace {

// Appends one UTF-16 code unit in modified UTF-8 (zero as two bytes).
void AppendUnit(std::string& out, uint32_t unit) {
  if (unit != 0 && unit < 0x80) {
    out += static_cast<char>(unit);
  } else if (unit < 0x800) {
    out += static_cast<char>(0xC0 | (unit >> 6));
    out += static_cast<char>(0x80 | (unit & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (unit >> 12));
    out += static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (unit & 0x3F));
  }
}

// The length of the valid UTF-8 sequence at `s` and its code point, or 0.
size_t DecodeUtf8(std::string_view s, uint32_t& cp) {
  auto byte = [&](size_t i) { return static_cast<uint8_t>(s[i]); };
  auto cont = [&](size_t i) { return i < s.size() && (byte(i) & 0xC0) == 0x80; };
  uint8_t b = byte(0);
  if (b < 0x80) {
    cp = b;
    return 1;
  }
  size_t n;
  uint32_t min;
  if (b >= 0xC2 && b <= 0xDF) {
    n = 2, min = 0x80, cp = b & 0x1F;
  } else if (b >= 0xE0 && b <= 0xEF) {
    n = 3, min = 0x800, cp = b & 0x0F;
  } else if (b >= 0xF0 && b <= 0xF4) {
    n = 4, min = 0x10000, cp = b & 0x07;
  } else {
    return 0;
  }
  for (size_t i = 1; i < n; ++i) {
    if (!cont(i)) return 0;
    cp = (cp << 6) | (byte(i) & 0x3F);
  }
  // Overlong forms, surrogates and code points past U+10FFFF are not UTF-8.
  if (cp < min || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) return 0;
  return n;
}

}  // namespace

std::string ToModifiedUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  while (!text.empty()) {
    uint32_t cp = 0;
    size_t n = DecodeUtf8(text, cp);
    if (n == 0) {
      cp = static_cast<uint8_t>(text[0]);  // Latin-1
      n = 1;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      AppendUnit(out, 0xD800 | (cp >> 10));
      AppendUnit(out, 0xDC00 | (cp & 0x3FF));
    } else {
      AppendUnit(out, cp);
    }
    text.remove_prefix(n);
  }
  return out;
}

}  // namespace brennix

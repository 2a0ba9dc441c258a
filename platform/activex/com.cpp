#include "platform/activex/com.h"

#include <cctype>

#include "platform/activex/control.h"
#include "platform/activex/dispatch.h"

namespace ax {
namespace {

bool ParseHex(std::string_view s, uint64_t* out) {
  uint64_t v = 0;
  for (char c : s) {
    int d = std::isdigit(static_cast<unsigned char>(c))             ? c - '0'
            : (c >= 'a' && c <= 'f')                               ? c - 'a' + 10
            : (c >= 'A' && c <= 'F')                               ? c - 'A' + 10
                                                                   : -1;
    if (d < 0) return false;
    v = v << 4 | static_cast<uint64_t>(d);
  }
  *out = v;
  return true;
}

char16_t Fold(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c; }

}  // namespace

bool GuidFromText(std::string_view t, Guid* out) {
  if (t.size() != 38 || t[0] != '{' || t[37] != '}' || t[9] != '-' || t[14] != '-' || t[19] != '-' || t[24] != '-')
    return false;
  uint64_t a, b, c, d, e;
  if (!ParseHex(t.substr(1, 8), &a) || !ParseHex(t.substr(10, 4), &b) || !ParseHex(t.substr(15, 4), &c) ||
      !ParseHex(t.substr(20, 4), &d) || !ParseHex(t.substr(25, 12), &e))
    return false;
  Guid g;
  g.data1 = static_cast<uint32_t>(a);
  g.data2 = static_cast<uint16_t>(b);
  g.data3 = static_cast<uint16_t>(c);
  g.data4[0] = static_cast<uint8_t>(d >> 8);
  g.data4[1] = static_cast<uint8_t>(d);
  for (int i = 0; i < 6; ++i) g.data4[2 + i] = static_cast<uint8_t>(e >> (8 * (5 - i)));
  *out = g;
  return true;
}

std::string GuidTextNoBraces(const Guid& guid) {
  std::string t = com::GuidText(guid);
  return t.substr(1, t.size() - 2);
}

std::string Narrow(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char16_t c : text) out.push_back(c < 256 ? static_cast<char>(c) : '?');
  return out;
}

std::u16string Widen(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (char c : text) out.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
  return out;
}

HRESULT IDispatch::GetIDsOfNames(std::u16string_view name, DISPID* out) {
  if (!out) return E_POINTER;
  const InterfaceDesc* desc = GetTypeInfo();
  if (desc) {
    for (const MemberDesc& m : desc->members) {
      if (m.name.size() != name.size()) continue;
      bool same = true;
      for (size_t i = 0; i < name.size() && same; ++i)
        same = Fold(static_cast<char16_t>(static_cast<unsigned char>(m.name[i]))) == Fold(name[i]);
      if (same) {
        *out = m.dispid;
        return S_OK;
      }
    }
  }
  *out = DISPID_UNKNOWN;
  return DISP_E_UNKNOWNNAME;
}

bool GetAmbientProperty(IUnknown* site, DISPID dispid, Variant* out) {
  if (!site) return false;
  IDispatch* disp = nullptr;
  if (Failed(site->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&disp))) || !disp) return false;
  Variant result;
  HRESULT hr = disp->Invoke(dispid, DISPATCH_PROPERTYGET, {}, &result);
  disp->Release();
  if (Failed(hr)) return false;
  *out = std::move(result);
  return true;
}

HRESULT MemoryPropertyBag::Read(const std::string& name, Variant* value) {
  auto it = values.find(name);
  if (it == values.end()) return E_INVALIDARG;
  *value = it->second;
  return S_OK;
}

HRESULT MemoryPropertyBag::Write(const std::string& name, const Variant& value) {
  values[name] = value;
  return S_OK;
}

void SetRichError(const CLSID& source, const IID& iid, const std::string& description) {
  auto info = com::CreateErrorInfo();
  std::string progId;
  info->source = Widen(com::ProgIDFromCLSID(source, &progId) ? progId : com::GuidText(source));
  info->guid = iid;
  info->description = Widen(description);
  com::SetErrorInfo(std::move(info));
}

}  // namespace ax

// An in-memory browser-settings store whose failures a test can switch on.
#pragma once

#include <map>
#include <string>
#include <utility>

#include "platform/platform.h"

namespace mirel::fakes {

class FakeBrowserStore : public BrowserSettingsStore {
 public:
  // What CreateKey reports for a key that is missing; kFailed makes every
  // CreateKey fail, existing key or not.
  KeyDisposition createOutcome = KeyDisposition::kCreatedNew;
  bool failSets = false;
  int createCalls = 0;
  int setCalls = 0;

  std::map<std::string, std::map<std::string, RegValue>> keys;

  void PutString(const std::string& key, const std::string& name, std::string text) {
    keys[key][name] = RegValue{RegValue::Kind::kString, std::move(text), 0};
  }
  void PutDword(const std::string& key, const std::string& name, std::uint32_t v) {
    keys[key][name] = RegValue{RegValue::Kind::kDword, {}, v};
  }
  void PutBinary(const std::string& key, const std::string& name, std::string bytes) {
    keys[key][name] = RegValue{RegValue::Kind::kBinary, std::move(bytes), 0};
  }
  const RegValue* Find(const std::string& key, const std::string& name) const {
    auto k = keys.find(key);
    if (k == keys.end()) return nullptr;
    auto v = k->second.find(name);
    return v == k->second.end() ? nullptr : &v->second;
  }

  std::optional<RegValue> Query(std::string_view keyPath, std::string_view valueName) override {
    const RegValue* v = Find(std::string(keyPath), std::string(valueName));
    if (v == nullptr) return std::nullopt;
    return *v;
  }
  KeyDisposition CreateKey(std::string_view keyPath) override {
    ++createCalls;
    if (createOutcome == KeyDisposition::kFailed) return KeyDisposition::kFailed;
    if (keys.contains(std::string(keyPath))) return KeyDisposition::kOpenedExisting;
    keys[std::string(keyPath)];
    return createOutcome;
  }
  bool SetString(std::string_view keyPath, std::string_view valueName,
                 std::string_view text) override {
    ++setCalls;
    if (failSets) return false;
    PutString(std::string(keyPath), std::string(valueName), std::string(text));
    return true;
  }
  bool SetDword(std::string_view keyPath, std::string_view valueName,
                std::uint32_t value) override {
    ++setCalls;
    if (failSets) return false;
    PutDword(std::string(keyPath), std::string(valueName), value);
    return true;
  }
};

}  // namespace mirel::fakes

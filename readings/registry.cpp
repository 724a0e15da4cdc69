#include "readings/registry.h"

namespace mirel {

std::string RegistryAccess::ReadRegValue(std::string_view keyPath, std::string_view valueName) {
  std::optional<RegValue> value = store_.Query(keyPath, valueName);
  if (!value) return "";
  if (value->kind == RegValue::Kind::kDword) return std::to_string(value->dword);
  // Strings, and any other kind as its leading bytes, stop at the first zero.
  // Long values come back whole: nothing the program reads is near a size
  // limit, and a cut proxy text would be worse than a long one.
  const std::string& text = value->text;
  return text.substr(0, text.find('\0'));
}

bool RegistryAccess::WriteRegDword(std::string_view keyPath, std::string_view valueName,
                                   std::int16_t value) {
  const bool ok = StoreDword(keyPath, valueName, value);
  if (!ok && onWriteError) onWriteError();
  return ok;
}

bool RegistryAccess::StoreDword(std::string_view keyPath, std::string_view valueName,
                                std::int16_t value) {
  return store_.CreateKey(keyPath) != KeyDisposition::kFailed &&
         store_.SetDword(keyPath, valueName,
                         static_cast<std::uint32_t>(static_cast<std::int32_t>(value)));
}

}  // namespace mirel

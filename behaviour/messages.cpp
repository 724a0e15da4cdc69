#include "behaviour/messages.h"

namespace mirel {

std::string AdapterMessage(AdapterTableStatus status) {
  switch (status) {
    case AdapterTableStatus::kNotSupported:
      return "このバージョンのOSでこの機能はサポートされていません";
    case AdapterTableStatus::kInvalidParameter:
      return "出力バッファへのアクセスが許可されていないか、パラメータが不正です";
    case AdapterTableStatus::kNoAdapters:
      return "このコンピュータにはアダプタ情報が存在しません";
    case AdapterTableStatus::kOk:
    case AdapterTableStatus::kOtherFailure:
      break;
  }
  return {};
}

}  // namespace mirel

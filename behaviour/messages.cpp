#include "behaviour/messages.h"

#include "readings/web_check_results.h"

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

std::string ProxySwitchFailedNotice(const std::string& caption) {
  return "プロキシを「" + caption +
         "」に切り替えられませんでした。デスクトップのプロキシ設定に書き込めないか、"
         "この指定を受け付けません。";
}

std::string ProxyUseFailedNotice(bool on) {
  return std::string("プロキシを") + (on ? "ON" : "OFF") +
         "にできませんでした。デスクトップのプロキシ設定に書き込めません。";
}

std::string IpUnknownNotice(const std::string& globalIp) {
  std::string why;
  if (globalIp == kNotConfiguredText) {
    why =
        "グローバルIPアドレスの問い合わせ先が未設定です。"
        "オプションの「バージョン情報」で設定できます。";
  } else if (globalIp == kUnreachableText) {
    why = "グローバルIPアドレスを問い合わせ先から取得できませんでした。";
  } else if (globalIp == kRestartToShowText) {
    why =
        "グローバルIPアドレスは起動時に取得します。"
        "「IPアドレス」を表示にして再起動してください。";
  } else {
    why = "グローバルIPアドレスはまだ取得できていません。";
  }
  return why + "クリップボードには 0,0,0,0 を入れました。";
}

bool NoticeGate::Pass(const std::string& text, std::int64_t nowMs) {
  std::erase_if(shownAt_, [nowMs](const auto& shown) { return nowMs - shown.second >= kRepeatMs; });
  return shownAt_.emplace(text, nowMs).second;
}

}  // namespace mirel

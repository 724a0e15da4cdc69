#include "shell/win32/http_client.h"

#include <winhttp.h>

#include <memory>
#include <mutex>

#include "platform/windows/wide_text.h"

namespace mirel::win32 {

namespace {

// What the transfer thread and the waiting thread share. The waiting one may
// close the handles to abort a transfer that is stuck in a call.
struct Transfer {
  std::wstring host;
  std::wstring path;
  INTERNET_PORT port = 0;
  bool secure = false;
  DWORD timeoutMs = 0;

  std::mutex lock;
  HINTERNET session = nullptr;
  HINTERNET connection = nullptr;
  HINTERNET request = nullptr;
  bool aborted = false;

  FetchReply reply;

  void CloseAll() {
    std::lock_guard<std::mutex> guard(lock);
    for (HINTERNET* h : {&request, &connection, &session}) {
      if (*h != nullptr) WinHttpCloseHandle(*h);
      *h = nullptr;
    }
  }
  void Abort() {
    {
      std::lock_guard<std::mutex> guard(lock);
      aborted = true;
    }
    CloseAll();
  }
  // Keeps a new handle unless the transfer was aborted meanwhile.
  bool Keep(HINTERNET& slot, HINTERNET handle) {
    std::lock_guard<std::mutex> guard(lock);
    if (handle == nullptr) return false;
    if (aborted) {
      WinHttpCloseHandle(handle);
      return false;
    }
    slot = handle;
    return true;
  }
};

std::string LastError(const char* what) {
  return std::string(what) + " failed (" + std::to_string(GetLastError()) + ")";
}

void Run(Transfer& t) {
  FetchReply& out = t.reply;
  if (!t.Keep(t.session, WinHttpOpen(L"mirel9x/3.18", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                     WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0))) {
    out.error = LastError("WinHttpOpen");
    return;
  }
  const int ms = static_cast<int>(t.timeoutMs);
  WinHttpSetTimeouts(t.session, ms, ms, ms, ms);
  if (!t.Keep(t.connection, WinHttpConnect(t.session, t.host.c_str(), t.port, 0))) {
    out.error = LastError("WinHttpConnect");
    return;
  }
  if (!t.Keep(t.request, WinHttpOpenRequest(t.connection, L"GET", t.path.c_str(), nullptr,
                                            WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                            t.secure ? WINHTTP_FLAG_SECURE : 0))) {
    out.error = LastError("WinHttpOpenRequest");
    return;
  }
  // Redirects are followed, but never from https to http (WinHTTP's default).
  if (!WinHttpSendRequest(t.request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0,
                          0, 0) ||
      !WinHttpReceiveResponse(t.request, nullptr)) {
    out.error = LastError("the request");
    return;
  }
  DWORD status = 0;
  DWORD size = sizeof status;
  if (!WinHttpQueryHeaders(t.request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                           WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX) ||
      status >= 400) {
    out.error = "HTTP status " + std::to_string(status);
    return;
  }
  // An announced oversize body is refused before any of it is read.
  DWORD length = 0;
  size = sizeof length;
  if (WinHttpQueryHeaders(t.request, WINHTTP_QUERY_CONTENT_LENGTH | WINHTTP_QUERY_FLAG_NUMBER,
                          WINHTTP_HEADER_NAME_BY_INDEX, &length, &size, WINHTTP_NO_HEADER_INDEX) &&
      length > kMaxReplyBytes) {
    out.error = "reply larger than 1 MiB";
    return;
  }
  std::string body;
  char buffer[8192];
  for (;;) {
    DWORD read = 0;
    if (!WinHttpReadData(t.request, buffer, sizeof buffer, &read)) {
      out.error = LastError("WinHttpReadData");
      return;
    }
    if (read == 0) break;
    body.append(buffer, read);
    if (body.size() > kMaxReplyBytes) {
      out.error = "reply larger than 1 MiB";
      return;
    }
  }
  out.ok = true;
  out.body = std::move(body);
}

DWORD WINAPI TransferThread(void* parameter) {
  auto* t = static_cast<Transfer*>(parameter);
  Run(*t);
  t->CloseAll();
  return 0;
}

}  // namespace

FetchReply HttpClient::Get(const std::string& url, std::chrono::milliseconds timeout) {
  FetchReply out;
  if (busy_) {
    out.error = "another request is still waiting";
    return out;
  }
  const std::optional<std::wstring> wide = windows_source::Utf8ToWide(url);
  URL_COMPONENTSW parts{};
  parts.dwStructSize = sizeof parts;
  parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength = 1;
  if (!wide || !WinHttpCrackUrl(wide->c_str(), 0, 0, &parts) || parts.dwHostNameLength == 0 ||
      (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS)) {
    out.error = "not a usable address: " + url;
    return out;
  }
  auto t = std::make_unique<Transfer>();
  t->host.assign(parts.lpszHostName, parts.dwHostNameLength);
  t->path.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
  if (parts.lpszExtraInfo != nullptr) t->path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
  if (t->path.empty()) t->path = L"/";
  t->port = parts.nPort;
  t->secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
  t->timeoutMs = static_cast<DWORD>(timeout.count());

  HANDLE thread = CreateThread(nullptr, 0, &TransferThread, t.get(), 0, nullptr);
  if (thread == nullptr) {
    out.error = LastError("CreateThread");
    return out;
  }
  busy_ = true;
  const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(timeout.count());
  bool quit = false;
  WPARAM quitCode = 0;
  bool timedOut = false;
  while (!quit) {
    const ULONGLONG now = GetTickCount64();
    if (!timedOut && now >= deadline) {
      timedOut = true;
      t->Abort();
    }
    const DWORD wait = timedOut ? INFINITE : static_cast<DWORD>(deadline - now);
    if (MsgWaitForMultipleObjectsEx(1, &thread, wait, QS_ALLINPUT, MWMO_INPUTAVAILABLE) ==
        WAIT_OBJECT_0)
      break;
    MSG msg;
    while (!quit && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        // The program is ending: stop the transfer, and let the loop that
        // called us see the quit too.
        quit = true;
        quitCode = msg.wParam;
        t->Abort();
        break;
      }
      if (preTranslate_ && preTranslate_(msg)) continue;
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  // Aborted for the quit: the thread ends as soon as its call returns.
  if (quit) WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  busy_ = false;
  if (quit) {
    PostQuitMessage(static_cast<int>(quitCode));
    out.error = "interrupted";
  } else if (timedOut && !t->reply.ok) {
    out.error = "no reply within " + std::to_string(timeout.count()) + " ms";
  } else {
    out = std::move(t->reply);
  }
  return out;
}

}  // namespace mirel::win32

// One monitor per user and Windows session: a named mutex in the session's
// own namespace ("Local\"), whose name carries the user's, is the lock; the
// kernel lets go of it when the holding process ends, however it ends. A
// later start asks the running monitor to come to the front through named
// objects of the monitor: it releases one request (a semaphore), sets the
// monitor's "pending" event and waits for one answer (a semaphore). The
// event is what the monitor's loop waits for: a manual-reset event stays
// set through that wait, where a semaphore would be taken by it.
#include <windows.h>

#include <iostream>

#include "platform/instance_guard.h"
#include "platform/windows/wide_text.h"

namespace mirel {

namespace {

using windows_source::Narrow;
using windows_source::Widen;

constexpr LONG kMaxPending = 64;

// A kernel object's name may hold any character but the backslash.
std::wstring ObjectName(const std::string& name, const wchar_t* part) {
  std::wstring wide = Widen(name);
  for (wchar_t& c : wide) {
    if (c == L'\\') c = L'_';
  }
  return L"Local\\" + wide + part;
}

class Handle {
 public:
  Handle() = default;
  explicit Handle(HANDLE h) : h_(h) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() { Reset(); }
  void Reset(HANDLE h = nullptr) {
    if (h_ != nullptr) CloseHandle(h_);
    h_ = h;
  }
  HANDLE get() const { return h_; }
  explicit operator bool() const { return h_ != nullptr; }

 private:
  HANDLE h_ = nullptr;
};

class WindowsInstanceGuard : public InstanceGuard {
 public:
  explicit WindowsInstanceGuard(const std::string& name)
      : lockName_(ObjectName(name, L"")),
        requestName_(ObjectName(name, L"-request")),
        pendingName_(ObjectName(name, L"-pending")),
        answerName_(ObjectName(name, L"-answer")) {}

  InstanceClaim Claim(std::chrono::milliseconds wait) override {
    mutex_.Reset(CreateMutexW(nullptr, FALSE, lockName_.c_str()));
    const DWORD created = GetLastError();
    if (!mutex_) {
      std::cerr << "mirel9x: 二重起動の確認ができません (" << Narrow(lockName_) << ", " << created
                << ")\n";
      return InstanceClaim::kFirst;
    }
    if (created != ERROR_ALREADY_EXISTS) {
      // The semaphores exist only while this process holds them: a crashed
      // monitor leaves nothing behind.
      request_.Reset(CreateSemaphoreW(nullptr, 0, kMaxPending, requestName_.c_str()));
      answer_.Reset(CreateSemaphoreW(nullptr, 0, kMaxPending, answerName_.c_str()));
      pending_.Reset(CreateEventW(nullptr, TRUE, FALSE, pendingName_.c_str()));
      return InstanceClaim::kFirst;
    }
    mutex_.Reset();
    return AskTheMonitor(wait);
  }

  std::intptr_t Descriptor() const override {
    return pending_ ? reinterpret_cast<std::intptr_t>(pending_.get()) : -1;
  }

  void Serve(const std::function<void()>& activate) override {
    if (!request_ || !pending_) return;
    // Reset before the requests are taken: one that comes after sets it again.
    ResetEvent(pending_.get());
    while (WaitForSingleObject(request_.get(), 0) == WAIT_OBJECT_0) {
      if (activate) activate();
      if (answer_) ReleaseSemaphore(answer_.get(), 1, nullptr);
    }
  }

  void Release() override {
    pending_.Reset();
    request_.Reset();
    answer_.Reset();
    mutex_.Reset();
  }

  std::filesystem::path LockPath() const override { return lockName_; }
  std::filesystem::path SocketPath() const override { return requestName_; }

 private:
  // The monitor may be starting up still: its semaphores come a moment after
  // its lock.
  InstanceClaim AskTheMonitor(std::chrono::milliseconds wait) {
    const ULONGLONG until = GetTickCount64() + static_cast<ULONGLONG>(wait.count());
    Handle request, pending, answer;
    for (;;) {
      if (!request)
        request.Reset(OpenSemaphoreW(SEMAPHORE_MODIFY_STATE, FALSE, requestName_.c_str()));
      if (!pending) pending.Reset(OpenEventW(EVENT_MODIFY_STATE, FALSE, pendingName_.c_str()));
      if (!answer) answer.Reset(OpenSemaphoreW(SYNCHRONIZE, FALSE, answerName_.c_str()));
      if (request && pending && answer) break;
      if (GetTickCount64() >= until) return InstanceClaim::kUnreachable;
      Sleep(50);
    }
    // Only a process the user just started may take the foreground: this
    // one lends it to the monitor it asks.
    AllowSetForegroundWindow(ASFW_ANY);
    if (!ReleaseSemaphore(request.get(), 1, nullptr)) return InstanceClaim::kUnreachable;
    SetEvent(pending.get());
    const ULONGLONG now = GetTickCount64();
    const DWORD left = now < until ? static_cast<DWORD>(until - now) : 0;
    return WaitForSingleObject(answer.get(), left) == WAIT_OBJECT_0 ? InstanceClaim::kForwarded
                                                                    : InstanceClaim::kUnreachable;
  }

  std::wstring lockName_;
  std::wstring requestName_;
  std::wstring pendingName_;
  std::wstring answerName_;
  Handle mutex_;
  Handle request_;
  Handle pending_;
  Handle answer_;
};

}  // namespace

std::unique_ptr<InstanceGuard> MakeInstanceGuard(const std::filesystem::path& /*folder*/,
                                                 const std::string& name) {
  // Named kernel objects of the session need no folder.
  return std::make_unique<WindowsInstanceGuard>(name);
}

std::filesystem::path PrivateRuntimeFolder() {
  // The user's own temporary folder; the guard itself needs none.
  std::error_code ec;
  return std::filesystem::temp_directory_path(ec);
}

}  // namespace mirel

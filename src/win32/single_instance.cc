#include "win32/single_instance.h"

#include <cwchar>
#include <string>

#include "win32/win32_ui.h"

namespace quorvel::win32 {
namespace {

// The process this start replaces, read once and forgotten, so that the
// programs this one starts never inherit it.
void wait_for_replaced() {
  wchar_t value[32] = {};
  const DWORD n = GetEnvironmentVariableW(L"QUORVEL_REPLACES", value, 32);
  if (n == 0 || n >= 32) return;
  SetEnvironmentVariableW(L"QUORVEL_REPLACES", nullptr);
  const unsigned long pid = std::wcstoul(value, nullptr, 10);
  if (pid == 0 || pid == GetCurrentProcessId()) return;
  const UniqueKernelHandle old = UniqueKernelHandle::adopt(OpenProcess(SYNCHRONIZE, FALSE, pid));
  if (old) WaitForSingleObject(old.get(), 5000);
}

}  // namespace

SingleInstance::Claim SingleInstance::claim(const wchar_t* name) {
  wait_for_replaced();
  const HANDLE mutex = CreateMutexW(nullptr, FALSE, name);
  const DWORD error = GetLastError();
  mutex_.reset(mutex);
  // Without a mutex (no rights to the namespace) every start runs alone.
  return mutex_ && error == ERROR_ALREADY_EXISTS ? Claim::Another : Claim::First;
}

bool call_first_forward() {
  const HWND first = FindWindowW(kTrayWindowClass, nullptr);
  if (first == nullptr) return false;
  DWORD pid = 0;
  GetWindowThreadProcessId(first, &pid);
  // Only a process with the foreground may hand it on; this start has it.
  AllowSetForegroundWindow(pid);
  return PostMessageW(first, kBringForwardMessage, 0, 0) != FALSE;
}

}  // namespace quorvel::win32

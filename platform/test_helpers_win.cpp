#include <windows.h>

#include <cstdlib>
#include <ctime>

#include "platform/test_helpers.h"
#include "platform/text.h"

namespace platform::testing {

bool CreateFifo(const std::filesystem::path&, std::string* why) {
  if (why) *why = "Windows has no FIFOs in its file system";
  return false;
}

bool HasPosixFileSystem() {
  return false;
}

bool IsSuperUser() {
  return false;
}

bool GiveToAnotherUser(const std::filesystem::path&) {
  return false;
}

namespace {

FILETIME FileTime(std::time_t seconds) {
  constexpr std::int64_t kStepsPerSecond = 10'000'000;
  constexpr std::int64_t kSecondsFrom1601To1970 = 11'644'473'600;
  const auto steps = static_cast<std::uint64_t>(
      (static_cast<std::int64_t>(seconds) + kSecondsFrom1601To1970) * kStepsPerSecond);
  return FILETIME{static_cast<DWORD>(steps), static_cast<DWORD>(steps >> 32)};
}

// One argument as the C runtime's command-line parser reads it back: quoted, with backslashes
// doubled where they precede a quote.
std::wstring Quoted(const std::wstring& argument) {
  std::wstring quoted = L"\"";
  std::size_t backslashes = 0;
  for (const wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, L'\\');
  return quoted + L"\"";
}

HANDLE InheritableOutput(const std::filesystem::path& path) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  return ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

int RunProgram(const std::filesystem::path& program, const std::vector<std::string>& arguments,
               const std::filesystem::path& workingFolder, const std::filesystem::path& out,
               const std::filesystem::path& err) {
  std::wstring commandLine = Quoted(program.native());
  for (const auto& argument : arguments)
    commandLine += L" " + Quoted(WideFromUtf8(argument));
  const HANDLE outHandle = InheritableOutput(out);
  const HANDLE errHandle = InheritableOutput(err);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = outHandle;
  startup.hStdError = errHandle;
  PROCESS_INFORMATION process{};
  const bool started = outHandle != INVALID_HANDLE_VALUE && errHandle != INVALID_HANDLE_VALUE &&
                       ::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                                        0, nullptr, workingFolder.c_str(), &startup, &process);
  DWORD status = static_cast<DWORD>(-1);
  if (started) {
    ::WaitForSingleObject(process.hProcess, INFINITE);
    ::GetExitCodeProcess(process.hProcess, &status);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
  }
  if (outHandle != INVALID_HANDLE_VALUE) ::CloseHandle(outHandle);
  if (errHandle != INVALID_HANDLE_VALUE) ::CloseHandle(errHandle);
  return started ? static_cast<int>(status) : -1;
}

bool SetFileTimes(const std::filesystem::path& path, std::time_t modified, std::time_t accessed) {
  const HANDLE handle = ::CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  const FILETIME written = FileTime(modified);
  const FILETIME read = FileTime(accessed);
  const bool set = ::SetFileTime(handle, nullptr, &read, &written) != 0;
  ::CloseHandle(handle);
  return set;
}

// Windows has no per-process limit on file sizes.
FileSizeLimit::FileSizeLimit(std::uint64_t) {}
FileSizeLimit::~FileSizeLimit() = default;

unsigned SetUmask(unsigned) {
  return 0;
}

void UseUtcAsLocalTime() {
  ::_putenv_s("TZ", "UTC0");
  ::_tzset();
}

}  // namespace platform::testing

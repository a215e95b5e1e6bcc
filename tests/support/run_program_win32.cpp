#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdio>
#include <string>

#include "support/files.h"
#include "support/run_program.h"

namespace kw::test {

namespace {

// "run_program: STEP failed: error N", from the system's last error.
std::string failed(const char* step) {
  return std::string("run_program: ") + step + " failed: error " + std::to_string(::GetLastError());
}

// Starts `program` (the command line `command`) in `cwd`, its standard
// error and output written to the two files, its standard input read from
// `in_path`; false, with the reason in `why`, when it does not start.
bool start(const std::filesystem::path& program, std::wstring command, const std::wstring& cwd,
           const std::filesystem::path& err_file, const std::filesystem::path& out_file,
           const std::wstring& in_path, PROCESS_INFORMATION& process, std::string& why) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE err = ::CreateFileW(err_file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  HANDLE out = ::CreateFileW(out_file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  HANDLE in = ::CreateFileW(in_path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            &inherit, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  bool started = false;
  if (err == INVALID_HANDLE_VALUE || out == INVALID_HANDLE_VALUE || in == INVALID_HANDLE_VALUE) {
    why = failed("opening the child's standard files");
  } else {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in;
    startup.hStdOutput = out;
    startup.hStdError = err;
    started = ::CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                               cwd.c_str(), &startup, &process) != 0;
    if (!started) why = failed("CreateProcessW");
  }
  for (HANDLE h : {err, out, in}) {
    if (h != INVALID_HANDLE_VALUE) ::CloseHandle(h);
  }
  return started;
}

}  // namespace

// Options that only a POSIX system can apply (open-file and file-size
// limits, another user) are not used here: the tests that need them are
// skipped.
void let_unprivileged_write(const std::filesystem::path& folder) {
  std::filesystem::permissions(folder, std::filesystem::perms::all);
}

RunResult run_program(const std::filesystem::path& program,
                      const std::filesystem::path& working_directory, const RunOptions& options) {
  TempDir capture;
  const std::filesystem::path err_file = capture.path() / "stderr";
  const std::filesystem::path out_file = capture.path() / "stdout";
  const std::wstring in_path =
      options.standard_input.empty() ? std::wstring(L"NUL") : options.standard_input.wstring();
  std::wstring command = L"\"" + program.wstring() + L"\"";
  for (const std::string& argument : options.arguments) {
    command += L" \"" + std::filesystem::path(argument).wstring() + L"\"";
  }
  RunResult result;
  PROCESS_INFORMATION process{};
  // Under Wine a start can fail for the emulator's own reasons, before the
  // program runs at all: such a start is tried again, and said.
  bool started = false;
  for (int attempt = 1; attempt <= 3 && !started; ++attempt) {
    started = start(program, command, working_directory.wstring(), err_file, out_file, in_path,
                    process, result.standard_error);
    if (!started) {
      std::fprintf(stderr, "%s (attempt %d of 3)\n", result.standard_error.c_str(), attempt);
      ::Sleep(500);
    }
  }
  if (!started) return result;
  if (::WaitForSingleObject(process.hProcess,
                            static_cast<DWORD>(options.timeout_seconds) * 1000U) == WAIT_TIMEOUT) {
    ::TerminateProcess(process.hProcess, 1);
    ::WaitForSingleObject(process.hProcess, INFINITE);
    result.timed_out = true;
  }
  DWORD code = 0;
  if (::GetExitCodeProcess(process.hProcess, &code) != 0)
    result.exit_status = static_cast<int>(code);
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  result.standard_error = read_file(err_file);
  result.standard_output = read_file(out_file);
  return result;
}

}  // namespace kw::test

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

// "STEP failed: error N", for a result that has no child's output to show.
std::string failed(const char* step) {
  return std::string("run_program: ") + step + " failed: error " + std::to_string(::GetLastError());
}

}  // namespace

// Options that only a POSIX system can apply (open-file and file-size
// limits, another user) are not used here: the tests that need them are
// skipped.
RunResult run_program(const std::filesystem::path& program,
                      const std::filesystem::path& working_directory, const RunOptions& options) {
  TempDir capture;
  const std::filesystem::path err_file = capture.path() / "stderr";
  const std::filesystem::path out_file = capture.path() / "stdout";
  RunResult result;
  {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE err = ::CreateFileW(err_file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                               CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    HANDLE out = ::CreateFileW(out_file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                               CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    const std::wstring in_path =
        options.standard_input.empty() ? std::wstring(L"NUL") : options.standard_input.wstring();
    HANDLE null = ::CreateFileW(in_path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                &inherit, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (err == INVALID_HANDLE_VALUE || out == INVALID_HANDLE_VALUE ||
        null == INVALID_HANDLE_VALUE) {
      result.standard_error = failed("opening the child's standard files");
      for (HANDLE h : {err, out, null}) {
        if (h != INVALID_HANDLE_VALUE) ::CloseHandle(h);
      }
      return result;
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = null;
    startup.hStdOutput = out;
    startup.hStdError = err;
    std::wstring command = L"\"" + program.wstring() + L"\"";
    for (const std::string& argument : options.arguments) {
      command += L" \"" + std::filesystem::path(argument).wstring() + L"\"";
    }
    PROCESS_INFORMATION process{};
    const std::wstring cwd = working_directory.wstring();
    // Under Wine a start can fail for the emulator's own reasons, before
    // the program runs at all: such a start is tried again, and said.
    BOOL started = FALSE;
    for (int attempt = 1; attempt <= 3 && started == 0; ++attempt) {
      started = ::CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, TRUE, 0,
                                 nullptr, cwd.c_str(), &startup, &process);
      if (started == 0) {
        result.standard_error = failed("CreateProcessW");
        std::fprintf(stderr, "%s (attempt %d of 3)\n", result.standard_error.c_str(), attempt);
        ::Sleep(500);
      }
    }
    ::CloseHandle(err);
    ::CloseHandle(out);
    ::CloseHandle(null);
    if (started == 0) return result;
    if (::WaitForSingleObject(process.hProcess, static_cast<DWORD>(options.timeout_seconds) *
                                                    1000U) == WAIT_TIMEOUT) {
      ::TerminateProcess(process.hProcess, 1);
      ::WaitForSingleObject(process.hProcess, INFINITE);
      result.timed_out = true;
    }
    DWORD code = 0;
    if (::GetExitCodeProcess(process.hProcess, &code) != 0)
      result.exit_status = static_cast<int>(code);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
  }
  result.standard_error = read_file(err_file);
  result.standard_output = read_file(out_file);
  return result;
}

}  // namespace kw::test

// dotm-repair run as a user runs it, in a folder of the test's, with what it wrote to its standard
// streams read back as the program meant it.
#pragma once

#include <string>
#include <vector>

#include "platform/test_helpers.h"
#include "tests/jobs/job_test_fixture.h"

namespace jobstest {

struct RunResult {
  int status = -1;
  std::string out, err;
};

// Standard streams on Windows are text streams: each "\n" reaches the file as "\r\n".
inline std::string AsWritten(std::string text) {
#ifdef _WIN32
  for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at))
    text.erase(at, 1);
#endif
  return text;
}

// Runs the program at binary in folder with words as its arguments; its standard output and
// error go to files there.
inline RunResult RunProgramIn(const char* binary, const fs::path& folder,
                              const std::vector<std::string>& words) {
  const fs::path out = folder / "stdout.txt";
  const fs::path err = folder / "stderr.txt";
  RunResult result;
  result.status = platform::testing::RunProgram(binary, words, folder, out, err);
  result.out = AsWritten(ReadText(out));
  result.err = AsWritten(ReadText(err));
  return result;
}

}  // namespace jobstest

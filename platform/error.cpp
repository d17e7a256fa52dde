#include "platform/error.h"

#include <utility>

namespace platform {
namespace {

struct LastFailure {
  int code = 0;
  std::string reason;  // ours; when empty the system's text for code is the reason
};

thread_local LastFailure t_lastFailure;

}  // namespace

namespace detail {

void RecordSystemError(int code) {
  t_lastFailure = LastFailure{code, {}};
}

void RecordFailure(std::string reason) {
  t_lastFailure = LastFailure{0, std::move(reason)};
}

}  // namespace detail

std::string LastErrorText() {
  if (!t_lastFailure.reason.empty()) return t_lastFailure.reason;
  return detail::SystemErrorText(t_lastFailure.code);
}

bool LastErrorWasAlreadyExists() {
  return t_lastFailure.reason.empty() && detail::IsAlreadyExistsCode(t_lastFailure.code);
}

std::string ErrorText(const std::error_code& error) {
  if (error.category() == std::system_category()) return detail::SystemErrorText(error.value());
  return error.message();
}

}  // namespace platform

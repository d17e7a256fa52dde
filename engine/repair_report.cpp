#include "engine/repair_report.h"

namespace engine {

std::string OutcomeText(std::string_view logText) {
  while (!logText.empty() && logText.front() == ' ')
    logText.remove_prefix(1);
  while (!logText.empty() &&
         (logText.back() == '\n' || logText.back() == '\r' || logText.back() == ' '))
    logText.remove_suffix(1);
  return std::string(logText);
}

}  // namespace engine

#include "cli/report_view.h"

#include <utility>

namespace cli {

ReportingConsoleView::ReportingConsoleView(std::vector<std::string> files, std::string destination,
                                           bool extractMedia, ConsoleStreams streams, bool collect)
    : ConsoleView(files, std::move(destination), extractMedia, streams), collect_(collect) {
  if (!collect_) return;
  for (auto& file : files)
    packages_.push_back(PackageFacts{.input = std::move(file), .repair = {}, .save = {}});
}

PackageFacts* ReportingConsoleView::Slot(int row) {
  if (!collect_ || row < 0 || static_cast<std::size_t>(row) >= packages_.size()) return nullptr;
  return &packages_[static_cast<std::size_t>(row)];
}

void ReportingConsoleView::RepairReported(int row, const engine::RepairRowReport& report) {
  std::lock_guard lock(factsMutex_);
  if (PackageFacts* package = Slot(row)) package->repair = report;
}

void ReportingConsoleView::SaveReported(int row, const engine::SaveRowReport& report) {
  std::lock_guard lock(factsMutex_);
  if (PackageFacts* package = Slot(row)) package->save = report;
}

std::vector<PackageFacts> ReportingConsoleView::Packages() const {
  std::lock_guard lock(factsMutex_);
  return packages_;
}

}  // namespace cli

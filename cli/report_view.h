// The command-line view that also keeps what the jobs report for each row, for the run's
// report (--report).
#pragma once

#include <mutex>
#include <vector>

#include "cli/console_view.h"
#include "cli/report_json.h"

namespace cli {

class ReportingConsoleView : public ConsoleView {
 public:
  // collect: keep the rows' facts; without it this is a plain console view.
  ReportingConsoleView(std::vector<std::string> files, std::string destination, bool extractMedia,
                       ConsoleStreams streams, bool collect);

  void RepairReported(int row, const engine::RepairRowReport& report) override;
  void SaveReported(int row, const engine::SaveRowReport& report) override;

  // One item per listed file, in the order listed.
  std::vector<PackageFacts> Packages() const;

 private:
  PackageFacts* Slot(int row);

  mutable std::mutex factsMutex_;
  std::vector<PackageFacts> packages_;
  bool collect_;
};

}  // namespace cli

// Placeholder until the repair job lands.
#include "engine/repair_job.h"
namespace engine {
void PrepareRepairJob(const JobThreadParam&) {}
int RepairWorker(const JobThreadParam*) { return 1; }
}  // namespace engine

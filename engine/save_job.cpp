// Placeholder until the save job lands.
#include "engine/save_job.h"
namespace engine {
bool PrepareSaveJob(const JobThreadParam&) { return false; }
int SaveWorker(const JobThreadParam*) { return 0; }
}  // namespace engine

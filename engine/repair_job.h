// The repair job: scan and extract every listed package into its file folder.
#pragma once

#include "engine/job_param.h"

namespace engine {

// The Repair files command's preparations, on the GUI thread before the worker starts:
// empties the working folder, sets the instruction line, the controls, the running flag, clears
// the log, sets the bars to 0 and shows the waiting hint.
void PrepareRepairJob(const JobThreadParam& param);

// The worker: repairs every row of the file list. Returns 1.
int RepairWorker(const JobThreadParam* param);

}  // namespace engine

// The save job: pack every repaired file folder into "ZARVEL_" + file name in the destination.
#pragma once

#include "engine/job_param.h"

namespace engine {

// The Save command's check on the GUI thread: false, after telling the user, while a job runs.
bool PrepareSaveJob(const JobThreadParam& param);

// The worker. Returns 1 when the destination was valid and the job ran, 0 otherwise.
int SaveWorker(const JobThreadParam* param);

}  // namespace engine

#include "base/run_state.h"

std::atomic<int32_t> gRunState{kRunIdle};
std::atomic<bool> gWorkerActive{false};

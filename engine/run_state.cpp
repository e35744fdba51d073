#include "engine/run_state.h"

std::atomic<int32_t> gRunState{kRunIdle};

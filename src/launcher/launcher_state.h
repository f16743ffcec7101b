#pragma once
#include <cstdint>

// The patch state machine's states; the worker runs the handler of the
// current one about once a millisecond.
enum LauncherState : int32_t {
    STATE_CHECK_UPDATER = 1,
    STATE_RUN_UPDATER = 2,
    STATE_GET_FILE_LIST = 3,
    STATE_COMPARE_LISTS = 4,
    STATE_UPDATE_FILES = 5,
    STATE_READY = 6,
    STATE_IDLE = 7,
    STATE_QUIT = 8,
    STATE_ERROR = 9,
    STATE_END = 10,
};

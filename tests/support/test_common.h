#pragma once
// What nearly every test program uses, included once: gtest and gmock, the standard
// containers, files and threads, the POSIX calls, and the light helpers of
// tests/support (child processes, folders, archives, the HTTP server).
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "support/child_process.h"
#include "support/noise.h"
#include "support/patch_set.h"
#include "support/temp_current_folder.h"
#include "support/temp_dir.h"
#include "support/test_http_server.h"
#include "support/wait_until.h"
#include "util/text_util.h"

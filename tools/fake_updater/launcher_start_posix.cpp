#include <unistd.h>

#include <cstdio>

#include "launcher_start.h"

int BecomeLauncher(const std::string& argument) {
    fflush(nullptr);
    char launcher[] = "./QuonLauncher.exe";
    char fromUpdater[] = "FromUpdater";
    std::string copy = argument;
    char* args[] = {launcher, copy.data(), fromUpdater, nullptr};
    execv(launcher, args);
    perror("QuonLauncherUpdater: ./QuonLauncher.exe");
    return 4;
}

int main(int argc, char** argv) {
    return UpdaterMain(argc, argc > 1 ? argv[1] : "");
}

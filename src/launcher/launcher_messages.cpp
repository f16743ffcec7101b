#include "launcher/launcher_messages.h"

namespace {
// The texts stand exactly as the players have always seen them, typos included.
constexpr LauncherMessage kMessages[kLauncherMessageCount] = {
    {L"An error has occurred while initializing.\nErrorCode : L_1", 1},
    {L"The download file cheksum does not match the computed checksum.\nErrorCode : L_2", 2},
    {L"Failed to unzip the file. Please try again.\nErrorCode : L_3", 3},
    {L"The sever connection has been disconnected.\nErrorCode : L_4", 4},
    {L"An error has occurred while creating the directory.\nErrorCode : L_5", 5},
    {L"Failed to connect the server.\nErrorCode : L_6", 6},
    {L"Failed to delete the file.\nErrorCode : L_7", 7},
    {L"Unknown error.\nErrorCode : L_8", 8},
    {L"Cannot open the file.\n%s\nFileErrorCode : %d\nFile name:%s\nErrorCode : L_9", 9},
    {L"An error has occurred while unziping.\nErrorCode : L_10", 10},
    {L"Failed to read the cookies.\nErrorCode : L_12", 11},
    {L"Cannot find the patch URL.\nErrorCode : L_13", 12},
    {L"Not enough disk volume.\nFailed to unzip.\nErrorCode : L_14", 13},
    {L"Failed to download the file from the lack of disk volume.\nFile name:%s\nErrorCode : L_15", 14},
    {L"Failed to download the data.\nPlease check the internet connection.\nFile name:%s\nResult:%x\nErrorCode : L_16",
     15},
    {L"The execute parameter is not correct.\nErrorCode : L_17", 16},
    {L"Failed to execute. client already run.\nErrorCode : L_18", 17},
    {L"File error.\nFile name:%s\nErrorCode : L_19", 18},
    {L"Cannot open registry key.\nPlease reinstall.\nErrorCode : L_20", 19},
    {L"Cannot found run file name in registry infomation.\nPlease reinstall.\nErrorCode : L_21", 20},
    {L"Cannot refresh run file name in registry infomation.\nPlease reinstall.\nErrorCode : L_22", 21},
    {L"The specified file was not found.", 22},
    {L"The specified path was not found.", 23},
    {L"The operating system denied access to the specified file.", 24},
    {L"There was not enough memory to complete the operation.", 25},
    {L"A sharing violation occurred.", 26},
    {L"The file name association is incomplete or invalid.", 27},
    {L"The DDE transaction could not be completed because the request timed out.", 28},
    {L"The DDE transaction failed.", 29},
    {L"The DDE transaction could not be completed because other DDE transactions were being processed.", 30},
    {L"There is no application associated with the given file name extension. This error will also be "
     L"returned if you attempt to print a file that is not printable.",
     31},
    {L"The specified DLL was not found.", 32},
    {L"Everything for starting the game is ready.", 33},
    {L"%3d MB / Total %3d MB", 34},
    {L"Getting the file list\u2026", 35},
    {L"Checking the updater\u2026", 36},
    {L"Failed to download the patch list file. Retry download.", 37},
    {L"The patch server communication is bad.", 38},
    {L"Current file : %s", 39},
    {L"Receiving file", 40},
    {L"Total size", 41},
    {L"File check : %s", 42},
};
}  // namespace

const wchar_t* GetLauncherMessage(int32_t index) {
    if (index < 0 || index >= kLauncherMessageCount) return L"";
    return kMessages[index].text;
}

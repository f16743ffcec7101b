#pragma once
// The launcher's fixed message table (42 entries) and the texts for failed
// program starts.
#include <cstdint>
#include <string>

struct LauncherMessage {
    const wchar_t* text;
    int32_t id;
};

constexpr int32_t kLauncherMessageCount = 42;

// The entry's text, or "" for an index outside 0..41.
const wchar_t* GetLauncherMessage(int32_t index);

// Error code texts that follow entry 6 in a deletion report.
constexpr const wchar_t* kCodeLC1015 = L"CODE : LC_1015";
constexpr const wchar_t* kCodeLC1016 = L"CODE : LC_1016";
constexpr const wchar_t* kCodeLC1020 = L"CODE : LC_1020";
constexpr const wchar_t* kCodeLC1027 = L"CODE : LC_1027";
constexpr const wchar_t* kCodeLC1028 = L"CODE : LC_1028";
constexpr const wchar_t* kCodeLC1029 = L"CODE : LC_1029";
constexpr const wchar_t* kCodeLC1033 = L"CODE : LC_1033";
constexpr const wchar_t* kCodeLC1034 = L"CODE : LC_1034";
constexpr const wchar_t* kCodeLC1035 = L"CODE : LC_1035";
constexpr const wchar_t* kCodeLC9999 = L"CODE : LC_9999";

constexpr const wchar_t* kExecuteFailedFormat = L"File execute failed(%s) - %s";

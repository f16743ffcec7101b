#pragma once
// The notice page in the Win32 front-end: the system's web browser control,
// hosted through plain COM in a child window of its own, placed once and
// navigated once. The page's links, new windows and load errors are left to
// the control's default handling.
#include <windows.h>

#include <string>

struct IOleObject;
struct IWebBrowser2;
class BrowserSite;

class Win32NoticeBrowser {
public:
    // A child window of `parent` at `place` (the parent's client
    // coordinates), with the control id of the notice page, holding the
    // browser control; never moved or resized afterwards. Without a browser
    // control (none installed, or no COM apartment on this thread) the host
    // stays blank and the failure is logged.
    Win32NoticeBrowser(HWND parent, const RECT& place);
    ~Win32NoticeBrowser();
    Win32NoticeBrowser(const Win32NoticeBrowser&) = delete;
    Win32NoticeBrowser& operator=(const Win32NoticeBrowser&) = delete;

    // Starts loading `url`, past every cached copy, and returns at once.
    void Navigate(const std::wstring& url);
    HWND Host() const { return m_host; }

    static constexpr int kControlId = 1002;

private:
    bool CreateControl();

    HWND m_host = nullptr;
    bool m_ole = false;  // OleInitialize succeeded, to be balanced
    BrowserSite* m_site = nullptr;
    IOleObject* m_object = nullptr;
    IWebBrowser2* m_browser = nullptr;
};

#pragma once
// The notice page: an embedded web view placed once on the main window's
// fixed layout and navigated once. The page's own links, new-window requests
// and load errors are left to the web engine's default handling.
#include <gtk/gtk.h>

#include <string>

typedef struct _WebKitWebContext WebKitWebContext;
typedef struct _WebKitWebsiteDataManager WebKitWebsiteDataManager;

class NoticeBrowser {
public:
    // The web view as a child of `fixed` at (x, y), width x height; never
    // moved or resized afterwards.
    NoticeBrowser(GtkFixed* fixed, int x, int y, int width, int height);
    ~NoticeBrowser();
    NoticeBrowser(const NoticeBrowser&) = delete;
    NoticeBrowser& operator=(const NoticeBrowser&) = delete;

    // Starts loading `url` and returns at once; meant to be called once,
    // during the window's preparation.
    void Navigate(const std::wstring& url);
    GtkWidget* Widget() const { return m_view; }

private:
    WebKitWebsiteDataManager* m_dataManager = nullptr;
    WebKitWebContext* m_context = nullptr;
    GtkWidget* m_view = nullptr;  // a reference of our own, beside the layout's
};

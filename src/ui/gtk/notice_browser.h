#pragma once
// The notice page: a web view on the main window.
#include <gtk/gtk.h>

#include <string>

class NoticeBrowser {
public:
    // The web view as a child of `fixed` at (x, y), width x height; never
    // moved or resized afterwards.
    NoticeBrowser(GtkFixed* fixed, int x, int y, int width, int height);
    ~NoticeBrowser();
    NoticeBrowser(const NoticeBrowser&) = delete;
    NoticeBrowser& operator=(const NoticeBrowser&) = delete;

    void Navigate(const std::wstring& url);  // once, during preparation
    GtkWidget* Widget() const;

private:
    GtkWidget* m_view = nullptr;
};

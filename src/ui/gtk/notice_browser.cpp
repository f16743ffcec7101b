// Minimal web view so that the window links; the notice browser's own
// implementation replaces this file.
#include "ui/gtk/notice_browser.h"

#include <webkit2/webkit2.h>

#include "common/text_util.h"

NoticeBrowser::NoticeBrowser(GtkFixed* fixed, int x, int y, int width, int height) {
    WebKitWebsiteDataManager* data = webkit_website_data_manager_new_ephemeral();
    WebKitWebContext* context = webkit_web_context_new_with_website_data_manager(data);
    m_view = GTK_WIDGET(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", context, nullptr));
    g_object_unref(context);
    g_object_unref(data);
    gtk_widget_set_size_request(m_view, width, height);
    gtk_fixed_put(fixed, m_view, x, y);
    gtk_widget_show(m_view);
}

NoticeBrowser::~NoticeBrowser() = default;

void NoticeBrowser::Navigate(const std::wstring& url) {
    webkit_web_view_load_uri(WEBKIT_WEB_VIEW(m_view), text::ToUtf8(url).c_str());
}

GtkWidget* NoticeBrowser::Widget() const {
    return m_view;
}

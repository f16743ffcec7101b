#include "ui/gtk/notice_browser.h"

#include <webkit2/webkit2.h>

#include "util/text_util.h"

NoticeBrowser::NoticeBrowser(GtkFixed* fixed, int x, int y, int width, int height) {
    // Nothing is kept between runs (no disk cache, cookies or storage), so
    // the notice page is always fetched anew: the role of purging the URL
    // from the cache before navigating.
    m_dataManager = webkit_website_data_manager_new_ephemeral();
    m_context = webkit_web_context_new_with_website_data_manager(m_dataManager);
    // The page comes from the network; its renderer runs confined. Only a
    // test machine without user namespaces turns this off, through WebKit's
    // own environment variable, never the launcher.
    webkit_web_context_set_sandbox_enabled(m_context, TRUE);
    m_view = webkit_web_view_new_with_context(m_context);
    g_object_ref_sink(m_view);
    // A fixed child keeps its requested size: this is the view's one size.
    gtk_widget_set_size_request(m_view, width, height);
    gtk_fixed_put(fixed, m_view, x, y);
    gtk_widget_show(m_view);
}

NoticeBrowser::~NoticeBrowser() {
    // Takes the view off the layout if the window still stands, and ends its
    // web process; our reference keeps the object valid until then. A window
    // destroyed first has destroyed the view already.
    if (gtk_widget_get_parent(m_view)) gtk_widget_destroy(m_view);
    g_object_unref(m_view);
    g_object_unref(m_context);
    g_object_unref(m_dataManager);
}

void NoticeBrowser::Navigate(const std::wstring& url) {
    // Asynchronous: the page loads while the caller goes on.
    webkit_web_view_load_uri(WEBKIT_WEB_VIEW(m_view), text::ToUtf8(url).c_str());
}

#include "dialog_driver.h"

#include <gtk/gtk.h>

#include <sstream>

#include "widget_session.h"

bool DialogControl::Has(const std::string& state) const {
    std::stringstream all(states);
    std::string one;
    while (std::getline(all, one, ',')) {
        if (one == state) return true;
    }
    return false;
}

DialogDriver::DialogDriver(const std::string& dialogTitle, const std::vector<std::string>& steps) {
    const std::string script = std::string(QUON_SOURCE_DIR) + "/tests/gui/widgets/atspi_driver.py";
    // The system's interpreter: the AT-SPI bindings are Debian's.
    std::vector<const char*> argv{"/usr/bin/python3", script.c_str(), g_get_prgname(), dialogTitle.c_str()};
    for (const std::string& step : steps) argv.push_back(step.c_str());
    argv.push_back(nullptr);
    GError* error = nullptr;
    m_process = g_subprocess_newv(
        argv.data(), GSubprocessFlags(G_SUBPROCESS_FLAGS_STDOUT_PIPE | G_SUBPROCESS_FLAGS_STDERR_PIPE),
        &error);
    if (!m_process) {
        m_errors = error ? error->message : "the driver did not start";
        g_clear_error(&error);
        m_done = true;
        return;
    }
    g_subprocess_communicate_utf8_async(m_process, nullptr, nullptr, OnDone, this);
}

DialogDriver::~DialogDriver() {
    if (!m_process) return;
    if (!m_done) {
        g_subprocess_force_exit(m_process);
        RunLoopUntil([this] { return m_done; }, std::chrono::seconds(5));
    }
    g_object_unref(m_process);
}

void DialogDriver::OnDone(GObject* source, GAsyncResult* result, gpointer self) {
    auto* driver = static_cast<DialogDriver*>(self);
    char* out = nullptr;
    char* err = nullptr;
    g_subprocess_communicate_utf8_finish(G_SUBPROCESS(source), result, &out, &err, nullptr);
    driver->m_output = out ? out : "";
    driver->m_errors += err ? err : "";
    g_free(out);
    g_free(err);
    std::stringstream lines(driver->m_output);
    std::string line;
    std::vector<DialogControl> dump;
    while (std::getline(lines, line)) {
        if (line == "end") {
            driver->m_dumps.push_back(std::move(dump));
            dump.clear();
            continue;
        }
        std::stringstream fields(line);
        std::string kind, box;
        DialogControl control;
        std::getline(fields, kind, '\t');
        std::getline(fields, control.role, '\t');
        std::getline(fields, control.text, '\t');
        std::getline(fields, control.states, '\t');
        std::getline(fields, box, '\t');
        std::stringstream(box) >> control.x >> control.y >> control.width >> control.height;
        if (kind == "control") dump.push_back(control);
    }
    driver->m_done = true;
}

int DialogDriver::Finish(std::chrono::milliseconds timeout) {
    if (!RunLoopUntil([this] { return m_done; }, timeout)) return -1;
    if (!m_process) return -1;
    return g_subprocess_get_if_exited(m_process) ? g_subprocess_get_exit_status(m_process) : -1;
}

std::vector<DialogControl> DialogDriver::WithRole(const std::vector<DialogControl>& dump,
                                                  const std::string& role) {
    std::vector<DialogControl> found;
    for (const DialogControl& control : dump) {
        if (control.role == role) found.push_back(control);
    }
    return found;
}

unsigned CloseDialogAfter(const std::string& title, std::chrono::seconds timeout) {
    auto* wanted = new std::string(title);
    return g_timeout_add_seconds_full(
        G_PRIORITY_DEFAULT, static_cast<guint>(timeout.count()),
        [](gpointer data) -> gboolean {
            GList* windows = gtk_window_list_toplevels();
            for (GList* it = windows; it; it = it->next) {
                const char* name = gtk_window_get_title(GTK_WINDOW(it->data));
                if (GTK_IS_DIALOG(it->data) && name && *static_cast<std::string*>(data) == name)
                    gtk_dialog_response(GTK_DIALOG(it->data), GTK_RESPONSE_DELETE_EVENT);
            }
            g_list_free(windows);
            return G_SOURCE_REMOVE;
        },
        wanted, [](gpointer data) { delete static_cast<std::string*>(data); });
}

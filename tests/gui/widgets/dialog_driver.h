#pragma once
// Runs atspi_driver.py beside the test's own main loop: it waits for a dialog
// of this program, reads its controls through AT-SPI and clicks them with the
// pointer, while the dialog's modal loop runs in the test.
#include <gio/gio.h>

#include <chrono>
#include <string>
#include <vector>

struct DialogControl {
    std::string role;
    std::string text;
    std::string states;  // comma-separated: sensitive, checked, selected, showing, modal
    int x = 0, y = 0, width = 0, height = 0;
    bool Has(const std::string& state) const;
};

class DialogDriver {
public:
    DialogDriver(const std::string& dialogTitle, const std::vector<std::string>& steps);
    ~DialogDriver();
    // Waits (turning the main loop) for the driver to end; its exit status,
    // -1 when it did not end in time.
    int Finish(std::chrono::milliseconds timeout = std::chrono::seconds(20));

    // Every "dump" step's controls, in the dialog's tree order.
    const std::vector<std::vector<DialogControl>>& Dumps() const { return m_dumps; }
    const std::string& Errors() const { return m_errors; }

    // The controls of a dump with this role, in order.
    static std::vector<DialogControl> WithRole(const std::vector<DialogControl>& dump,
                                               const std::string& role);

private:
    static void OnDone(GObject* source, GAsyncResult* result, gpointer self);

    GSubprocess* m_process = nullptr;
    bool m_done = false;
    std::string m_output;
    std::string m_errors;
    std::vector<std::vector<DialogControl>> m_dumps;
};

// Ends the dialog titled `title` (as its close button would) if it still
// shows after `timeout`: a driver that fails must not leave the test hanging
// in the modal loop. Returns the timer's id, for g_source_remove.
unsigned CloseDialogAfter(const std::string& title, std::chrono::seconds timeout);

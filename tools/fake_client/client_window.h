#pragma once
// The stand-in client's main window, per OS; none when the class is empty.
#include <chrono>
#include <string>
#include <vector>

class ClientWindow {
public:
    explicit ClientWindow(const std::string& windowClass);
    ~ClientWindow();
    ClientWindow(const ClientWindow&) = delete;
    ClientWindow& operator=(const ClientWindow&) = delete;
    // Stays alive that long, the window shown (and, where the OS asks it, served).
    void Linger(std::chrono::milliseconds time) const;

private:
    void* m_handle = nullptr;
};

// The portable main, given the arguments in UTF-8 (the program's name aside).
int ClientMain(const std::vector<std::string>& args);

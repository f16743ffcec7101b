// The primary display adapter (DRM card, named from the PCI id database when
// it is installed) and the primary screen's size (X, when a display is there).
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>
#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <vector>

#include "util/text_util.h"
#include "os/posix/system_facts_posix.h"

namespace posix_facts {
namespace {
std::string FirstLine(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

std::string Hex4(const std::string& idText) {  // "0x10de" -> "10de"
    std::string id = idText.rfind("0x", 0) == 0 ? idText.substr(2) : idText;
    std::transform(id.begin(), id.end(), id.begin(), ::tolower);
    return id;
}

// "vendor device" from pci.ids: vendor lines start at column 0, their
// devices follow indented by one tab.
std::string PciName(const std::string& vendor, const std::string& device) {
    for (const char* db : {"/usr/share/misc/pci.ids", "/usr/share/hwdata/pci.ids", "/usr/share/pci.ids"}) {
        std::ifstream in(db);
        if (!in) continue;
        std::string vendorName;
        for (std::string line; std::getline(in, line);) {
            if (line.empty() || line[0] == '#') continue;
            if (line[0] != '\t') {
                if (!vendorName.empty()) break;
                if (line.rfind(vendor + "  ", 0) == 0) vendorName = line.substr(vendor.size() + 2);
            } else if (!vendorName.empty() && line.size() > 1 && line[1] != '\t' &&
                       line.rfind("\t" + device + "  ", 0) == 0) {
                return vendorName + " " + line.substr(device.size() + 3);
            }
        }
    }
    return {};
}

std::string AdapterName(const std::string& cardFolder) {
    const std::string device = cardFolder + "/device";
    char link[4096];
    const ssize_t n = readlink((device + "/driver").c_str(), link, sizeof(link) - 1);
    std::string driver = n > 0 ? std::string(link, n) : std::string();
    driver = driver.substr(driver.find_last_of('/') + 1);
    const std::string vendorId = Hex4(FirstLine(device + "/vendor"));
    const std::string deviceId = Hex4(FirstLine(device + "/device"));
    if (vendorId.empty() || deviceId.empty()) return driver;
    const std::string name = PciName(vendorId, deviceId);
    if (!name.empty()) return name;
    return (driver.empty() ? "PCI" : driver) + " [" + vendorId + ":" + deviceId + "]";
}
}  // namespace

bool PrimaryDisplayAdapter(const std::string& drmClassFolder, std::wstring& description) {
    std::vector<std::string> cards;
    if (DIR* dir = opendir(drmClassFolder.c_str())) {
        while (dirent* e = readdir(dir)) {
            const std::string name = e->d_name;
            // "card0", not its connectors ("card0-HDMI-A-1").
            if (name.rfind("card", 0) == 0 && name.size() > 4 &&
                name.find_first_not_of("0123456789", 4) == std::string::npos) {
                cards.push_back(drmClassFolder + "/" + name);
            }
        }
        closedir(dir);
    }
    if (cards.empty()) return false;
    std::sort(cards.begin(), cards.end(), [](const std::string& a, const std::string& b) {
        return a.size() != b.size() ? a.size() < b.size() : a < b;
    });
    // The firmware's boot display is the primary one; otherwise the first card.
    std::string primary = cards.front();
    for (const auto& card : cards) {
        if (FirstLine(card + "/device/boot_vga") == "1") {
            primary = card;
            break;
        }
    }
    description = text::FromUtf8(AdapterName(primary));
    return !description.empty();
}

void PrimaryScreenSize(int& width, int& height) {
    width = height = 0;
    Display* display = XOpenDisplay(nullptr);
    if (!display) return;
    const Window root = DefaultRootWindow(display);
    width = DisplayWidth(display, DefaultScreen(display));
    height = DisplayHeight(display, DefaultScreen(display));
    // With several monitors the primary output's mode is the primary screen.
    int eventBase = 0, errorBase = 0;
    if (XRRQueryExtension(display, &eventBase, &errorBase)) {
        XRRScreenResources* res = XRRGetScreenResourcesCurrent(display, root);
        const RROutput primary = XRRGetOutputPrimary(display, root);
        if (res && primary) {
            if (XRROutputInfo* output = XRRGetOutputInfo(display, res, primary)) {
                if (output->crtc) {
                    if (XRRCrtcInfo* crtc = XRRGetCrtcInfo(display, res, output->crtc)) {
                        if (crtc->width > 0 && crtc->height > 0) {
                            width = static_cast<int>(crtc->width);
                            height = static_cast<int>(crtc->height);
                        }
                        XRRFreeCrtcInfo(crtc);
                    }
                }
                XRRFreeOutputInfo(output);
            }
        }
        if (res) XRRFreeScreenResources(res);
    }
    XCloseDisplay(display);
}

}  // namespace posix_facts

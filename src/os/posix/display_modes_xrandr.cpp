// Display modes from X RandR: the primary output, or the first connected one
// when none is primary, with its modes in RandR's order. RandR modes have no
// colour depth of their own; on a 24- or 32-bit TrueColor screen they are
// all 32-bit modes.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xrandr.h>

#include <cmath>

#include "os/display_modes.h"

namespace {

struct DisplayCloser {
    void operator()(Display* d) const { XCloseDisplay(d); }
};
struct ResourcesFree {
    void operator()(XRRScreenResources* r) const { XRRFreeScreenResources(r); }
};
struct OutputFree {
    void operator()(XRROutputInfo* o) const { XRRFreeOutputInfo(o); }
};
using OutputPtr = std::unique_ptr<XRROutputInfo, OutputFree>;

uint32_t RefreshOf(const XRRModeInfo& mode) {
    double lines = mode.vTotal;
    if (mode.modeFlags & RR_DoubleScan) lines *= 2;
    if (mode.modeFlags & RR_Interlace) lines /= 2;
    if (mode.hTotal == 0 || lines == 0) return 0;
    return static_cast<uint32_t>(std::lround(mode.dotClock / (mode.hTotal * lines)));
}

class XRandrModeSource : public DisplayModeSource {
public:
    explicit XRandrModeSource(std::string displayName) : m_displayName(std::move(displayName)) {}

    bool GetModes(std::vector<DisplayMode>& modes) override {
        modes.clear();
        std::unique_ptr<Display, DisplayCloser> display(
            XOpenDisplay(m_displayName.empty() ? nullptr : m_displayName.c_str()));
        if (!display) return false;
        Display* dpy = display.get();
        int eventBase = 0, errorBase = 0, major = 0, minor = 0;
        if (!XRRQueryExtension(dpy, &eventBase, &errorBase) || !XRRQueryVersion(dpy, &major, &minor) ||
            major < 1 || (major == 1 && minor < 2))
            return false;

        const int screen = DefaultScreen(dpy);
        Visual* visual = DefaultVisual(dpy, screen);
        const int depth = DefaultDepth(dpy, screen);
        // Only a TrueColor screen of 24 or 32 bits offers 32-bit modes.
        if (!visual || visual->c_class != TrueColor || (depth != 24 && depth != 32)) return true;

        const Window root = RootWindow(dpy, screen);
        std::unique_ptr<XRRScreenResources, ResourcesFree> res(XRRGetScreenResources(dpy, root));
        if (!res) return false;

        OutputPtr chosen;
        const RROutput primary = XRRGetOutputPrimary(dpy, root);
        if (primary != None) {
            OutputPtr info(XRRGetOutputInfo(dpy, res.get(), primary));
            if (info && info->connection == RR_Connected) chosen = std::move(info);
        }
        for (int i = 0; !chosen && i < res->noutput; ++i) {
            OutputPtr info(XRRGetOutputInfo(dpy, res.get(), res->outputs[i]));
            if (info && info->connection == RR_Connected) chosen = std::move(info);
        }
        if (!chosen) return true;

        for (int i = 0; i < chosen->nmode; ++i) {
            for (int j = 0; j < res->nmode; ++j) {
                const XRRModeInfo& mode = res->modes[j];
                if (mode.id != chosen->modes[i]) continue;
                modes.push_back({mode.width, mode.height, RefreshOf(mode)});
                break;
            }
        }
        return true;
    }

private:
    std::string m_displayName;
};

}  // namespace

std::unique_ptr<DisplayModeSource> DisplayModeSource::Create(const std::string& displayName) {
    return std::make_unique<XRandrModeSource>(displayName);
}

#include "ui/win32/win32_notice_browser.h"

// <windows.h> first: the other system headers build on it.
// clang-format off
#include <windows.h>
#include <exdisp.h>
#include <ole2.h>
#include <wininet.h>
// clang-format on

#include "ui/win32/browser_site.h"
#include "util/custom_assert.h"

namespace {

constexpr wchar_t kHostClass[] = L"QuonNoticeHost";
constexpr wchar_t kEmulationKey[] =
    L"Software\\Microsoft\\Internet Explorer\\Main\\FeatureControl\\FEATURE_BROWSER_EMULATION";
// The control renders as the installed engine's own standards mode; left
// alone it would act as a browser of 2006.
constexpr DWORD kEmulationMode = 11001;

std::wstring OwnExecutableName() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    return path.substr(path.find_last_of(L"\\/") + 1);
}

// The mode is read per executable name when the engine loads; the value is
// written for this program's name only, so no other program changes.
void SetBrowserEmulation() {
    const std::wstring name = OwnExecutableName();
    HKEY key = nullptr;
    if (name.empty() ||
        RegCreateKeyExW(HKEY_CURRENT_USER, kEmulationKey, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE,
                        nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    DWORD mode = 0, type = 0, size = sizeof(mode);
    if (RegQueryValueExW(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&mode), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD || mode != kEmulationMode) {
        RegSetValueExW(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&kEmulationMode),
                       sizeof(kEmulationMode));
    }
    RegCloseKey(key);
}

void RegisterHostClass() {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    if (GetClassInfoExW(GetModuleHandleW(nullptr), kHostClass, &wc)) return;
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    // Blank, as a page that has not loaded.
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kHostClass;
    RegisterClassExW(&wc);
}

}  // namespace

Win32NoticeBrowser::Win32NoticeBrowser(HWND parent, const RECT& place) {
    RegisterHostClass();
    m_host = CreateWindowExW(0, kHostClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, place.left,
                             place.top, place.right - place.left, place.bottom - place.top, parent,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(kControlId)),
                             GetModuleHandleW(nullptr), nullptr);
    RT_ASSERT(!m_host, false, L"Win32NoticeBrowser::Win32NoticeBrowser",
              L"notice page host not created: error %lu", GetLastError());
    // The page is news beside the patching: without the control the
    // launcher goes on with a blank area.
    if (m_host) CreateControl();
}

bool Win32NoticeBrowser::CreateControl() {
    // The control needs a single-threaded apartment on the window's thread.
    const HRESULT init = OleInitialize(nullptr);
    m_ole = SUCCEEDED(init);
    RT_ASSERT(!m_ole, false, L"Win32NoticeBrowser::CreateControl", L"OleInitialize failed: 0x%08lX",
              static_cast<unsigned long>(init));
    if (!m_ole) return false;
    SetBrowserEmulation();

    HRESULT hr = CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                                  reinterpret_cast<void**>(&m_object));
    RT_ASSERT(FAILED(hr), false, L"Win32NoticeBrowser::CreateControl",
              L"web browser control not created: 0x%08lX", static_cast<unsigned long>(hr));
    if (FAILED(hr)) return false;
    m_site = new BrowserSite(m_host);
    RECT area;
    GetClientRect(m_host, &area);
    hr = m_object->SetClientSite(m_site);
    if (SUCCEEDED(hr)) hr = m_object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, m_site, 0, m_host, &area);
    if (SUCCEEDED(hr)) hr = m_object->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&m_browser));
    RT_ASSERT(FAILED(hr), false, L"Win32NoticeBrowser::CreateControl",
              L"web browser control not placed: 0x%08lX", static_cast<unsigned long>(hr));
    return SUCCEEDED(hr);
}

Win32NoticeBrowser::~Win32NoticeBrowser() {
    if (m_browser) {
        m_browser->Stop();
        m_browser->Release();
    }
    if (m_object) {
        IOleInPlaceObject* inPlace = nullptr;
        if (SUCCEEDED(m_object->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace)))) {
            inPlace->InPlaceDeactivate();
            inPlace->Release();
        }
        m_object->Close(OLECLOSE_NOSAVE);
        m_object->SetClientSite(nullptr);
        m_object->Release();
    }
    if (m_site) m_site->Release();
    if (m_host) DestroyWindow(m_host);
    if (m_ole) OleUninitialize();
}

void Win32NoticeBrowser::Navigate(const std::wstring& url) {
    // Any cached copy goes first: the page is fetched anew at every start,
    // whatever the server's caching headers say. A URL never cached changes
    // nothing.
    DeleteUrlCacheEntryW(url.c_str());
    if (!m_browser) return;
    VARIANT flags, none;
    VariantInit(&flags);
    VariantInit(&none);
    flags.vt = VT_I4;
    flags.lVal = navNoHistory | navNoReadFromCache | navNoWriteToCache;
    BSTR address = SysAllocStringLen(url.data(), static_cast<UINT>(url.size()));
    // Asynchronous: the page loads while the window goes on.
    const HRESULT hr = m_browser->Navigate(address, &flags, &none, &none, &none);
    SysFreeString(address);
    RT_ASSERT(FAILED(hr), false, L"Win32NoticeBrowser::Navigate", L"navigation not started: 0x%08lX",
              static_cast<unsigned long>(hr));
}

#pragma once
// The status callback handed to a download: its progress reports feed the
// owner's progress model and let the owner abort the transfer.
#include "os/url_download.h"

template <class Owner>
class cUrlDownLoadCallback : public IBindStatusCallback {
public:
    explicit cUrlDownLoadCallback(Owner* owner) : m_pOwner(owner) {}

    HRESULT QueryInterface() override { return E_NOTIMPL; }
    uint32_t AddRef() override { return 0; }  // lives on its creator's stack
    uint32_t Release() override { return 0; }
    HRESULT OnStartBinding() override { return S_OK; }
    HRESULT GetPriority() override { return E_NOTIMPL; }
    HRESULT OnLowResource() override { return E_NOTIMPL; }
    HRESULT OnProgress(uint32_t progress, uint32_t progressMax, uint32_t statusCode,
                       const wchar_t* statusText) override {
        if (statusCode == BINDSTATUS_OBJECTAVAILABLE) return E_ABORT;
        return m_pOwner->OnDownloadProgress(progress, progressMax, statusCode, statusText);
    }
    HRESULT OnStopBinding(HRESULT) override { return S_OK; }
    HRESULT GetBindInfo() override { return E_NOTIMPL; }
    HRESULT OnDataAvailable() override { return E_NOTIMPL; }
    HRESULT OnObjectAvailable() override { return E_NOTIMPL; }

private:
    Owner* m_pOwner;
};

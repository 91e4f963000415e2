#pragma once

#include "IOEAPIInit.h"
#include "IOEAPIObj.h"
#include "IOEIdentity.h"
#include "MailStore.h"

namespace velmora {

// The program's connection to the mail store. Opening a store is the store API's start, closing it the stop;
// without an open store the identity and the folder operations fail.
class StoreSession : public IOEAPIInit, public IOEIdentity, public IOEAPIObj, public IOEFolderManager
{
public:
    StoreSession() = default;
    ~StoreSession() override;

    // Closes the store open now (stop notification), then makes `store` current (start notification).
    void open(MailStorePtr store);
    void close();
    MailStorePtr store() const { return m_store; }

    int IsOEAPIActive() override;
    void setOnInitOEAPI(Notification handler) override;
    void setOnShutdownOEAPI(Notification handler) override;

    QString GetCurrentIdentity() override;
    void RemoveAllToolbars() override;

    OEFolderPtr GetFolder(OEId folderId) override;
    OEFolderPtr GetFirstFolder() override;

private:
    MailStore& current();

    MailStorePtr m_store;
    Notification m_onInit;
    Notification m_onShutdown;
};

} // namespace velmora

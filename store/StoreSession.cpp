#include "StoreSession.h"

namespace velmora {

StoreSession::~StoreSession()
{
    // Nobody listens any more while the session goes away.
    m_onShutdown = nullptr;
    m_store.reset();
}

void StoreSession::open(MailStorePtr store)
{
    close();
    m_store = std::move(store);
    if (m_store && m_onInit) {
        m_onInit();
    }
}

void StoreSession::close()
{
    if (!m_store) {
        return;
    }
    m_store.reset();
    if (m_onShutdown) {
        m_onShutdown();
    }
}

int StoreSession::IsOEAPIActive()
{
    return m_store ? 1 : 0;
}

void StoreSession::setOnInitOEAPI(Notification handler)
{
    m_onInit = std::move(handler);
}

void StoreSession::setOnShutdownOEAPI(Notification handler)
{
    m_onShutdown = std::move(handler);
}

QString StoreSession::GetCurrentIdentity()
{
    return current().identity();
}

void StoreSession::RemoveAllToolbars() { }

OEFolderPtr StoreSession::GetFolder(OEId folderId)
{
    return current().GetFolder(folderId);
}

OEFolderPtr StoreSession::GetFirstFolder()
{
    return current().GetFirstFolder();
}

MailStore& StoreSession::current()
{
    if (!m_store) {
        throw StoreError("No mail store is open");
    }
    return *m_store;
}

} // namespace velmora

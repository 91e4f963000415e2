#include "store/StoreSession.h"
#include "store/MemoryStore.h"

#include <gtest/gtest.h>

using namespace velmora;

TEST(StoreSession, OpeningIsTheStartAndClosingTheStop)
{
    StoreSession session;
    QStringList events;
    session.setOnInitOEAPI([&] { events << QStringLiteral("start ") + session.GetCurrentIdentity(); });
    session.setOnShutdownOEAPI([&] { events << QStringLiteral("stop"); });

    EXPECT_EQ(session.IsOEAPIActive(), 0);
    EXPECT_THROW(session.GetCurrentIdentity(), StoreError);
    EXPECT_THROW(session.GetFirstFolder(), StoreError);

    session.open(MemoryStore::create(QStringLiteral("Root"), QStringLiteral("/mail/a")));
    EXPECT_EQ(session.IsOEAPIActive(), 1);
    EXPECT_EQ(session.GetFirstFolder()->GetName(), QStringLiteral("Root"));
    session.open(MemoryStore::create(QStringLiteral("Root"), QStringLiteral("/mail/b")));
    session.close();
    session.close();
    EXPECT_EQ(events,
              (QStringList { QStringLiteral("start /mail/a"), QStringLiteral("stop"), QStringLiteral("start /mail/b"),
                             QStringLiteral("stop") }));
}

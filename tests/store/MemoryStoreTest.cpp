#include "store/MemoryStore.h"

#include <gtest/gtest.h>

using namespace velmora;

namespace {

QStringList childNames(IOEFolder& folder)
{
    QStringList names;
    for (auto child = folder.GetFirstChild(); child; child = folder.GetNextChild()) {
        names << child->GetName();
    }
    return names;
}

QStringList subjects(IOEFolder& folder)
{
    QStringList result;
    for (auto m = folder.GetFirstMessage(); m; m = folder.GetNextMessage()) {
        result << m->GetSubject();
    }
    return result;
}

} // namespace

TEST(MemoryStore, WalksFoldersAndMessagesOfTheObjectCalled)
{
    auto store = MemoryStore::create(QStringLiteral("Root"));
    const OEId inbox = store->addFolder(store->rootId(), QStringLiteral("Inbox"));
    store->addFolder(store->rootId(), QStringLiteral("Sent Items"));
    store->addFolder(inbox, QStringLiteral("Work"));
    store->addMessage(inbox, { .subject = QStringLiteral("one") });
    store->addMessage(inbox, { .subject = QStringLiteral("two") });

    auto root = store->GetFirstFolder();
    ASSERT_TRUE(root);
    EXPECT_EQ(root->GetName(), QStringLiteral("Root"));
    EXPECT_EQ(childNames(*root), (QStringList { QStringLiteral("Inbox"), QStringLiteral("Sent Items") }));
    auto inboxFolder = store->GetFolder(inbox);
    EXPECT_EQ(childNames(*inboxFolder), QStringList { QStringLiteral("Work") });
    EXPECT_EQ(subjects(*inboxFolder), (QStringList { QStringLiteral("one"), QStringLiteral("two") }));
    EXPECT_EQ(inboxFolder->GetMessageCount(), 2);
    EXPECT_EQ(store->GetFolder(9999), nullptr);
    // Creation times follow the order of adding.
    auto first = inboxFolder->GetFirstMessage();
    auto second = inboxFolder->GetNextMessage();
    EXPECT_LT(first->GetCreationTime(), second->GetCreationTime());
    EXPECT_EQ(inboxFolder->GetMessage(second->GetID())->GetSubject(), QStringLiteral("two"));
}

TEST(MemoryStore, FailsOnDemand)
{
    auto store = MemoryStore::create();
    const OEId a = store->addMessage(store->rootId(), { .subject = QStringLiteral("a") });
    const OEId b = store->addMessage(store->rootId(), { .subject = QStringLiteral("b") });
    store->failOn(StoreOp::GetSubject, a, Failure::Throw);
    store->failOn(StoreOp::GetSubject, b, Failure::Nothing);
    EXPECT_THROW(store->messageHandle(a)->GetSubject(), StoreError);
    EXPECT_EQ(store->messageHandle(b)->GetSubject(), QString());
    store->failOn(StoreOp::GetFirstMessage, store->rootId(), Failure::Nothing);
    EXPECT_EQ(store->GetFirstFolder()->GetFirstMessage(), nullptr);
    store->failOn(StoreOp::GetFolder, 0, Failure::Throw);
    EXPECT_THROW(store->GetFolder(store->rootId()), StoreError);
    store->clearFailures();
    EXPECT_EQ(store->messageHandle(a)->GetSubject(), QStringLiteral("a"));
}

TEST(MemoryStore, RecordsDeleteAndMoves)
{
    auto store = MemoryStore::create();
    const OEId inbox = store->addFolder(store->rootId(), QStringLiteral("Inbox"));
    const OEId a = store->addMessage(inbox, { .subject = QStringLiteral("a") });
    const OEId b = store->addMessage(inbox, { .subject = QStringLiteral("b") });
    const OEId c = store->addMessage(inbox, { .subject = QStringLiteral("c") });
    store->failOn(StoreOp::Delete, c);

    store->messageHandle(a)->Delete(1);
    store->messageHandle(b)->Delete(0);
    EXPECT_THROW(store->messageHandle(c)->Delete(1), StoreError);
    EXPECT_THROW(store->messageHandle(a)->Delete(1), StoreError); // already gone

    EXPECT_FALSE(store->hasMessage(a));
    const auto trash = store->findFolder(QStringLiteral("Deleted Items"));
    ASSERT_TRUE(trash);
    EXPECT_EQ(store->folderOf(b), trash);
    EXPECT_EQ(store->messageIds(inbox), std::vector<OEId> { c });
    ASSERT_EQ(store->deleteCalls().size(), 4u);
    EXPECT_EQ(store->deleteCalls()[0].flag, 1);
    EXPECT_EQ(store->deleteCalls()[1].flag, 0);
    EXPECT_TRUE(store->deleteCalls()[1].succeeded);
    EXPECT_FALSE(store->deleteCalls()[2].succeeded);
}

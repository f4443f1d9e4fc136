// Browse containers against a scripted player: how a container reaches its place before it
// lists, and how children are named.
#include "rcp/rcp_container.h"

#include <gtest/gtest.h>

#include "rcp/rcp_lists.h"
#include "rcp/testdata/scripted_session.h"

namespace velk {
namespace {

using testing::ListReply;
using testing::OkReply;
using testing::ScriptedSession;
using testing::ValueReply;

using Lines = std::vector<std::string>;

std::string PathReply(std::string_view path)
{
    return ValueReply("GetCurrentContainerPath", path) + OkReply("GetCurrentContainerPath");
}

TEST(RcpContainer, ChildrenAreListedOnFirstUseFromTheirPlace)
{
    ScriptedSession player({
        {"GetCurrentContainerPath", PathReply("/")},
        {"ListContainerContents", ListReply("ListContainerContents", {"Artists", "Albums"})},
        {"ContainerEnter 1", OkReply("ContainerEnter")},
    });
    std::shared_ptr<IRCPContainer> root;
    ASSERT_EQ(MakeRootContainer(player.session(), root), S_OK);
    std::string name;
    std::int32_t id = 0;
    root->get_FullName(name);
    root->get_ID(id);
    EXPECT_EQ(name, "/");
    EXPECT_EQ(id, CRCPContainer::kRootId);
    EXPECT_EQ(player.Sent(), Lines{});

    std::shared_ptr<IRCPContainer> albums;
    ASSERT_EQ(root->Item(Variant(1), albums), S_OK);
    EXPECT_EQ(player.Sent(), (Lines{"GetCurrentContainerPath", "ListContainerContents "}));
    albums->get_FullName(name);
    albums->get_ID(id);
    EXPECT_EQ(name, "/Albums");
    EXPECT_EQ(id, 1);

    player.Forget();
    std::shared_ptr<IRCPContainer> grandchild;
    ASSERT_EQ(albums->Item(Variant(0), grandchild), S_OK);
    EXPECT_EQ(player.Sent(),
              (Lines{"GetCurrentContainerPath", "ContainerEnter 1", "ListContainerContents "}));
    grandchild->get_FullName(name);
    EXPECT_EQ(name, "/Albums/Artists");

    // Listed once: counting again sends nothing.
    player.Forget();
    std::int32_t count = 0;
    EXPECT_EQ(albums->get_Count(count), S_OK);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(player.Sent(), Lines{});
}

TEST(RcpContainer, ClimbsToTheRootButNotForEver)
{
    ScriptedSession player({
        {"GetCurrentContainerPath", PathReply("/Artists")},
        {"ContainerExit", OkReply("ContainerExit")},
    });
    std::shared_ptr<IRCPContainer> root;
    ASSERT_EQ(MakeRootContainer(player.session(), root), S_OK);
    std::int32_t count = 0;
    EXPECT_EQ(root->get_Count(count), E_UNEXPECTED);

    player.Reply("ContainerExit", ValueReply("ContainerExit", "CommandDispatchError"));
    std::shared_ptr<IEnumRCPSong> songs;
    EXPECT_EQ(root->get_Songs(songs), E_RCP_COMMAND_DISPATCH_ERROR);
}

} // namespace
} // namespace velk

// The mail view's key table at each level, its EXIT rule, and the cursor kept within what
// exists and on screen; the display geometry it draws with.
#include "providers/mail/mail_view.h"

#include <gtest/gtest.h>

#include "providers/mail/mail_geometry.h"

namespace velk {
namespace {

using K = VelkRemoteKeys;

struct Cursor {
    MailLevel level;
    std::size_t account;
    std::uint32_t message;
    std::uint32_t first_message;
    std::size_t first_line;
    bool operator==(const Cursor&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Cursor& c)
{
    return out << "{level " << static_cast<int>(c.level) << ", account " << c.account << ", message "
               << c.message << ", first " << c.first_message << ", line " << c.first_line << "}";
}

MailView ViewAt(const Cursor& c, std::size_t lines = 0)
{
    MailView view;
    view.level = c.level;
    view.account = c.account;
    view.message = c.message;
    view.first_message = c.first_message;
    view.first_line = c.first_line;
    view.lines.assign(lines, "line");
    view.lines_of = std::make_pair(c.account, c.message);
    return view;
}

Cursor CursorOf(const MailView& view)
{
    return {view.level, view.account, view.message, view.first_message, view.first_line};
}

constexpr auto A = MailLevel::Accounts;
constexpr auto M = MailLevel::Messages;
constexpr auto T = MailLevel::Text;

TEST(MailViewTest, EachLevelFollowsItsKeyTable)
{
    // Three accounts with 10, 23 and no known count; 4 lines a screen; texts of 6 lines.
    const std::vector<std::int64_t> counts = {10, 23, -1};
    struct Case {
        const char* name;
        Cursor before;
        K key;
        Cursor after;
        MailKey result;
    };
    const Case cases[] = {
        {"accounts: down to the next account", {A, 0, 5, 3, 0}, K::CK_SOUTH, {A, 1, 1, 1, 0}, MailKey::Acted},
        {"accounts: down stops at the last", {A, 2, 1, 1, 0}, K::CK_SOUTH, {A, 2, 1, 1, 0}, MailKey::Acted},
        {"accounts: up to the newest message of the one before", {A, 2, 1, 1, 0}, K::CK_NORTH, {A, 1, 23, 20, 0}, MailKey::Acted},
        {"accounts: up stops at the first", {A, 0, 1, 1, 0}, K::CK_NORTH, {A, 0, 1, 1, 0}, MailKey::Acted},
        {"accounts: east opens the messages", {A, 1, 7, 5, 0}, K::CK_EAST, {M, 1, 1, 1, 0}, MailKey::Acted},
        {"accounts: select opens the messages", {A, 0, 1, 1, 0}, K::CK_SELECT, {M, 0, 1, 1, 0}, MailKey::Acted},
        {"accounts: exit is accepted", {A, 0, 1, 1, 0}, K::CK_EXIT, {A, 0, 1, 1, 0}, MailKey::Accepted},
        {"accounts: west is accepted", {A, 0, 1, 1, 0}, K::CK_WEST, {A, 0, 1, 1, 0}, MailKey::Accepted},
        {"accounts: other keys are the player's", {A, 0, 1, 1, 0}, K::CK_PLAY, {A, 0, 1, 1, 0}, MailKey::Ignored},
        {"messages: down, the list follows", {M, 0, 4, 1, 0}, K::CK_SOUTH, {M, 0, 5, 2, 0}, MailKey::Acted},
        {"messages: down stops at the count", {M, 0, 10, 7, 0}, K::CK_SOUTH, {M, 0, 10, 7, 0}, MailKey::Acted},
        {"messages: up, the list follows", {M, 0, 5, 5, 0}, K::CK_NORTH, {M, 0, 4, 4, 0}, MailKey::Acted},
        {"messages: up stops at 1", {M, 0, 1, 1, 0}, K::CK_NORTH, {M, 0, 1, 1, 0}, MailKey::Acted},
        {"messages: an unknown count keeps message 1", {M, 2, 1, 1, 0}, K::CK_SOUTH, {M, 2, 1, 1, 0}, MailKey::Acted},
        {"messages: select opens the text", {M, 0, 3, 1, 0}, K::CK_SELECT, {T, 0, 3, 1, 0}, MailKey::Acted},
        {"messages: no text without messages", {M, 2, 1, 1, 0}, K::CK_EAST, {M, 2, 1, 1, 0}, MailKey::Acted},
        {"messages: exit goes back, not accepted", {M, 0, 3, 1, 0}, K::CK_EXIT, {A, 0, 3, 1, 0}, MailKey::Acted},
        {"messages: west goes back", {M, 0, 3, 1, 0}, K::CK_WEST, {A, 0, 3, 1, 0}, MailKey::Acted},
        {"text: down scrolls", {T, 0, 3, 1, 0}, K::CK_SOUTH, {T, 0, 3, 1, 1}, MailKey::Acted},
        {"text: down stops with the last line on screen", {T, 0, 3, 1, 2}, K::CK_SOUTH, {T, 0, 3, 1, 2}, MailKey::Acted},
        {"text: up scrolls", {T, 0, 3, 1, 2}, K::CK_NORTH, {T, 0, 3, 1, 1}, MailKey::Acted},
        {"text: up stops at the first line", {T, 0, 3, 1, 0}, K::CK_NORTH, {T, 0, 3, 1, 0}, MailKey::Acted},
        {"text: select changes nothing", {T, 0, 3, 1, 1}, K::CK_SELECT, {T, 0, 3, 1, 1}, MailKey::Acted},
        {"text: exit goes back, not accepted", {T, 0, 3, 1, 1}, K::CK_EXIT, {M, 0, 3, 1, 1}, MailKey::Acted},
        {"text: other keys are the player's", {T, 0, 3, 1, 1}, K::CK_MENU, {T, 0, 3, 1, 1}, MailKey::Ignored},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MailView view = ViewAt(c.before, 6);
        bool changed = false;
        EXPECT_EQ(view.OnKey(c.key, counts, 4, changed), c.result);
        EXPECT_EQ(CursorOf(view), c.after);
        EXPECT_EQ(changed, !(c.before == c.after));
    }
}

TEST(MailViewTest, OneAccountStartsAtItsMessages)
{
    EXPECT_EQ(MailView::Start(1).level, MailLevel::Messages);
    EXPECT_EQ(MailView::Start(2).level, MailLevel::Accounts);
    const MailView view = MailView::Start(3);
    EXPECT_EQ(CursorOf(view), (Cursor{A, 0, 1, 1, 0}));
}

TEST(MailViewTest, OpeningAnotherMessageDropsTheLinesOfTheLastOne)
{
    MailView view = ViewAt({M, 0, 3, 1, 0}, 6);
    view.first_line = 4;
    bool changed = false;
    view.OnKey(K::CK_SOUTH, std::vector<std::int64_t>{10}, 4, changed);
    view.OnKey(K::CK_SELECT, std::vector<std::int64_t>{10}, 4, changed);
    EXPECT_EQ(view.level, MailLevel::Text);
    EXPECT_TRUE(view.lines.empty());
    EXPECT_FALSE(view.lines_of);
    EXPECT_EQ(view.first_line, 0u);
}

TEST(MailViewTest, ACountThatShrankPullsTheCursorBack)
{
    MailView view = ViewAt({M, 0, 9, 6, 0});
    view.KeepOnScreen(2, 4);
    EXPECT_EQ(CursorOf(view), (Cursor{M, 0, 2, 2, 0}));
}

TEST(MailGeometryTest, EveryPlayerGetsAtLeastOneLineOfAtLeastOneCharacter)
{
    struct Case {
        int font;
        int height;
        const char* type;
        MailGeometry geometry;
    };
    const Case cases[] = {
        {1, 32, "Large VFD", {1, 8, 4, 51}},
        {2, 32, "large vfd", {2, 16, 2, 51}},
        {3, 32, "Small VFD", {3, 32, 1, 28}},
        {10, 16, "Small VFD Direct", {2, 16, 1, 28}},
        {14, 32, "Small and Tall VFD Direct", {2, 16, 2, 28}},
        {7, 32, "String", {7, 16, 2, 4}},
        {0, 32, "LCD", {1, 8, 4, 4}},
        {99, 8, "Hologram", {2, 16, 1, 28}},
        {-5, 0, "", {1, 8, 1, 28}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.font) + " " + c.type);
        const MailGeometry g = GeometryFor(c.font, c.height, c.type);
        EXPECT_EQ(g.font, c.geometry.font);
        EXPECT_EQ(g.line_height, c.geometry.line_height);
        EXPECT_EQ(g.lines_per_screen, c.geometry.lines_per_screen);
        EXPECT_EQ(g.wrap_width, c.geometry.wrap_width);
    }
}

} // namespace
} // namespace velk

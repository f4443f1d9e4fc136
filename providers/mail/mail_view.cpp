#include "providers/mail/mail_view.h"

#include <algorithm>
#include <tuple>

namespace velk {

namespace {

using Cursor = std::tuple<MailLevel, std::size_t, std::uint32_t, std::uint32_t, std::size_t>;

Cursor CursorOf(const MailView& view)
{
    return {view.level, view.account, view.message, view.first_message, view.first_line};
}

// The highest message number that can be current: 1 when there are none (or none known).
std::uint32_t LastMessage(std::int64_t count)
{
    return count < 1 ? 1u : static_cast<std::uint32_t>(std::min<std::int64_t>(count, UINT32_MAX));
}

} // namespace

MailView MailView::Start(std::size_t accounts)
{
    MailView view;
    if (accounts == 1)
        view.level = MailLevel::Messages;
    return view;
}

MailKey MailView::OnKey(VelkRemoteKeys key, std::span<const std::int64_t> counts,
                        int lines_per_screen, bool& changed)
{
    if (counts.empty())
        return MailKey::Ignored;
    const Cursor before = CursorOf(*this);
    const auto page = static_cast<std::uint32_t>(std::max(1, lines_per_screen));
    const bool up = key == VelkRemoteKeys::CK_NORTH;
    const bool down = key == VelkRemoteKeys::CK_SOUTH;
    const bool back = key == VelkRemoteKeys::CK_WEST || key == VelkRemoteKeys::CK_EXIT;
    const bool into = key == VelkRemoteKeys::CK_EAST || key == VelkRemoteKeys::CK_SELECT;
    MailKey result = (up || down || back || into) ? MailKey::Acted : MailKey::Ignored;
    const std::size_t accounts = counts.size();
    account = std::min(account, accounts - 1);

    switch (level) {
    case MailLevel::Accounts:
        if (up && account > 0) {
            // The account before, at its newest message, the list at the page that holds it.
            --account;
            message = LastMessage(counts[account]);
            first_message = std::max(1u, message / page * page);
        } else if (down && account + 1 < accounts) {
            ++account;
            message = 1;
            first_message = 1;
        } else if (back) {
            result = MailKey::Accepted;
        } else if (into) {
            level = MailLevel::Messages;
            message = 1;
            first_message = 1;
        }
        break;
    case MailLevel::Messages:
        if (up && message > 1)
            --message;
        else if (down)
            message = std::min(message + 1, LastMessage(counts[account]));
        else if (back)
            level = MailLevel::Accounts;
        else if (into && counts[account] >= 1)
            level = MailLevel::Text;
        break;
    case MailLevel::Text:
        if (up && first_line > 0)
            --first_line;
        else if (down && first_line + page < lines.size())
            ++first_line;
        else if (back)
            level = MailLevel::Messages;
        break;
    }
    const std::int64_t count = counts[account];
    KeepOnScreen(count, lines_per_screen);
    if (level == MailLevel::Text && (!lines_of || lines_of->first != account || lines_of->second != message)) {
        lines.clear();
        lines_of.reset();
        first_line = 0;
    }
    changed = CursorOf(*this) != before;
    return result;
}

void MailView::KeepOnScreen(std::int64_t count, int lines_per_screen)
{
    const auto page = static_cast<std::uint32_t>(std::max(1, lines_per_screen));
    message = std::clamp(message, 1u, LastMessage(count));
    if (first_message > message)
        first_message = message;
    if (message - first_message >= page)
        first_message = message - page + 1;
    first_message = std::max(first_message, 1u);
}

} // namespace velk

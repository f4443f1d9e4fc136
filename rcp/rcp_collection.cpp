#include "rcp/rcp_collection.h"

#include <algorithm>
#include <new>

#include "rcp/rcp_reply_values.h"
#include "rcp/rcp_session.h"

namespace velk {

namespace {

constexpr std::string_view kListSizeWord = "ListResultSize";
// The player's count is only a hint: a wrong or hostile one must not reserve gigabytes.
constexpr std::size_t kMaxReservedItems = 65536;

} // namespace

HRESULT ListNames(CRCPSession& session, std::string_view word,
                  std::optional<std::string_view> argument,
                  const std::function<void(std::size_t expected)>& reserve,
                  const std::function<void(std::int32_t position, std::string_view name)>& add)
{
    std::int32_t position = 0;
    return session.List(
        word,
        [&](std::string_view line, std::int32_t index) -> HRESULT {
            try {
                if (index == 0 && line.starts_with(kListSizeWord)) {
                    // "ListResultSize" and a blank, then the count.
                    const auto expected =
                        ParseDecimal(line.substr(std::min(line.size(), kListSizeWord.size() + 1)));
                    if (expected && *expected > 0)
                        reserve(std::min<std::size_t>(static_cast<std::size_t>(*expected),
                                                      kMaxReservedItems));
                    return S_OK;
                }
                if (position == std::numeric_limits<std::int32_t>::max())
                    return S_OK;
                add(position++, line);
                return S_OK;
            } catch (const std::bad_alloc&) {
                return E_OUTOFMEMORY;
            }
        },
        argument);
}

HRESULT RepeatList(CRCPSession& session, std::string_view word)
{
    return ListNames(
        session, word, {}, [](std::size_t) {}, [](std::int32_t, std::string_view) {});
}

} // namespace velk

#include "shell/velk_menu.h"

#include "shell/shell_strings.h"
#include "shell/telnet_window.h"

namespace velk {

namespace {

// The verb table: one entry, "&Telnet" at offset 0 with a separator after it.
struct Verb {
    unsigned offset;
    const char* text;
    const char* verb;
    const char* help;
    bool separator_after;
};

constexpr Verb kVerbs[] = {
    {0, shell_text::kTelnetMenuText, shell_text::kTelnetVerb, shell_text::kTelnetHelp, true},
};

const Verb* VerbAt(unsigned offset)
{
    for (const Verb& verb : kVerbs) {
        if (verb.offset == offset)
            return &verb;
    }
    return nullptr;
}

} // namespace

HRESULT CVelkMenu::Initialize(const std::shared_ptr<IDataObject>& data_object)
{
    if (!data_object)
        return E_INVALIDARG;
    data_object_ = data_object;
    return S_OK;
}

HRESULT CVelkMenu::QueryContextMenu(ContextMenu& menu, std::size_t index, unsigned first_id,
                                    unsigned last_id, unsigned flags)
{
    if ((flags & CMF_DEFAULTONLY) != 0)
        return S_FALSE;
    if (!data_object_)
        return E_FAIL;
    const bool shown = data_object_->Items().size() == 1 && (flags & CMF_EXTENDEDVERBS) != 0;
    HRESULT inserted = 0;
    bool telnet_inserted = false;
    for (const Verb& verb : kVerbs) {
        const unsigned id = first_id + verb.offset;
        if (shown && id <= last_id) {
            menu.Insert(index + static_cast<std::size_t>(inserted), {id, verb.text, false, false});
            ++inserted;
            telnet_inserted = true;
        }
        if (verb.separator_after) {
            menu.Insert(index + static_cast<std::size_t>(inserted), {0, {}, true, false});
            ++inserted;
        }
    }
    if (telnet_inserted)
        menu.default_command = first_id;
    return inserted;
}

HRESULT CVelkMenu::InvokeCommand(const InvokeCommandInfo& info)
{
    const unsigned* offset = std::get_if<unsigned>(&info.verb);
    if (!offset || *offset != 0 || !data_object_)
        return E_FAIL;
    PlayerIdentity player;
    if (FAILED(IdentifyPlayer(data_object_.get(), player)))
        return E_FAIL;
    OpenTelnetWindow(player, info.owner);
    return S_OK;
}

HRESULT CVelkMenu::GetCommandString(unsigned offset, unsigned type, std::string& text)
{
    const Verb* verb = VerbAt(offset);
    if (!verb)
        return E_INVALIDARG;
    if (type == GCS_VERB)
        text = verb->verb;
    else if (type == GCS_HELPTEXT)
        text = verb->help;
    return S_OK;
}

} // namespace velk

// The texts that the news-feed module's pages and messages share.
#pragma once

namespace velk {

// The caption of the module's message boxes.
inline constexpr const char* kRssCaption = "Velk RSS/Atom Newsfeed";
// The add-feed wizard's caption and its pages' header title.
inline constexpr const char* kRssWizardTitle = "RSS/Atom Newsfeed Wizard";
// Asked for by the title page and a feed's sheet.
inline constexpr const char* kTitleMissing = "You must provide a title for the news feed";

} // namespace velk

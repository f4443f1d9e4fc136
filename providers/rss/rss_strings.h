// The texts that the news-feed module's pages and messages share.
#pragma once

namespace velk {

// The caption of the module's message boxes.
inline constexpr const char* kRssCaption = "Velk RSS/Atom Newsfeed";
// The add-feed wizard's caption and its pages' header title.
inline constexpr const char* kRssWizardTitle = "RSS/Atom Newsfeed Wizard";

} // namespace velk

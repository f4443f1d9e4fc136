// The caller-ID provider's texts, by their numbers in the provider's resources.
#pragma once

namespace velk::tapi {

inline constexpr const char* kTitle = "Velk Caller ID Server";                       // 100
inline constexpr const char* kUnknownCaller = "Unknown Caller";                      // 101
inline constexpr const char* kTextFilesFilter = "Text Files (*.TXT *.txt)";          // 102
inline constexpr const char* kFileNameNeeded =
    "You must provide a filename if you want to do file logging";                    // 103
inline constexpr const char* kOpenFailed =
    "The Velk Data Service attempted to open %s and the operating system returned the following "
    "error: %s";                                                                       // 104
inline constexpr const char* kNumberColumn = "Number";                               // 105
inline constexpr const char* kNameColumn = "Name";                                   // 106
inline constexpr const char* kDeleteOne =
    "Are you sure you want to delete %s from the list of numbers?";                  // 107
inline constexpr const char* kDeleteSeveral = "Are you sure you want to delete these numbers?"; // 108
inline constexpr const char* kOverwrite =
    "This number is already mapped to a name. Do you want to overwrite it?";         // 109

// The pages and their dialogs.
inline constexpr const char* kLogPageTitle = "Call logging";
inline constexpr const char* kLogToFileText = "Log calls to a text file";
inline constexpr const char* kLogToEventLogText = "Log calls to the event log";
inline constexpr const char* kPauseText = "Pause music when call detected";
inline constexpr const char* kBrowseText = "&Browse...";
inline constexpr const char* kAllDevicesNote = "(Please note the above will apply to all devices)";
inline constexpr const char* kLookupPageTitle = "Number lookup";
inline constexpr const char* kTranslateGroup = "Translate Telephone numbers using:";
inline constexpr const char* kStoreLocally = "Store them locally";
inline constexpr const char* kDatabaseQuery = "A query to a database";
inline constexpr const char* kMailboxSource = "A mail box address book";
inline constexpr const char* kEditNumbersText = "Edit Numbers";
inline constexpr const char* kConfigureText = "Configure...";
inline constexpr const char* kEditNumbersTitle = "Edit Numbers";
inline constexpr const char* kAddText = "Add...";
inline constexpr const char* kEditText = "Edit...";
inline constexpr const char* kDeleteText = "Delete...";
inline constexpr const char* kInsertAddressTitle = "Insert Address";
inline constexpr const char* kNumberLabel = "Telephone Number:";
inline constexpr const char* kNameLabel = "Displayed Name:";
inline constexpr const char* kSaveFailed = "The numbers could not be written to %s.";

} // namespace velk::tapi

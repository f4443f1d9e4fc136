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

} // namespace velk::tapi

// The texts of the mail provider's pages, named once.
#pragma once

namespace velk {

inline constexpr const char* kMailCaption = "Velk Mail Service";
inline constexpr const char* kMailServersTitle = "Mail Servers";
inline constexpr const char* kNameColumn = "Name";
inline constexpr const char* kTypeColumn = "Type";
inline constexpr const char* kPop3Type = "POP3";
inline constexpr const char* kAddWizardTitle = "Add Mail Server";
inline constexpr const char* kServerTypeTitle = "Select Server Type";
inline constexpr const char* kServerTypeHeader = "Server Type";
inline constexpr const char* kServerTypeSubtitle =
    "You can choose the type of server to display on your Velk Melodeck.";
inline constexpr const char* kPop3PageTitle = "POP3 Server";
inline constexpr const char* kPop3Header = "Internet E-mail Settings (POP3)";
inline constexpr const char* kPop3Subtitle =
    "Each of these settings are required to get your email account working.";
inline constexpr const char* kConfirmDelete = "Are you sure you want to delete this mail server?";
inline constexpr const char* kServerRequired = "Please enter the incoming mail server.";
inline constexpr const char* kCertificateUnreadable =
    "The trusted certificate is not a PEM certificate.";

} // namespace velk

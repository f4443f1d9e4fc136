// Encrypts secrets (player and mail passwords) for the machine, as CryptProtectData does in
// local-machine scope: whatever one account protects, the service's account can unprotect on
// the same machine, and no other machine can. The key is a file of 32 random bytes beside the
// machine hive, mode 0600, created on first use (with its folder, which only its owner may
// write: see folder.h). Any thread; every call reads the key file.
#pragma once

#include <string.h>

#include <cstdint>
#include <filesystem>
#include <span>
#include <string_view>
#include <vector>

#include "platform/hresult.h"

namespace velk {

class DataProtection {
public:
    static constexpr const char* kKeyFileName = "machine.key";

    // The machine's key: in $VELK_REGISTRY_DIR when set, otherwise in /var/lib/velk.
    DataProtection();
    // The key of another folder (tests, tools that work on a copied hive).
    explicit DataProtection(const std::filesystem::path& key_folder);

    // Encrypts data into blob (a version byte, the nonce, the sealed data). The same entropy
    // (may be empty) must be given to Unprotect. Creates the key file when there is none.
    HRESULT Protect(std::span<const std::uint8_t> data, std::span<const std::uint8_t> entropy,
                    std::vector<std::uint8_t>& blob) const;

    // HRESULT_FROM_WIN32(ERROR_INVALID_DATA) for a blob that is damaged, sealed with other
    // entropy or by another machine, HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) when the machine
    // has no key yet; data is only written on success.
    HRESULT Unprotect(std::span<const std::uint8_t> blob, std::span<const std::uint8_t> entropy,
                      std::vector<std::uint8_t>& data) const;

    const std::filesystem::path& key_path() const { return key_path_; }

    static std::filesystem::path DefaultKeyFolder();

private:
    std::filesystem::path key_path_;
};

// Text as the bytes that Protect and Unprotect take.
inline std::span<const std::uint8_t> BytesOf(std::string_view text)
{
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// Clears a secret, so that it does not stay behind in freed memory.
template <typename Container> void WipeSecret(Container& secret)
{
    explicit_bzero(secret.data(), secret.size() * sizeof(secret[0]));
}

} // namespace velk

#include "platform/data_protection.h"

#include <fcntl.h>
#include <sodium.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <new>

#include "platform/folder.h"

namespace velk {

namespace {

constexpr HRESULT kInvalidData = HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
constexpr std::uint8_t kBlobVersion = 1;
constexpr std::size_t kKeyBytes = crypto_aead_xchacha20poly1305_ietf_KEYBYTES;
constexpr std::size_t kNonceBytes = crypto_aead_xchacha20poly1305_ietf_NPUBBYTES;
constexpr std::size_t kTagBytes = crypto_aead_xchacha20poly1305_ietf_ABYTES;
constexpr const char* kDefaultKeyFolder = "/var/lib/velk";

// The key in memory, wiped when it goes out of scope.
struct MachineKey {
    std::array<std::uint8_t, kKeyBytes> bytes{};
    MachineKey() = default;
    MachineKey(const MachineKey&) = delete;
    MachineKey& operator=(const MachineKey&) = delete;
    ~MachineKey() { sodium_memzero(bytes.data(), bytes.size()); }
};

bool SodiumReady()
{
    static const bool ready = sodium_init() >= 0;
    return ready;
}

// The associated data that ties a blob to its format version and the caller's entropy.
std::vector<std::uint8_t> AssociatedData(std::span<const std::uint8_t> entropy)
{
    std::vector<std::uint8_t> data(1 + entropy.size());
    data[0] = kBlobVersion;
    std::copy(entropy.begin(), entropy.end(), data.begin() + 1);
    return data;
}

HRESULT ReadKey(const std::filesystem::path& path, MachineKey& key)
{
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return HResultFromErrno(errno);
    // One byte more than a key, to see a file that is longer than one.
    std::array<std::uint8_t, kKeyBytes + 1> buffer{};
    std::size_t filled = 0;
    int error = 0;
    while (filled < buffer.size()) {
        const ssize_t got = read(fd, buffer.data() + filled, buffer.size() - filled);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            error = errno;
        if (got <= 0)
            break;
        filled += static_cast<std::size_t>(got);
    }
    close(fd);
    std::copy_n(buffer.begin(), kKeyBytes, key.bytes.begin());
    sodium_memzero(buffer.data(), buffer.size());
    if (error != 0)
        return error == EISDIR ? kInvalidData : HResultFromErrno(error);
    return filled == kKeyBytes ? S_OK : kInvalidData;
}

// Writes a new random key under a temporary name and links it to the key's name, so that of
// processes racing on first use exactly one key wins and all of them then read that one. When
// root creates it in a folder that belongs to the service's account, the key belongs to that
// account too, or the service could not read what the administrator protected.
HRESULT CreateKey(const std::filesystem::path& path)
{
    const auto folder = path.parent_path();
    const HRESULT created = CreateFolder(folder, false);
    if (FAILED(created))
        return created;
    struct stat folder_status;
    if (stat(folder.c_str(), &folder_status) != 0)
        return HResultFromErrno(errno);

    std::string temp = path.string() + ".XXXXXX";
    const int fd = mkostemp(temp.data(), O_CLOEXEC); // mode 0600
    if (fd < 0)
        return HResultFromErrno(errno);
    MachineKey key;
    randombytes_buf(key.bytes.data(), key.bytes.size());
    HRESULT hr = S_OK;
    if (geteuid() == 0 && folder_status.st_uid != 0 &&
        fchown(fd, folder_status.st_uid, folder_status.st_gid) != 0)
        hr = HResultFromErrno(errno);
    if (SUCCEEDED(hr) &&
        (write(fd, key.bytes.data(), key.bytes.size()) != static_cast<ssize_t>(key.bytes.size()) ||
         fsync(fd) != 0))
        hr = HResultFromErrno(errno);
    if (close(fd) != 0 && SUCCEEDED(hr))
        hr = HResultFromErrno(errno);
    if (SUCCEEDED(hr) && link(temp.c_str(), path.c_str()) != 0 && errno != EEXIST)
        hr = HResultFromErrno(errno);
    unlink(temp.c_str());
    if (FAILED(hr))
        return hr;
    // A key lost in a crash would make every stored password unreadable: make the name durable.
    const int folder_fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder_fd >= 0) {
        fsync(folder_fd);
        close(folder_fd);
    }
    return S_OK;
}

template <typename Work> HRESULT Guarded(Work work)
{
    if (!SodiumReady())
        return E_FAIL;
    try {
        return work();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

} // namespace

DataProtection::DataProtection() : DataProtection(DefaultKeyFolder()) {}

DataProtection::DataProtection(const std::filesystem::path& key_folder)
    : key_path_(key_folder / kKeyFileName)
{
}

std::filesystem::path DataProtection::DefaultKeyFolder()
{
    const char* folder = std::getenv("VELK_REGISTRY_DIR");
    return folder && *folder ? folder : kDefaultKeyFolder;
}

HRESULT DataProtection::Protect(std::span<const std::uint8_t> data,
                                std::span<const std::uint8_t> entropy,
                                std::vector<std::uint8_t>& blob) const
{
    return Guarded([&] {
        MachineKey key;
        HRESULT hr = ReadKey(key_path_, key);
        if (hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)) {
            hr = CreateKey(key_path_);
            if (SUCCEEDED(hr))
                hr = ReadKey(key_path_, key);
        }
        if (FAILED(hr))
            return hr;

        std::vector<std::uint8_t> sealed(1 + kNonceBytes + data.size() + kTagBytes);
        sealed[0] = kBlobVersion;
        std::uint8_t* nonce = sealed.data() + 1;
        randombytes_buf(nonce, kNonceBytes);
        const auto associated = AssociatedData(entropy);
        unsigned long long sealed_size = 0;
        if (crypto_aead_xchacha20poly1305_ietf_encrypt(
                nonce + kNonceBytes, &sealed_size, data.data(), data.size(), associated.data(),
                associated.size(), nullptr, nonce, key.bytes.data()) != 0)
            return E_FAIL;
        blob = std::move(sealed);
        return S_OK;
    });
}

HRESULT DataProtection::Unprotect(std::span<const std::uint8_t> blob,
                                  std::span<const std::uint8_t> entropy,
                                  std::vector<std::uint8_t>& data) const
{
    return Guarded([&] {
        if (blob.size() < 1 + kNonceBytes + kTagBytes || blob[0] != kBlobVersion)
            return kInvalidData;
        MachineKey key;
        HRESULT hr = ReadKey(key_path_, key);
        if (FAILED(hr))
            return hr;

        const auto nonce = blob.subspan(1, kNonceBytes);
        const auto sealed = blob.subspan(1 + kNonceBytes);
        const auto associated = AssociatedData(entropy);
        std::vector<std::uint8_t> plain(sealed.size() - kTagBytes);
        unsigned long long plain_size = 0;
        if (crypto_aead_xchacha20poly1305_ietf_decrypt(
                plain.data(), &plain_size, nullptr, sealed.data(), sealed.size(), associated.data(),
                associated.size(), nonce.data(), key.bytes.data()) != 0)
            return kInvalidData;
        data = std::move(plain);
        return S_OK;
    });
}

} // namespace velk

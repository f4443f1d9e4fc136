#include "providers/mail/pop3_transport.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <arpa/inet.h>

#include <cerrno>
#include <memory>

namespace velk {

namespace {

constexpr std::size_t kReceiveChunk = 4096;

std::string LastTlsError()
{
    const unsigned long code = ERR_get_error();
    ERR_clear_error();
    if (code == 0)
        return "the connection broke off";
    char text[256];
    ERR_error_string_n(code, text, sizeof text);
    return text;
}

// Adds the certificates of PEM text to the store; false when it holds none that can be read.
bool AddTrusted(X509_STORE* store, std::string_view pem)
{
    std::unique_ptr<BIO, decltype(&BIO_free)> bio(
        BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())), BIO_free);
    if (!bio)
        return false;
    int added = 0;
    while (X509* certificate = PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr)) {
        if (X509_STORE_add_cert(store, certificate) == 1)
            ++added;
        X509_free(certificate);
    }
    ERR_clear_error(); // the end of the text reads as an error
    return added > 0;
}

} // namespace

Pop3Transport::~Pop3Transport()
{
    Close();
}

void Pop3Transport::Close()
{
    if (ssl_) {
        SSL_free(ssl_);
        ssl_ = nullptr;
    }
    if (context_) {
        SSL_CTX_free(context_);
        context_ = nullptr;
    }
    if (socket_ >= 0) {
        close(socket_);
        socket_ = -1;
    }
}

HRESULT Pop3Transport::Fail(HRESULT hr, std::string message)
{
    error_ = std::move(message);
    return hr;
}

HRESULT Pop3Transport::Connect(const std::string& host, std::uint16_t port, std::uint32_t timeout_ms)
{
    Close();
    host_ = host;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    if (getaddrinfo(host.c_str(), service.c_str(), &hints, &found) != 0 || !found)
        return Fail(E_MAIL_UNREACHABLE, "The mail server " + host + " is not known.");
    std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> results(found, freeaddrinfo);

    socket_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (socket_ < 0)
        return Fail(E_MAIL_UNREACHABLE, "No socket for the mail server " + host + ".");
    const Deadline deadline(timeout_ms);
    const std::string where = host + " port " + service;
    if (connect(socket_, found->ai_addr, found->ai_addrlen) != 0) {
        if (errno != EINPROGRESS)
            return Fail(E_MAIL_UNREACHABLE, "The mail server " + where + " could not be reached.");
        HRESULT hr = WaitReady(true, deadline, "connecting to " + where);
        if (FAILED(hr))
            return hr;
        int error = 0;
        socklen_t length = sizeof error;
        if (getsockopt(socket_, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0)
            return Fail(E_MAIL_UNREACHABLE, "The mail server " + where + " could not be reached.");
    }
    const int one = 1;
    setsockopt(socket_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return S_OK;
}

HRESULT Pop3Transport::WaitReady(bool write, const Deadline& deadline, std::string_view what)
{
    for (;;) {
        pollfd fds[2] = {{socket_, static_cast<short>(write ? POLLOUT : POLLIN), 0},
                         {stop_.fd(), POLLIN, 0}};
        const std::uint32_t remaining = deadline.RemainingMs();
        const int ready = poll(fds, 2, static_cast<int>(std::min<std::uint32_t>(remaining, 1u << 30)));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0)
            return Fail(E_MAIL_CLOSED, "Waiting for the mail server failed.");
        if (fds[1].revents != 0)
            return Fail(E_ABORT, "Stopped while " + std::string(what) + ".");
        if (fds[0].revents != 0)
            return S_OK;
        if (deadline.Expired())
            return Fail(E_MAIL_TIMEOUT, "The mail server " + host_ + " did not answer in time (" +
                                            std::string(what) + ").");
    }
}

HRESULT Pop3Transport::TlsStep(int result, const Deadline& deadline, std::string_view what)
{
    if (result > 0)
        return S_OK;
    switch (SSL_get_error(ssl_, result)) {
    case SSL_ERROR_WANT_READ: {
        HRESULT hr = WaitReady(false, deadline, what);
        return FAILED(hr) ? hr : S_FALSE;
    }
    case SSL_ERROR_WANT_WRITE: {
        HRESULT hr = WaitReady(true, deadline, what);
        return FAILED(hr) ? hr : S_FALSE;
    }
    case SSL_ERROR_ZERO_RETURN:
        return Fail(E_MAIL_CLOSED, "The mail server " + host_ + " closed the connection.");
    default:
        return Fail(E_MAIL_TLS, "TLS with " + host_ + " failed: " + LastTlsError() + ".");
    }
}

HRESULT Pop3Transport::StartTls(const std::string& host, std::string_view trusted_pem,
                                std::uint32_t timeout_ms)
{
    context_ = SSL_CTX_new(TLS_client_method());
    if (!context_)
        return Fail(E_OUTOFMEMORY, "No TLS context.");
    SSL_CTX_set_min_proto_version(context_, TLS1_2_VERSION);
    SSL_CTX_set_verify(context_, SSL_VERIFY_PEER, nullptr);
    SSL_CTX_set_default_verify_paths(context_);
    if (!trusted_pem.empty() && !AddTrusted(SSL_CTX_get_cert_store(context_), trusted_pem))
        return Fail(E_MAIL_UNTRUSTED, "The trusted certificate of the account " + host +
                                          " cannot be read.");
    ssl_ = SSL_new(context_);
    if (!ssl_ || SSL_set_fd(ssl_, socket_) != 1)
        return Fail(E_OUTOFMEMORY, "No TLS session.");
    // The name checked: an address is matched against the certificate's addresses.
    in_addr address{};
    X509_VERIFY_PARAM* param = SSL_get0_param(ssl_);
    if (inet_pton(AF_INET, host.c_str(), &address) == 1) {
        X509_VERIFY_PARAM_set1_ip_asc(param, host.c_str());
    } else {
        SSL_set_tlsext_host_name(ssl_, host.c_str());
        SSL_set1_host(ssl_, host.c_str());
    }

    const Deadline deadline(timeout_ms);
    for (;;) {
        ERR_clear_error();
        HRESULT hr = TlsStep(SSL_connect(ssl_), deadline, "starting TLS");
        if (hr == S_OK)
            return S_OK;
        if (hr == S_FALSE)
            continue;
        const long verified = SSL_get_verify_result(ssl_);
        if (verified != X509_V_OK)
            return Fail(E_MAIL_UNTRUSTED, "The certificate of the mail server " + host +
                                              " is not trusted: " +
                                              X509_verify_cert_error_string(verified) + ".");
        return hr;
    }
}

HRESULT Pop3Transport::Send(std::string_view bytes, const Deadline& deadline)
{
    while (!bytes.empty()) {
        if (ssl_) {
            ERR_clear_error();
            const int sent = SSL_write(ssl_, bytes.data(), static_cast<int>(bytes.size()));
            HRESULT hr = TlsStep(sent, deadline, "sending");
            if (FAILED(hr))
                return hr;
            if (hr == S_OK)
                bytes.remove_prefix(static_cast<std::size_t>(sent));
            continue;
        }
        const ssize_t sent = ::send(socket_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(sent));
            continue;
        }
        if (sent < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
            return Fail(E_MAIL_CLOSED, "The mail server " + host_ + " closed the connection.");
        HRESULT hr = WaitReady(true, deadline, "sending");
        if (FAILED(hr))
            return hr;
    }
    return S_OK;
}

HRESULT Pop3Transport::Receive(std::string& bytes, const Deadline& deadline)
{
    char chunk[kReceiveChunk];
    for (;;) {
        if (ssl_) {
            ERR_clear_error();
            const int got = SSL_read(ssl_, chunk, sizeof chunk);
            HRESULT hr = TlsStep(got, deadline, "reading a reply");
            if (FAILED(hr))
                return hr;
            if (hr == S_OK) {
                bytes.append(chunk, static_cast<std::size_t>(got));
                return S_OK;
            }
            continue;
        }
        const ssize_t got = ::recv(socket_, chunk, sizeof chunk, 0);
        if (got > 0) {
            bytes.append(chunk, static_cast<std::size_t>(got));
            return S_OK;
        }
        if (got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR))
            return Fail(E_MAIL_CLOSED, "The mail server " + host_ + " closed the connection.");
        HRESULT hr = WaitReady(false, deadline, "reading a reply");
        if (FAILED(hr))
            return hr;
    }
}

} // namespace velk

#include "HostileServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <set>
#include <stdexcept>
#include <vector>

#include "Tls.h"

namespace AliCloudWrapper {
namespace {

// A peer that neither reads nor writes for this long is given up.
constexpr int SOCKET_TIMEOUT_SEC = 20;
// A test's client opens a handful; more means a client that reconnects in a loop.
constexpr int MAX_CONNECTIONS = 64;
// Request heads larger than this are not requests of our client.
constexpr size_t MAX_HEAD_BYTES = 1 << 20;

struct SSslCtxDeleter {
  void operator()(SSL_CTX* p) const { SSL_CTX_free(p); }
};
struct SSslDeleter {
  void operator()(SSL* p) const { SSL_free(p); }
};

class CFd {
 public:
  explicit CFd(int nFd = -1) : m_nFd(nFd) {}
  ~CFd() { Reset(); }
  CFd(const CFd&) = delete;
  CFd& operator=(const CFd&) = delete;
  int Get() const { return m_nFd; }
  void Reset(int nFd = -1) {
    if (m_nFd >= 0) ::close(m_nFd);
    m_nFd = nFd;
  }

 private:
  int m_nFd;
};

class CPlainConnection : public HostileServer::Connection {
 public:
  explicit CPlainConnection(int nFd) : m_nFd(nFd) {}
  std::string ReadRequest() override;
  bool Send(const std::string& strBytes) override {
    size_t nDone = 0;
    while (nDone < strBytes.size()) {
      const int n = Write(strBytes.data() + nDone, strBytes.size() - nDone);
      if (n <= 0) return false;
      nDone += static_cast<size_t>(n);
    }
    return true;
  }

 protected:
  virtual int Read(char* p, size_t n) { return static_cast<int>(::recv(m_nFd, p, n, 0)); }
  virtual int Write(const char* p, size_t n) {
    return static_cast<int>(::send(m_nFd, p, n, MSG_NOSIGNAL));
  }
  int m_nFd;
  std::string m_strPending;  // bytes read beyond the last request
};

std::string CPlainConnection::ReadRequest() {
  char buf[4096];
  size_t nEnd;
  while ((nEnd = m_strPending.find("\r\n\r\n")) == std::string::npos) {
    if (m_strPending.size() > MAX_HEAD_BYTES) return std::string();
    const int n = Read(buf, sizeof buf);
    if (n <= 0) return std::string();
    m_strPending.append(buf, static_cast<size_t>(n));
  }
  std::string strHead = m_strPending.substr(0, nEnd + 4);
  m_strPending.erase(0, nEnd + 4);
  // Drop a body announced by Content-Length (the metadata token PUT has none).
  const size_t nLength = strHead.find("Content-Length: ");
  size_t nBody = nLength == std::string::npos ? 0 : std::strtoul(strHead.c_str() + nLength + 16, nullptr, 10);
  while (m_strPending.size() < nBody && nBody <= MAX_HEAD_BYTES) {
    const int n = Read(buf, sizeof buf);
    if (n <= 0) return std::string();
    m_strPending.append(buf, static_cast<size_t>(n));
  }
  m_strPending.erase(0, std::min(nBody, m_strPending.size()));
  return strHead;
}

class CTlsConnection : public CPlainConnection {
 public:
  CTlsConnection(int nFd, SSL* pSsl) : CPlainConnection(nFd), m_pSsl(pSsl) {}

 private:
  int Read(char* p, size_t n) override { return SSL_read(m_pSsl, p, static_cast<int>(n)); }
  int Write(const char* p, size_t n) override { return SSL_write(m_pSsl, p, static_cast<int>(n)); }
  SSL* m_pSsl;
};

}  // namespace

struct HostileServer::SImpl {
  CFd listener;
  std::unique_ptr<SSL_CTX, SSslCtxDeleter> pTls;
  std::mutex mutex;
  std::set<int> setOpenFds;  // connections in hand, shut down by the destructor
  std::vector<std::thread> vecThreads;
  std::atomic<bool> bStopping{false};
};

uint64_t HostileServer::Connection::SendRepeatedly(const std::string& strChunk, int nPauseMs,
                                                   uint64_t nMaxBytes, int nMaxSeconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(nMaxSeconds);
  uint64_t nSent = 0;
  while (nSent < nMaxBytes && std::chrono::steady_clock::now() < deadline) {
    if (!Send(strChunk)) break;
    nSent += strChunk.size();
    if (nPauseMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(nPauseMs));
  }
  return nSent;
}

HostileServer::HostileServer(Script script, bool bTls)
    : m_pImpl(std::make_unique<SImpl>()), m_script(std::move(script)) {
  // OpenSSL writes to the socket with plain write(): a client that has gone
  // would end the test program with SIGPIPE instead of a failed Send.
  std::signal(SIGPIPE, SIG_IGN);
  if (bTls) {
    const AcwEmulator::TlsMaterial material = AcwEmulator::MakeTlsMaterial(AcwEmulator::WellKnownRegions());
    m_pImpl->pTls.reset(SSL_CTX_new(TLS_server_method()));
    BIO* pCert = BIO_new_mem_buf(material.serverCertPem.data(), static_cast<int>(material.serverCertPem.size()));
    BIO* pKey = BIO_new_mem_buf(material.serverKeyPem.data(), static_cast<int>(material.serverKeyPem.size()));
    X509* pX509 = PEM_read_bio_X509(pCert, nullptr, nullptr, nullptr);
    EVP_PKEY* pPkey = PEM_read_bio_PrivateKey(pKey, nullptr, nullptr, nullptr);
    const bool bOk = pX509 && pPkey && SSL_CTX_use_certificate(m_pImpl->pTls.get(), pX509) == 1 &&
                     SSL_CTX_use_PrivateKey(m_pImpl->pTls.get(), pPkey) == 1;
    X509_free(pX509);
    EVP_PKEY_free(pPkey);
    BIO_free(pCert);
    BIO_free(pKey);
    if (!bOk) throw std::runtime_error("hostile server: TLS set-up failed");
    char szPath[] = "/tmp/acw-hostile-ca-XXXXXX";
    const int nFd = mkstemp(szPath);
    if (nFd < 0) throw std::runtime_error("hostile server: cannot write the CA file");
    ::close(nFd);
    std::ofstream(szPath) << material.caPem;
    m_strCaFile = szPath;
  }
  m_pImpl->listener.Reset(::socket(AF_INET, SOCK_STREAM, 0));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t nLength = sizeof address;
  if (m_pImpl->listener.Get() < 0 ||
      ::bind(m_pImpl->listener.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(m_pImpl->listener.Get(), 16) != 0 ||
      ::getsockname(m_pImpl->listener.Get(), reinterpret_cast<sockaddr*>(&address), &nLength) != 0) {
    throw std::runtime_error("hostile server: cannot listen on 127.0.0.1");
  }
  m_nPort = ntohs(address.sin_port);
  m_thread = std::thread([this] { Serve(); });
}

HostileServer::~HostileServer() {
  m_pImpl->bStopping = true;
  ::shutdown(m_pImpl->listener.Get(), SHUT_RDWR);
  if (m_thread.joinable()) m_thread.join();
  {
    std::lock_guard<std::mutex> lock(m_pImpl->mutex);
    for (const int nFd : m_pImpl->setOpenFds) ::shutdown(nFd, SHUT_RDWR);
  }
  for (std::thread& thread : m_pImpl->vecThreads) thread.join();
  if (!m_strCaFile.empty()) std::remove(m_strCaFile.c_str());
}

namespace {

// Counts each request the script reads.
class CCounting : public HostileServer::Connection {
 public:
  CCounting(Connection& inner, std::atomic<int>& nRequests) : m_inner(inner), m_nRequests(nRequests) {}
  std::string ReadRequest() override {
    std::string strHead = m_inner.ReadRequest();
    if (!strHead.empty()) ++m_nRequests;
    return strHead;
  }
  bool Send(const std::string& strBytes) override { return m_inner.Send(strBytes); }

 private:
  Connection& m_inner;
  std::atomic<int>& m_nRequests;
};

}  // namespace

// Each connection gets a thread of its own, so a client that leaves one
// connection hanging and opens another is served; at most MAX_CONNECTIONS.
void HostileServer::Serve() {
  while (!m_pImpl->bStopping && m_nConnections < MAX_CONNECTIONS) {
    const int nFd = ::accept(m_pImpl->listener.Get(), nullptr, nullptr);
    if (nFd < 0) break;
    ++m_nConnections;
    const timeval timeout{SOCKET_TIMEOUT_SEC, 0};
    ::setsockopt(nFd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    ::setsockopt(nFd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    std::lock_guard<std::mutex> lock(m_pImpl->mutex);
    m_pImpl->setOpenFds.insert(nFd);
    m_pImpl->vecThreads.emplace_back([this, nFd] { ServeOne(nFd); });
  }
}

void HostileServer::ServeOne(int nFd) {
  CFd connection(nFd);
  if (m_pImpl->pTls) {
    std::unique_ptr<SSL, SSslDeleter> pSsl(SSL_new(m_pImpl->pTls.get()));
    SSL_set_fd(pSsl.get(), nFd);
    if (SSL_accept(pSsl.get()) == 1) {
      CTlsConnection tls(nFd, pSsl.get());
      CCounting counting(tls, m_nRequests);
      m_script(counting);
      SSL_shutdown(pSsl.get());
    }
  } else {
    CPlainConnection plain(nFd);
    CCounting counting(plain, m_nRequests);
    m_script(counting);
  }
  std::lock_guard<std::mutex> lock(m_pImpl->mutex);
  m_pImpl->setOpenFds.erase(nFd);
}

std::string HostileServer::Answer(const std::string& strBody, int nStatus,
                                  const std::string& strExtraHeaders) {
  return "HTTP/1.1 " + std::to_string(nStatus) + " Whatever\r\nContent-Type: application/json\r\n" +
         "Content-Length: " + std::to_string(strBody.size()) + "\r\n" + strExtraHeaders + "\r\n" + strBody;
}

std::string HostileServer::QueryParam(const std::string& strHead, const std::string& strName) {
  const size_t nLineEnd = strHead.find("\r\n");
  const std::string strLine = strHead.substr(0, nLineEnd);
  for (const char cLead : {'?', '&'}) {
    const size_t nAt = strLine.find(std::string(1, cLead) + strName + "=");
    if (nAt == std::string::npos) continue;
    const size_t nStart = nAt + strName.size() + 2;
    const size_t nStop = strLine.find_first_of("& ", nStart);
    return strLine.substr(nStart, nStop - nStart);
  }
  return std::string();
}

}  // namespace AliCloudWrapper

// A server on 127.0.0.1 that answers the way a broken or hostile server would:
// each accepted connection is handed to a script that reads requests and
// writes whatever bytes it likes (an endless body, a slow drip, bytes after
// the answer, a redirect). Plain HTTP, or TLS with a certificate for the
// service host names from a CA of its own (CaFile()).
//
// Every loop a script runs must be bounded: the helpers below stop once the
// client has gone, and each socket gives up on a peer that stops reading.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace AliCloudWrapper {

class HostileServer {
 public:
  // One accepted connection as the script sees it.
  class Connection {
   public:
    virtual ~Connection() = default;
    // The next request's head (request line and headers, up to the blank
    // line; a body announced by Content-Length is read and dropped). Empty
    // when the client closed or sent nothing within the socket's time-out.
    virtual std::string ReadRequest() = 0;
    // False once the client is gone or has stopped reading.
    virtual bool Send(const std::string& strBytes) = 0;
    // Sends strChunk again and again, every nPauseMs milliseconds, until the
    // client goes, nMaxBytes are out or nMaxSeconds have passed. Bytes sent.
    uint64_t SendRepeatedly(const std::string& strChunk, int nPauseMs, uint64_t nMaxBytes,
                            int nMaxSeconds);
  };
  using Script = std::function<void(Connection&)>;

  HostileServer(Script script, bool bTls);
  // Closes the listener and the connection in hand, and joins the server thread.
  ~HostileServer();
  HostileServer(const HostileServer&) = delete;
  HostileServer& operator=(const HostileServer&) = delete;

  uint16_t Port() const { return m_nPort; }
  // The PEM file of the CA that signed the TLS certificate (TLS servers only).
  const std::string& CaFile() const { return m_strCaFile; }
  // Connections accepted and requests read so far.
  int Connections() const { return m_nConnections.load(); }
  int Requests() const { return m_nRequests.load(); }

  // "HTTP/1.1 <status> ..." with the headers a JSON answer has, and body.
  static std::string Answer(const std::string& strBody, int nStatus = 200,
                            const std::string& strExtraHeaders = "");
  // The value of a query parameter in a request head read by ReadRequest
  // (still percent-encoded); empty when absent.
  static std::string QueryParam(const std::string& strHead, const std::string& strName);

  struct SImpl;

 private:
  void Serve();
  void ServeOne(int nFd);

  std::unique_ptr<SImpl> m_pImpl;
  Script m_script;
  uint16_t m_nPort = 0;
  std::string m_strCaFile;
  std::atomic<int> m_nConnections{0};
  std::atomic<int> m_nRequests{0};
  std::thread m_thread;
};

}  // namespace AliCloudWrapper

// The simulated host's Unix socket: one thread per connection, so that a
// caller blocked in a condition wait stalls nobody else.
#pragma once

#include <atomic>
#include <list>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <sys/types.h>

namespace ScmSim {

class HostSim;

/// Accepts connections and serves host calls and control commands on them.
class HostServer {
 public:
  HostServer(HostSim& host, std::string path);
  ~HostServer();
  /// Binds (replacing a stale socket file) and starts accepting; throws std::runtime_error.
  void Start();
  /// Closes every connection, joins every thread, removes the socket file.
  void Stop();

 private:
  struct Connection {
    int fd = -1;                    ///< connected socket
    pid_t pid = 0;                  ///< peer process
    std::thread thread;             ///< serving thread
    std::atomic<bool> done{false};  ///< the thread has finished
  };
  void AcceptLoop();
  void ServeConnection(Connection* c);
  bool HandleFrame(Connection* c, const std::vector<uint8_t>& body);
  void ReapFinished();

  HostSim& host_;                   ///< the host served
  std::string path_;                ///< socket path
  int listenFd_ = -1;               ///< listening socket
  int wakeFd_ = -1;                 ///< eventfd that wakes the accept loop to stop
  std::thread acceptThread_;        ///< runs AcceptLoop
  std::mutex mutex_;                ///< guards connections_ and stopping_
  std::list<Connection> connections_;  ///< live and finished connections
  bool stopping_ = false;           ///< Stop() began
};

}  // namespace ScmSim

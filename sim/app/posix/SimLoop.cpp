// quadrelle-sim's loop on POSIX: one poll over the slot's socket, standard input, the control
// socket and its clients; SIGINT and SIGTERM end it.
#include "SimLoop.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "clock.h"
#include "posix/ControlSocket.h"

namespace {

volatile std::sig_atomic_t g_stop = 0;

void OnSignal(int) {
  g_stop = 1;
}

// Collects bytes into lines.
class LineReader {
 public:
  explicit LineReader(int fd) : fd_(fd) {}
  int fd() const { return fd_; }
  // Reads what is there; false at end of input or on an error.
  bool Read(std::vector<std::string>& lines) {
    char buffer[1024];
    const ssize_t got = ::read(fd_, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) {
      return true;
    }
    if (got <= 0) {
      return false;
    }
    pending_.append(buffer, static_cast<size_t>(got));
    for (size_t end; (end = pending_.find('\n')) != std::string::npos;) {
      lines.push_back(pending_.substr(0, end));
      pending_.erase(0, end + 1);
    }
    if (pending_.size() > 4096) {
      pending_.clear();  // nobody types lines this long; do not grow without end
    }
    return true;
  }

 private:
  int fd_;
  std::string pending_;
};

void WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t wrote = ::send(fd, text.data() + done, text.size() - done, MSG_NOSIGNAL);
    if (wrote < 0 && errno == EINTR) {
      continue;
    }
    if (wrote <= 0) {
      return;
    }
    done += static_cast<size_t>(wrote);
  }
}

}  // namespace

namespace qsim {

int RunSimLoop(const SimArgs& args, SimState& state, SimServer& server,
               const std::string& slot_path, const LogSink& log) {
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
  int control_fd = -1;
  if (!args.control_socket.empty()) {
    control_fd = ListenControl(args.control_socket);
    if (control_fd < 0) {
      std::fprintf(stderr, "quadrelle-sim: cannot listen on %s: %s\n", args.control_socket.c_str(),
                   std::strerror(errno));
      return 1;
    }
  }
  std::unique_ptr<LineReader> input;
  if (args.read_stdin) {
    input = std::make_unique<LineReader>(STDIN_FILENO);
  }
  std::vector<std::unique_ptr<LineReader>> clients;
  log("-- quadrelle-sim on " + slot_path + "; deck " + DescribeDeck(state.machine.options().deck) +
      "; type 'help' for control lines");

  constexpr int kRetryMs = 250;
  bool quit = false;
  while (!quit && g_stop == 0) {
    const uint32_t now = qclock::GetTickCount();
    server.PlugInto(slot_path, now);

    std::vector<pollfd> fds;
    const std::shared_ptr<SlotChannel> channel = server.channel();
    if (channel && channel->Descriptor() >= 0) {
      fds.push_back({channel->Descriptor(), POLLIN, 0});
    }
    if (input) {
      fds.push_back({input->fd(), POLLIN, 0});
    }
    if (control_fd >= 0) {
      fds.push_back({control_fd, POLLIN, 0});
    }
    for (const auto& client : clients) {
      fds.push_back({client->fd(), POLLIN, 0});
    }
    int timeout = server.NextWakeMs(now);
    if (!server.Connected() && (timeout < 0 || timeout > kRetryMs)) {
      timeout = kRetryMs;
    }
    if (::poll(fds.data(), fds.size(), timeout) < 0 && errno != EINTR) {
      std::perror("quadrelle-sim: poll");
      break;
    }

    auto run_lines = [&](LineReader& reader, bool is_stdin) {
      std::vector<std::string> lines;
      const bool open = reader.Read(lines);
      for (const std::string& line : lines) {
        const ControlResult result = RunControlLine(state, line, qclock::GetTickCount());
        quit = quit || result.quit;
        if (is_stdin) {
          std::fputs(result.text.c_str(), stdout);
          std::fflush(stdout);
        } else {
          // Each answer ends with a line OK or ERROR, so a script knows where it stops.
          WriteAll(reader.fd(), result.text + (result.ok ? "OK\n" : "ERROR\n"));
        }
      }
      return open;
    };
    for (const pollfd& p : fds) {
      if ((p.revents & (POLLIN | POLLHUP | POLLERR)) == 0) {
        continue;
      }
      if (input && p.fd == input->fd()) {
        if (!run_lines(*input, true)) {
          input.reset();  // end of standard input: keep serving, controlled by socket only
        }
      } else if (p.fd == control_fd) {
        const int client = ::accept4(control_fd, nullptr, nullptr, SOCK_CLOEXEC);
        if (client >= 0) {
          clients.push_back(std::make_unique<LineReader>(client));
        }
      } else {
        for (auto it = clients.begin(); it != clients.end(); ++it) {
          if ((*it)->fd() == p.fd) {
            if (!run_lines(**it, false)) {
              ::close((*it)->fd());
              clients.erase(it);
            }
            break;
          }
        }
      }
    }
    server.Pump(qclock::GetTickCount());
  }

  for (const auto& client : clients) {
    ::close(client->fd());
  }
  if (control_fd >= 0) {
    ::close(control_fd);
    ::unlink(args.control_socket.c_str());
  }
  for (const auto& client : clients) {
    ::close(client->fd());
  }
  if (control_fd >= 0) {
    ::close(control_fd);
    ::unlink(args.control_socket.c_str());
  }
  return 0;
}

}  // namespace qsim

// Running the black-box peers (tshark, ffmpeg) from tests: a child process with its output in a
// file, stopped by its own pid and always reaped.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace orva::test {

class peer_process {
 public:
  // Runs `command` with /bin/sh; standard output and error go to `log_path`.
  peer_process(const std::string& command, const std::string& log_path) : m_log(log_path) {
    m_pid = fork();
    if (m_pid == 0) {
      setpgid(0, 0);
      if (FILE* f = std::fopen(log_path.c_str(), "w")) {
        dup2(fileno(f), 1);
        dup2(fileno(f), 2);
      }
      execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
  }
  ~peer_process() { stop(); }
  peer_process(const peer_process&) = delete;
  peer_process& operator=(const peer_process&) = delete;

  // Waits up to `limit` for the child to exit; its exit status, or -1 when it did not.
  int wait(std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (m_pid > 0) {
      int st = 0;
      const pid_t r = waitpid(m_pid, &st, WNOHANG);
      if (r == m_pid) {
        m_pid = -1;
        m_status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
        break;
      }
      if (std::chrono::steady_clock::now() > end) return -1;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return m_status;
  }
  // Asks the child (and its group) to finish, then reaps it.
  void stop(int sig = SIGINT) {
    if (m_pid <= 0) return;
    kill(-m_pid, sig);
    if (wait(std::chrono::milliseconds(5000)) < 0) {
      kill(-m_pid, SIGKILL);
      wait(std::chrono::milliseconds(5000));
    }
  }
  std::string log() const {
    std::ifstream f(m_log);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
  }
  bool log_contains(const std::string& text) const { return log().find(text) != std::string::npos; }

 private:
  pid_t m_pid = -1;
  int m_status = -1;
  std::string m_log;
};

inline std::string shell_output(const std::string& command) {
  std::string out;
  if (FILE* p = popen(command.c_str(), "r")) {
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    pclose(p);
  }
  return out;
}

inline std::string temp_dir() {
  char tmpl[] = "/tmp/orva-media-XXXXXX";
  const char* d = mkdtemp(tmpl);
  return d ? d : "/tmp";
}

// 16-bit PCM samples and format of a WAV file (empty when it is not one).
struct wav_data {
  int rate = 0, channels = 0;
  std::vector<short> samples;
};

inline wav_data read_wav(const std::string& path) {
  wav_data w;
  std::ifstream f(path, std::ios::binary);
  std::vector<unsigned char> b((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  auto u32 = [&](size_t o) { return uint32_t(b[o]) | uint32_t(b[o + 1]) << 8 | uint32_t(b[o + 2]) << 16 | uint32_t(b[o + 3]) << 24; };
  auto u16 = [&](size_t o) { return unsigned(b[o]) | unsigned(b[o + 1]) << 8; };
  if (b.size() < 12 || std::string(b.begin(), b.begin() + 4) != "RIFF") return w;
  for (size_t o = 12; o + 8 <= b.size();) {
    const std::string id(b.begin() + o, b.begin() + o + 4);
    size_t len = u32(o + 4);
    if (id == "fmt " && o + 24 <= b.size()) {
      w.channels = static_cast<int>(u16(o + 10));
      w.rate = static_cast<int>(u32(o + 12));
    } else if (id == "data") {
      if (len > b.size() - o - 8) len = b.size() - o - 8;
      w.samples.resize(len / 2);
      for (size_t i = 0; i < len / 2; ++i) w.samples[i] = static_cast<short>(u16(o + 8 + 2 * i));
    }
    o += 8 + len + (len & 1);
  }
  return w;
}

}  // namespace orva::test

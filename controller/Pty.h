// One pseudo-terminal pair: the master end the controller talks through, and the slave end the
// tool opens by its path. The slave is opened once here, set raw and kept open, so the master
// never reads EIO while the tool has the port closed. Closing the pair hangs up the line.
#pragma once

#include <string>

namespace controller {

class PtyPair {
 public:
  // Throws std::system_error naming the call that failed.
  PtyPair();
  ~PtyPair();
  PtyPair(PtyPair&& other) noexcept;
  PtyPair& operator=(PtyPair&& other) noexcept;
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  int Master() const { return master_; }  // non-blocking
  const std::string& SlavePath() const { return slavePath_; }

 private:
  void Close();

  int master_ = -1;
  int slave_ = -1;
  std::string slavePath_;
};

}  // namespace controller

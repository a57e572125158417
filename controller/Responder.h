// The controller's answer to each request, over its state. Pure: no time, no line.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "Protocol.h"
#include "State.h"

namespace controller {

// Knobs that change what is answered (those that change how it is sent are the link's).
struct AnswerKnobs {
  bool refuse = false;            // Refused in place of every Accepted; the request is not taken
  bool refusePhones = false;      // Refused in place of the Accepted for WritePhones only
  bool mergeFirstPhones = false;  // a ReadRequest gets its SettingsReply and first PhonesReply
  bool passwordZeroByte = true;   // PasswordReply carries a zero byte before its end byte
};

struct Answer {
  std::vector<Bytes> frames;  // in the order they go out; empty for no answer
  std::string note;           // why there is no answer, for the log
};

class Responder {
 public:
  explicit Responder(ControllerState state) : state_(std::move(state)) {}

  // ReadRequest starts a load over a snapshot of the stored numbers: SettingsReply, then one
  // PhonesReply of up to 15 records for each ReadAck, then EndOfData, which ends the load; a
  // ReadAck outside a load gets no answer. WriteSettings starts a write afresh (it clears the
  // stored numbers), so after a complete write the controller holds exactly what was written.
  Answer Handle(const Request& request, const AnswerKnobs& knobs);

  // The line dropped: a load in progress is abandoned.
  void EndConversation() { loading_ = false; }

  const ControllerState& State() const { return state_; }

 private:
  Bytes NextPhones();

  ControllerState state_;
  bool loading_ = false;
  std::vector<PhoneEntry> load_;  // the numbers of the load in progress, by slot
  std::size_t loadNext_ = 0;      // index in load_ of the next record to send
};

}  // namespace controller

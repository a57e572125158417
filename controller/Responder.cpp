#include "Responder.h"

#include <algorithm>

namespace controller {
namespace {

// The answer to a request that is taken over, or refused and not taken.
Bytes Acceptance(bool refused) {
  return ShortReply(refused ? ReplyCode::Refused : ReplyCode::Accepted);
}

}  // namespace

Bytes Responder::NextPhones() {
  if (loadNext_ >= load_.size()) {
    loading_ = false;
    return ShortReply(ReplyCode::EndOfData);
  }
  const std::size_t count = std::min(kRecordsPerReply, load_.size() - loadNext_);
  Bytes frame = PhonesReply(std::span(load_).subspan(loadNext_, count));
  loadNext_ += count;
  return frame;
}

Answer Responder::Handle(const Request& request, const AnswerKnobs& knobs) {
  Answer answer;
  switch (request.code) {
    case RequestCode::ReadRequest: {
      load_.clear();
      for (const auto& [slot, number] : state_.phones) {
        load_.push_back({slot, number});
      }
      loadNext_ = 0;
      loading_ = true;
      answer.frames.push_back(SettingsReply(static_cast<std::uint16_t>(load_.size()),
                                            state_.relayTimeout, state_.externalDisconnection));
      if (knobs.mergeFirstPhones) {
        answer.frames.push_back(NextPhones());
      }
      break;
    }
    case RequestCode::ReadAck:
      if (loading_) {
        answer.frames.push_back(NextPhones());
      } else {
        answer.note = "no load in progress";
      }
      break;
    case RequestCode::WriteSettings:
      if (!knobs.refuse) {
        state_.relayTimeout = request.relayTimeout;
        state_.externalDisconnection = request.externalDisconnection;
        state_.phones.clear();
      }
      answer.frames.push_back(Acceptance(knobs.refuse));
      break;
    case RequestCode::WritePhones: {
      const bool refused = knobs.refuse || knobs.refusePhones;
      if (!refused) {
        for (const auto& entry : request.phones) {
          state_.phones[entry.slot] = entry.number;
        }
      }
      answer.frames.push_back(Acceptance(refused));
      break;
    }
    case RequestCode::SetPassword:
      if (!knobs.refuse) {
        state_.password = request.password;
      }
      answer.frames.push_back(Acceptance(knobs.refuse));
      break;
    case RequestCode::Probe:
      answer.frames.push_back(Acceptance(knobs.refuse));
      break;
    case RequestCode::GetPassword:
      answer.frames.push_back(PasswordReply(state_.password, knobs.passwordZeroByte));
      break;
  }
  return answer;
}

}  // namespace controller

#pragma once

#include "IMessageDecoder.h"

#include <string>

// Our wire format of room messages: one compact JSON object per message,
//   {"type":2,"uid":77,"nick":"张三","content":"你好","level":3}
//   {"type":3,"gift_id":1,"uid":77,"nick":"张三","count":1}
//   {"type":6,"text":"…","param":5}
//   {"type":7,"level":2,"uid":77,"count":1,"nick":"李四"}
//   {"type":14,"status":0,"uid":77}
// The encoders write it for tests and for the account layer's room messages.
namespace chatlink {

std::string encodeChat(const ChatRecord &r);
std::string encodeGift(const GiftRecord &r);
std::string encodeEffect(const EffectRecord &r);
std::string encodeMonthlyTicket(const MonthlyTicketRecord &r);
std::string encodeBlacklist(const BlacklistRecord &r);

} // namespace chatlink

// Room messages as strangers can send them: every decode operation runs on
// the text, and each record that decodes is encoded again and must decode
// to the same record.
#include "DecoderControl.h"
#include "FuzzSupport.h"
#include "IMessageDecoder.h"
#include "MessageCodec.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

namespace {

IMessageDecoder *g_decoder = nullptr;

[[noreturn]] void mismatch(const char *type)
{
    std::fprintf(stderr, "a %s record did not survive encoding and decoding again\n", type);
    std::abort();
}

template <class Record, class Decode, class Encode, class Same>
void roundTrip(const char *type, const std::string &text, Decode decode, Encode encode, Same same)
{
    Record first;
    if ((g_decoder->*decode)(text.c_str(), &first) != 0)
        return;
    Record second;
    if ((g_decoder->*decode)(encode(first).c_str(), &second) != 0 || !same(first, second))
        mismatch(type);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzzsupport::startApplication();
    g_decoder = CreateMvMessageDecoder();
    return g_decoder ? 0 : 1;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // The decoder takes zero-terminated text.
    const std::string text(reinterpret_cast<const char *>(data), size);
    g_decoder->GetMessageType(text.c_str());
    roundTrip<ChatRecord>("chat", text, &IMessageDecoder::DecodeChat, chatlink::encodeChat,
                          [](const ChatRecord &a, const ChatRecord &b) {
                              return a.senderId == b.senderId && a.nickname == b.nickname
                                  && a.content == b.content && a.level == b.level;
                          });
    roundTrip<GiftRecord>("gift", text, &IMessageDecoder::DecodeGift, chatlink::encodeGift,
                          [](const GiftRecord &a, const GiftRecord &b) {
                              return a.giftId == b.giftId && a.senderId == b.senderId
                                  && a.nickname == b.nickname && a.count == b.count;
                          });
    roundTrip<EffectRecord>("effect", text, &IMessageDecoder::DecodeEffect, chatlink::encodeEffect,
                            [](const EffectRecord &a, const EffectRecord &b) {
                                return a.text == b.text && a.param == b.param;
                            });
    roundTrip<MonthlyTicketRecord>("monthly ticket", text, &IMessageDecoder::DecodeMonthlyTicket,
                                   chatlink::encodeMonthlyTicket,
                                   [](const MonthlyTicketRecord &a, const MonthlyTicketRecord &b) {
                                       return a.level == b.level && a.senderId == b.senderId
                                           && a.count == b.count && a.nickname == b.nickname;
                                   });
    roundTrip<BlacklistRecord>("blacklist", text, &IMessageDecoder::DecodeBlacklist, chatlink::encodeBlacklist,
                               [](const BlacklistRecord &a, const BlacklistRecord &b) {
                                   return a.status == b.status && a.userId == b.userId;
                               });
    chatlink::control().reset(); // the call log would grow with every input
    return 0;
}

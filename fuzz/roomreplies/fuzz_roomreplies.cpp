// The account service's room replies as the room assistant reads them: the
// mute list (rows, labels of its own mutes, the ids the table keeps) and the
// unmute reply. Any bytes give a plain result; the checks below hold for all.
#include "FuzzSupport.h"
#include "RoomReplies.h"

#include <QByteArray>
#include <QStringList>

#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void broken(const char *what)
{
    std::fprintf(stderr, "room reply reader: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzzsupport::startApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray reply = fuzzsupport::bytes(data, size);

    QVector<DisableRecordData> rows = roomreplies::parseMuteList(reply);
    QStringList own;
    for (const DisableRecordData &row : rows) {
        if (row.uid != row.storeKey)
            broken("a row's store key differs from its id");
        // The table keeps a positive id only for a decimal text.
        bool ok = false;
        row.uid.toInt(&ok, 10);
        if (row.uidValue() > 0 && !ok)
            broken("a positive id from a text that is no number");
        if (own.size() < 8)
            own << row.storeKey;
    }
    const QVector<DisableRecordData> before = rows;
    roomreplies::labelOwnMutes(rows, own);
    for (int i = 0; i < rows.size(); ++i) {
        const bool listed = own.contains(before.at(i).storeKey);
        const QString expected = listed ? roomreplies::ownMuteLabel() : before.at(i).opUser;
        if (rows.at(i).opUser != expected || rows.at(i).nickName != before.at(i).nickName)
            broken("labelling changed more than the operator of the listed rows");
    }

    const roomreplies::UnmuteResult result = roomreplies::parseUnmuteReply(reply);
    if (result.outcome != roomreplies::UnmuteResult::Refused && !result.refusalText.isEmpty())
        broken("only a refusal carries a text");
    const roomreplies::UnmuteResult again = roomreplies::parseUnmuteReply(reply);
    if (again.outcome != result.outcome || again.refusalText != result.refusalText)
        broken("one reply read two ways");
    return 0;
}

#pragma once

// What every fuzz target shares: one application object for the whole run in
// a throw-away environment, and finished network replies made from an input.

#include <QByteArray>
#include <QNetworkReply>
#include <QUrl>

#include <cstddef>
#include <cstdint>

namespace fuzzsupport {

// Creates the QCoreApplication once, points the data folders, the temporary
// folder and the daily log at a fresh folder that goes at exit, and silences
// Qt's message output (the parsers report bad input there, once per input).
void startApplication();

// The input as a byte array that shares the fuzzer's buffer.
inline QByteArray bytes(const uint8_t *data, size_t size)
{
    return QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size));
}

// Deletes the objects whose deleteLater() ran since the last call, as the
// event loop would; a reply handler deletes its reply that way.
void deleteLaterObjects();

// A finished reply from `url` whose body is `body`, readable once, as
// QNetworkAccessManager hands it to a finished() slot.
class BufferReply : public QNetworkReply
{
    Q_OBJECT

public:
    BufferReply(const QUrl &url, const QByteArray &body);

    void abort() override {}
    qint64 bytesAvailable() const override;
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char *data, qint64 maxSize) override;

private:
    QByteArray m_body;
    qint64 m_read = 0;
};

} // namespace fuzzsupport

// The private channel between the shell and a module's process, over a socket pair: messages of
// any size arrive whole and in order, also when the socket takes a large message in parts; what
// arrived before the other end closed, or before bytes that are no message, is still handed on.

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QRandomGenerator>
#include <memory>
#include <vector>

#include "TestApplication.h"
#include "WaitUntil.h"
#include "isolation/ModuleChannel.h"

namespace kestrix {
namespace {

// The two ends of a fresh pair, and what the receiving end has handed on.
struct ChannelPair {
    ChannelPair() {
        ensureApplication();
        int ends[2];
        EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
        sender = std::make_unique<ModuleChannel>(ends[0]);
        receiver = std::make_unique<ModuleChannel>(ends[1]);
        QObject::connect(receiver.get(), &ModuleChannel::Received,
                         [this](const ModuleMessage& message) { received.push_back(message); });
        QObject::connect(receiver.get(), &ModuleChannel::Closed,
                         [this](bool unreadable) { closed = unreadable ? 2 : 1; });
    }

    std::unique_ptr<ModuleChannel> sender;
    std::unique_ptr<ModuleChannel> receiver;
    std::vector<ModuleMessage> received;
    int closed = 0;  // 1: closed by the other end, 2: unreadable
};

// A message of a random kind whose value is a random text of up to a megabyte (most are short).
ModuleMessage randomMessage(QRandomGenerator& random, uint32_t number) {
    const bool large = random.bounded(8) == 0;
    const int length = static_cast<int>(random.bounded(large ? 1 << 20 : 64));
    QString text(length, QLatin1Char('a' + static_cast<char>(random.bounded(26))));
    const auto kind = static_cast<ModuleMessage::Kind>(
        1 + random.bounded(static_cast<quint32>(ModuleMessage::LastKind)));
    return {kind, number, {text, static_cast<int>(random.bounded(1000))}};
}

TEST(ModuleChannel, RandomMessagesOfAnySizeArriveWholeAndInOrderThenTheCloseAfterThem) {
    for (quint32 seed = 1; seed <= 3; ++seed) {
        SCOPED_TRACE(seed);
        QRandomGenerator random(seed);
        ChannelPair pair;
        std::vector<ModuleMessage> sent;
        for (uint32_t number = 1; number <= 60; ++number) {
            sent.push_back(randomMessage(random, number));
            pair.sender->send(sent.back());
        }
        ASSERT_TRUE(runEventsUntil([&] { return pair.received.size() == sent.size(); }));
        pair.sender.reset();
        ASSERT_TRUE(runEventsUntil([&] { return pair.closed != 0; }));
        EXPECT_EQ(pair.closed, 1);
        ASSERT_EQ(pair.received.size(), sent.size());
        for (size_t i = 0; i < sent.size(); ++i) {
            EXPECT_EQ(pair.received[i].kind, sent[i].kind);
            EXPECT_EQ(pair.received[i].number, sent[i].number);
            EXPECT_EQ(pair.received[i].values, sent[i].values);
        }
        EXPECT_FALSE(pair.receiver->isOpen());
    }
}

TEST(ModuleChannel, BytesThatAreNoMessageCloseItAfterTheMessagesBeforeThem) {
    ensureApplication();
    int ends[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
    ModuleChannel receiver(ends[1]);
    std::vector<uint32_t> numbers;
    int closed = 0;
    QObject::connect(&receiver, &ModuleChannel::Received,
                     [&](const ModuleMessage& message) { numbers.push_back(message.number); });
    QObject::connect(&receiver, &ModuleChannel::Closed,
                     [&](bool unreadable) { closed = unreadable ? 2 : 1; });
    const QByteArray bytes = ModuleMessage{ModuleMessage::Kind::Answer, 7, {1}}.framed() +
                             QByteArray("\xff\xff\xff\xffgarbage", 11);
    ASSERT_EQ(write(ends[0], bytes.constData(), static_cast<size_t>(bytes.size())), bytes.size());
    ASSERT_TRUE(runEventsUntil([&] { return closed != 0; }));
    EXPECT_EQ(closed, 2);
    EXPECT_EQ(numbers, std::vector<uint32_t>{7});
    // The sender's end sees the channel gone.
    char byte = 0;
    EXPECT_EQ(read(ends[0], &byte, 1), 0);
    close(ends[0]);
}

}  // namespace
}  // namespace kestrix
